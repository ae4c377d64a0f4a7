// Fontconfig (which Qt draws text with) and libdbus (which Qt's X11 platform
// connects to the desktop with) keep their caches and connections until the
// process ends, on purpose; the leak checker of sanitizer builds would report
// them. The sanitizer runtime asks for this function; other builds never do.
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
