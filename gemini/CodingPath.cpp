#include "gemini/CodingPath.h"

namespace gemini {

std::string describe(const CodingPath& path) {
    std::string out;
    for (const auto& step : path) {
        if (step.index) {
            out += '[' + std::to_string(*step.index) + ']';
        } else {
            if (!out.empty()) out += '.';
            out += step.name;
        }
    }
    return out;
}

}  // namespace gemini
