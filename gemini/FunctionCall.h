#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "gemini/JSONValue.h"

namespace gemini {

class JsonReader;

// The model's request to call one of the declared functions.
struct FunctionCall {
    std::string name;
    JSONObject args;

    friend bool operator==(const FunctionCall&, const FunctionCall&) = default;

    // "name" required; a missing "args" is an empty map.
    static FunctionCall decode(const JsonReader& reader);
    nlohmann::json toJson() const;
};

// The caller's answer to a FunctionCall, sent back as a content part.
struct FunctionResponse {
    std::string name;
    JSONObject response;

    friend bool operator==(const FunctionResponse&, const FunctionResponse&) = default;

    nlohmann::json toJson() const;
};

}  // namespace gemini
