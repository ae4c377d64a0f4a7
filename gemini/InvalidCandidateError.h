#pragma once

#include "gemini/DecodingError.h"
#include "platform/Error.h"

namespace gemini {

// A candidate whose "content" member is there but unusable. Fails the whole
// response.
class InvalidCandidateError : public platform::Error {
public:
    enum class Kind { emptyContent, malformedContent };

    InvalidCandidateError(Kind kind, DecodingError underlyingError);

    Kind kind() const { return kind_; }
    // Why the content did not decode.
    const DecodingError& underlyingError() const { return underlying_; }

private:
    Kind kind_;
    DecodingError underlying_;
};

}  // namespace gemini
