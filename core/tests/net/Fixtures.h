#pragma once

#include <string>

#include "testsupport/TestData.h"

namespace core::testdata {

// A reply body from the tests' data folder, byte for byte.
inline std::string fixture(const std::string& name) {
    return testsupport::readFile(std::filesystem::path(QUILLARY_CORE_TEST_DATA) / name);
}

}  // namespace core::testdata
