#pragma once

#include <string>
#include <string_view>

#include "gemini/CodingPath.h"
#include "platform/Error.h"

namespace gemini {

// A request that has no JSON form (a number that is infinite or NaN). Nothing
// is sent when it is raised.
class EncodingError : public platform::Error {
public:
    EncodingError(CodingPath path, std::string debugDescription);

    const CodingPath& codingPath() const { return path_; }
    const std::string& debugDescription() const { return debugDescription_; }

    // The same error one level further out, as the enclosing record rethrows it.
    EncodingError under(CodingKey step) const;

private:
    CodingPath path_;
    std::string debugDescription_;
};

// Runs `encode` and, when it fails, adds `key` in front of the error's path.
template <class F>
auto encodingMember(std::string_view key, F&& encode) -> decltype(encode()) {
    try {
        return encode();
    } catch (const EncodingError& e) {
        throw e.under(CodingKey::key(std::string(key)));
    }
}

template <class F>
auto encodingElement(std::size_t index, F&& encode) -> decltype(encode()) {
    try {
        return encode();
    } catch (const EncodingError& e) {
        throw e.under(CodingKey::element(index));
    }
}

}  // namespace gemini
