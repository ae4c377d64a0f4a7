#pragma once

#include <string>

#include "gemini/CodingPath.h"
#include "platform/Error.h"

namespace gemini {

// A reply (whole body, streamed event or error body) that does not have the
// shape the client reads. Carries where in the document it went wrong.
class DecodingError : public platform::Error {
public:
    enum class Kind { typeMismatch, valueNotFound, keyNotFound, dataCorrupted };

    // `summary`, when given, stands for the debug description in what() (the
    // parser's own wording stays in the debug description for the log).
    DecodingError(Kind kind, CodingPath path, std::string debugDescription, std::string summary = {});

    Kind kind() const { return kind_; }
    const CodingPath& codingPath() const { return path_; }
    const std::string& debugDescription() const { return debugDescription_; }

private:
    Kind kind_;
    CodingPath path_;
    std::string debugDescription_;
};

}  // namespace gemini
