#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The record of the process-wide defaults the libraries make for a program
// that uses them on their own (the standard settings store, the shared
// telemetry client, the shared HTTP client, the Gemini streams' executor, the
// keyboard layout, the main loop and the hot-key backend of a Qt
// application, the analytics sink, the launch arguments). A default is made
// on first use of an accessor in which nothing was ever installed and
// then lives as long as the process: static destruction never destroys it,
// since a thread of the program may still be using it while exit runs.
// Instead one exit step ends what must end: it shuts the default executor
// down (cancelling its transfers), then stops the telemetry uploads, then
// flushes the settings store. Nothing is promised after _exit, abort or a
// fatal signal.
//
// Quillary itself installs its own services before any use and must never
// make a default; its end-of-program check and the shared test main read
// this record to catch a service that was forgotten. Thread-safe.
class LibraryDefaults {
public:
    // What the exit step does with a default, in the order it does it.
    enum class Ending { cancelTransfers, stopUploads, flushSettings, nothing };

    // Makes the default `what` with `make` (once per caller: the accessors
    // keep what it returns), records it and keeps it alive for good. While
    // defaults are forbidden (and no Permit is alive) it throws
    // std::logic_error naming `what` instead.
    template <class T>
    static std::shared_ptr<T> make(const char* what, const std::function<std::shared_ptr<T>()>& make, Ending ending,
                                   std::function<void(T&)> end = {}) {
        refuseIfForbidden(what);
        std::shared_ptr<T> object = make();
        std::function<void()> atExit;
        if (end) atExit = [object, end = std::move(end)] { end(*object); };
        keep(what, object, ending, std::move(atExit));
        return object;
    }

    // The defaults made so far, by name, in the order they were.
    static std::vector<std::string> made();

    // For a program that must build every service itself (the test main):
    // making a default throws from now on, and is recorded in refused().
    static void forbid();
    static std::vector<std::string> refused();

    // A program that makes no defaults still gets, in the slots it leaves
    // empty, what it had before those slots had defaults: each library
    // names that stand-in for its slot here, at static initialisation (the
    // hot-key backend without a display, an analytics sink that drops, empty
    // launch arguments), and installStandIns() installs every one the
    // program linked. Returns true, for a namespace-scope initialiser.
    static bool addStandIn(void (*install)());
    static void installStandIns();

    // Allows defaults while it lives, for the tests of the defaults
    // themselves.
    class Permit {
    public:
        Permit();
        ~Permit();
        Permit(const Permit&) = delete;
        Permit& operator=(const Permit&) = delete;
    };

private:
    static void refuseIfForbidden(const char* what);
    static void keep(const char* what, std::shared_ptr<const void> object, Ending ending, std::function<void()> atExit);
};

}  // namespace platform
