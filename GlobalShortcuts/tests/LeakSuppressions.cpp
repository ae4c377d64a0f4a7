// Fontconfig, which Qt uses to draw text, keeps its caches until the process
// ends on purpose; the leak checker of sanitizer builds would report them.
// The sanitizer runtime asks for this function; other builds never call it.
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
