#pragma once

// The program's global shortcuts on the test's real X server, for one test:
// the Qt application (made once per process), a Qt main loop as the main
// loop, in-memory standard defaults, the server's own keyboard layout and
// the X11 hot-key backend. Made in SetUp after the skip check, gone in
// TearDown, which puts every one of them back.
//
//   void SetUp() override {
//       QUILLARY_SKIP_WITHOUT_X11_KEYS();
//       session.emplace(testsupport::X11HotKeySession::make<QApplication>());
//   }
//   void TearDown() override { session.reset(); }
//   std::optional<testsupport::X11HotKeySession> session;   // session->loop

#include <QCoreApplication>

#include <memory>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/KeyCharacters.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/x11/X11HotKeyBackend.h"
#include "platform/x11/XkbKeyboardLayout.h"

namespace testsupport {

class X11HotKeySession {
public:
    // With a Qt application of type `App` (QCoreApplication, QApplication).
    template <class App>
    static X11HotKeySession make() {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "quillary_x11_tests";
            static char* argv[] = {name, nullptr};
            new App(argc, argv);  // lives as long as the process
        }
        return X11HotKeySession();
    }

    X11HotKeySession(X11HotKeySession&& other) noexcept : loop(std::move(other.loop)) {}
    X11HotKeySession& operator=(X11HotKeySession&&) = delete;
    ~X11HotKeySession() {
        if (!loop) return;  // moved from
        GlobalShortcuts::resetForTesting();
        GlobalShortcuts::followKeyboardLayout(nullptr);
        CarbonGlobalShortcuts::setBackend(nullptr);
        platform::MainLoop::setMain(nullptr);
        platform::UserDefaults::setStandard(std::make_shared<platform::InMemoryUserDefaults>());
    }

    std::shared_ptr<platform::QtMainLoop> loop;

private:
    X11HotKeySession() : loop(std::make_shared<platform::QtMainLoop>()) {
        platform::UserDefaults::setStandard(std::make_shared<platform::InMemoryUserDefaults>());
        platform::MainLoop::setMain(loop);
        GlobalShortcuts::resetForTesting();
        GlobalShortcuts::followKeyboardLayout(&platform::XkbKeyboardLayout::current);  // the server's own layout
        CarbonGlobalShortcuts::setBackend(std::make_shared<platform::X11HotKeyBackend>(loop));
    }
};

}  // namespace testsupport
