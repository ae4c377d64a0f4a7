#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "gemini/RawValue.h"

namespace gemini {

class JsonReader;

// Code that the model wrote; the language is kept as the server names it.
struct ExecutableCode {
    std::string language;
    std::string code;

    friend bool operator==(const ExecutableCode&, const ExecutableCode&) = default;

    static ExecutableCode decode(const JsonReader& reader);
    nlohmann::json toJson() const;
};

// The result of running the model's code.
struct CodeExecutionResult {
    enum class Outcome { unknown, unspecified, ok, failed, deadlineExceeded };

    Outcome outcome = Outcome::unspecified;
    std::string output;  // empty when the server sends none

    friend bool operator==(const CodeExecutionResult&, const CodeExecutionResult&) = default;

    static CodeExecutionResult decode(const JsonReader& reader);
    nlohmann::json toJson() const;
};

template <>
struct EnumTraits<CodeExecutionResult::Outcome> {
    using E = CodeExecutionResult::Outcome;
    static constexpr std::string_view name = "Outcome";
    static constexpr E unknown = E::unknown;
    static constexpr std::array<std::pair<E, std::string_view>, 5> table = {{
        {E::unknown, "OUTCOME_UNKNOWN"},
        {E::unspecified, "OUTCOME_UNSPECIFIED"},
        {E::ok, "OUTCOME_OK"},
        {E::failed, "OUTCOME_FAILED"},
        {E::deadlineExceeded, "OUTCOME_DEADLINE_EXCEEDED"},
    }};
};

}  // namespace gemini
