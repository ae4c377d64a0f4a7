#include <gtest/gtest.h>

#include <QWidget>
#include <QWindow>

#include <X11/Xlib.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ApplicationActivationEvents.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/qt/QtOwnActivation.h"
#include "platform/x11/X11AccessibilityTrust.h"
#include "platform/x11/X11ActiveWindowWatcher.h"
#include "testsupport/QtEvents.h"
#include "testsupport/X11Test.h"
#include "ui/Screenshot.h"

namespace {

using namespace std::chrono_literals;

// Sets an environment variable for the life of the object, then puts back
// what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

class ActivationX11 : public ::testing::Test {
protected:
    void SetUp() override {
        QUILLARY_SKIP_WITHOUT_X11_KEYS();
        setenv("QT_QPA_PLATFORM", "xcb", 0);
        ui::Screenshot::ensureApplication();
        loop = std::make_shared<platform::QtMainLoop>();
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        token = events->addObserver([this](std::uint64_t window) { heard.push_back(window); });
    }
    void TearDown() override {
        if (display)
            XCloseDisplay(display);
    }

    // A plain client window of another program, mapped and made active.
    Window makeWindow() {
        const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 100, 0, 0, 0);
        XMapWindow(display, window);
        XSync(display, False);
        activate(window);
        return window;
    }
    // Asks the window manager, as a pager would, and waits for the answer.
    static void activate(unsigned long window) {
        const auto command = "xdotool windowactivate --sync " + std::to_string(window) + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    bool heardAtLeast(std::size_t count) {
        return testsupport::runEventsUntil([&] { return heard.size() >= count; });
    }

    std::shared_ptr<platform::QtMainLoop> loop;
    std::shared_ptr<platform::ApplicationActivationEvents> events =
        std::make_shared<platform::ApplicationActivationEvents>();
    platform::ObserverToken token;
    std::vector<std::uint64_t> heard;
    Display* display = nullptr;
};

TEST_F(ActivationX11, ActiveWindowChangesReachTheObserverOncePerChange) {
    const Window first = makeWindow();
    platform::X11ActiveWindowWatcher watcher(loop, events);

    const Window second = makeWindow();
    ASSERT_TRUE(heardAtLeast(1));
    activate(first);
    ASSERT_TRUE(heardAtLeast(2));
    activate(first);  // already active: no change, no activation
    testsupport::runEventsFor(200ms);
    EXPECT_EQ(heard, (std::vector<std::uint64_t>{second, first}));
}

TEST_F(ActivationX11, TheProgramsOwnActivationIsHeardOnceThoughBothBackingsSeeIt) {
    makeWindow();
    platform::X11ActiveWindowWatcher watcher(loop, events);
    platform::QtOwnActivation own(events);
    QWidget window;
    window.resize(200, 100);
    window.show();
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    activate(window.winId());
    ASSERT_TRUE(heardAtLeast(1));
    testsupport::runEventsFor(200ms);
    EXPECT_EQ(heard, std::vector<std::uint64_t>{window.winId()});
}

TEST(TrustX11, TrustedInAnX11SessionWithXTestAndNotUnderWayland) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no DISPLAY";
    ScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
    ScopedEnv x11Session("XDG_SESSION_TYPE", "x11");
    platform::X11AccessibilityTrust trust;
    EXPECT_TRUE(trust.isProcessTrusted());
    EXPECT_TRUE(trust.isProcessTrustedWithOptions(false));
    EXPECT_TRUE(trust.isProcessTrustedWithOptions(true));
    {
        ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
        EXPECT_FALSE(trust.isProcessTrusted());
        EXPECT_FALSE(trust.isProcessTrustedWithOptions(true));
    }
    {
        ScopedEnv waylandSession("XDG_SESSION_TYPE", "wayland");
        EXPECT_FALSE(trust.isProcessTrusted());
    }
    EXPECT_TRUE(trust.isProcessTrusted());
    // No display to send keys to: untrusted.
    platform::X11AccessibilityTrust nowhere(":9999");
    EXPECT_FALSE(nowhere.isProcessTrusted());
}

}  // namespace
