#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// What the provider clients share on the wire: how a request body is
// serialised, how a reply body is parsed and how an answer is trimmed.
namespace core {

// Serialises a request body; invalid UTF-8 in any string goes out as U+FFFD
// instead of throwing, since prompts and selections come from other programs.
std::string dumpRequestJson(const nlohmann::json& body);

// Parses a reply body. Invalid UTF-8 is replaced with U+FFFD, so a stray byte
// in an answer costs one character rather than the whole answer.
// Throws JsonError when the body is not JSON.
nlohmann::json parseReplyJson(std::string_view body);

}  // namespace core
