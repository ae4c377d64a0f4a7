#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "platform/x11/X11Workspace.h"
#include "testsupport/X11Test.h"

namespace {

// A window says, from this host, that it belongs to a process number no
// process can have: the terminal check still finds the pseudo-terminal that
// the process of its X client (this test) holds.
TEST(WorkspaceOnX11, AWindowIsJudgedByItsClientsProcessNotByItsPidHint) {
    QUILLARY_SKIP_WITHOUT_X11_KEYS();
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    const std::unique_ptr<Display, int (*)(Display*)> client(XOpenDisplay(nullptr), XCloseDisplay);
    ASSERT_TRUE(client);
    const Window window = XCreateSimpleWindow(client.get(), DefaultRootWindow(client.get()), 0, 0, 1, 1, 0, 0, 0);
    const long wrongPid = 0x7fffffff;  // above the kernel's highest
    XChangeProperty(client.get(), window, XInternAtom(client.get(), "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&wrongPid), 1);
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    XChangeProperty(client.get(), window, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(host), static_cast<int>(std::string(host).size()));
    XSync(client.get(), False);

    platform::X11Workspace workspace;
    const auto app = workspace.applicationOf(window);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->processIdentifier, getpid());
    EXPECT_TRUE(workspace.holdsPseudoTerminal(*app));
    close(master);
}

}  // namespace
