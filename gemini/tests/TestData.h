#pragma once

#include <string>

#include "testsupport/TestData.h"

namespace gemini::test {

// A reply body from the tests' data folder.
inline std::string testData(const std::string& name) {
    return testsupport::readFile(std::filesystem::path(GEMINI_TEST_DATA) / name);
}

}  // namespace gemini::test
