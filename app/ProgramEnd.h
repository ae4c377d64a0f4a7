#pragma once

// The end of what app/ installed into the process-wide accessors (the text
// replacer's desktop services, the keyboard layout, the hot-key backend, the
// telemetry client, the settings store, the main loop). run() makes it right after the
// application object, so it ends them after every other object of the
// program is gone and before QApplication ends: nothing real is left in a
// static for exit to destroy after main().
class ProgramEnd {
public:
    ProgramEnd() = default;
    ~ProgramEnd();
    ProgramEnd(const ProgramEnd&) = delete;
    ProgramEnd& operator=(const ProgramEnd&) = delete;

    // A check for the tests of the program's end: with QUILLARY_CHECK_END
    // set, says on standard error how many threads the program started and
    // X connections it opened are left and which library defaults it made
    // (it must make none: app/ installs every service), and turns an exit
    // status of 0 into 70 when any is. Otherwise returns `status`.
    static int checked(int status);
};
