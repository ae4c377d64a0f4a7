#include "gemini/SnakeCase.h"

namespace gemini {
namespace {

bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isLower(char c) { return c >= 'a' && c <= 'z'; }

}  // namespace

std::string snakeCase(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 4);
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (i > 0 && isUpper(c)) {
            const bool afterSmall = !isUpper(name[i - 1]);
            // The last capital of a run that a small letter follows begins the
            // next word: "MIMEType" -> "mime", "type".
            const bool endsRun = isUpper(name[i - 1]) && i + 1 < name.size() && isLower(name[i + 1]);
            if ((afterSmall && name[i - 1] != '_') || endsRun) out.push_back('_');
        }
        out.push_back(isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return out;
}

}  // namespace gemini
