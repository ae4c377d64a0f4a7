#pragma once

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace core::testdata {

// A reply body from the tests' data folder, byte for byte.
inline std::string fixture(const std::string& name) {
    std::ifstream in(std::string(QUILLARY_CORE_TEST_DATA) + "/" + name, std::ios::binary);
    if (!in) throw std::runtime_error("missing test data " + name);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace core::testdata
