#pragma once

#include <optional>

namespace testsupport {

// CTest starts x11 test programs with --quillary-needs-display (see
// quillary_test). Takes that argument out of argv; when it was there and no
// display is given, returns the status the program ends with at once: 77,
// which CTest reads as skipped, or 1 where QUILLARY_REQUIRE_DISPLAY says a
// display was started (every x11 test would be skipped unseen otherwise).
std::optional<int> endWithoutDisplay(int& argc, char** argv);

}  // namespace testsupport
