#pragma once

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace gemini::test {

// A reply body from the tests' data folder.
inline std::string testData(const std::string& name) {
    std::ifstream in(std::string(GEMINI_TEST_DATA) + "/" + name, std::ios::binary);
    if (!in) throw std::runtime_error("missing test data " + name);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace gemini::test
