#pragma once

#include <string>
#include <string_view>

namespace gemini {

// The request encoder's rule for record member names: "topP" -> "top_p",
// "responseMIMEType" -> "response_mime_type"; a name without capitals is
// unchanged. The records write their keys already converted; tests hold each
// written key to this function.
std::string snakeCase(std::string_view name);

}  // namespace gemini
