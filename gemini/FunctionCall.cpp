#include "gemini/FunctionCall.h"

#include "gemini/EncodingError.h"
#include "gemini/JsonReader.h"

namespace gemini {

FunctionCall FunctionCall::decode(const JsonReader& reader) {
    FunctionCall call;
    call.name = reader.member("name").string();
    if (auto args = reader.optionalMember("args")) call.args = decodeJSONObject(*args);
    return call;
}

nlohmann::json FunctionCall::toJson() const {
    auto out = nlohmann::json::object();
    out["name"] = name;
    out["args"] = encodingMember("args", [&] { return encodeJSONObject(args); });
    return out;
}

nlohmann::json FunctionResponse::toJson() const {
    auto out = nlohmann::json::object();
    out["name"] = name;
    out["response"] = encodingMember("response", [&] { return encodeJSONObject(response); });
    return out;
}

}  // namespace gemini
