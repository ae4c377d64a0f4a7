#include "desktop/QuitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <utility>

#include "platform/Error.h"

namespace desktop {
namespace {

std::atomic<int> writeEnd{-1};
struct sigaction previousTerm {};
struct sigaction previousInt {};
struct sigaction previousHup {};
bool hangUpHandled = false;

extern "C" void onQuitSignal(int signal) {
    const int saved = errno;
    const int fd = writeEnd.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(std::shared_ptr<platform::MainLoop> loop, std::function<void(int)> onSignal)
    : loop_(std::move(loop)), onSignal_(std::move(onSignal)) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw platform::Error("Quillary", errno, std::string("cannot make the signal pipe: ") + std::strerror(errno));
    readEnd_ = fds[0];
    writeEnd.store(fds[1]);
    watch_ = loop_->watchReadable(readEnd_, [this] { drain(); });

    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &previousTerm);
    sigaction(SIGINT, &action, &previousInt);
    // A closed terminal or a session manager sends SIGHUP; whoever started
    // us with it ignored (nohup) wants us to outlive the terminal.
    sigaction(SIGHUP, nullptr, &previousHup);
    hangUpHandled = previousHup.sa_handler != SIG_IGN;
    if (hangUpHandled) sigaction(SIGHUP, &action, nullptr);
}

QuitSignals::~QuitSignals() {
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGINT, &previousInt, nullptr);
    if (hangUpHandled) sigaction(SIGHUP, &previousHup, nullptr);
    loop_->cancel(watch_);
    const int fd = writeEnd.exchange(-1);
    if (fd >= 0) ::close(fd);
    ::close(readEnd_);
}

void QuitSignals::drain() {
    unsigned char bytes[16];
    ssize_t count;
    while ((count = ::read(readEnd_, bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < count; ++i) onSignal_(bytes[i]);
    }
}

}  // namespace desktop
