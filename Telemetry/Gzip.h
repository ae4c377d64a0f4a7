#pragma once

#include <string>
#include <string_view>

#include "platform/Error.h"

namespace telemetry {

// A zlib failure while compressing (in practice: out of memory).
class GzipError : public platform::Error {
public:
    GzipError(int zlibCode, std::string description);
};

// The bytes in the gzip format (header and CRC included) at zlib's default
// level, as upload bodies are sent with "Content-Encoding: gzip".
std::string gzipCompress(std::string_view bytes);

}  // namespace telemetry
