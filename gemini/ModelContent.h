#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "gemini/ExecutableCode.h"
#include "gemini/FunctionCall.h"

namespace gemini {

class JsonReader;
class PartsValue;

// One turn of a conversation: who speaks and what is said.
struct ModelContent {
    // One piece of a turn.
    class Part {
    public:
        struct Text {
            std::string text;
            friend bool operator==(const Text&, const Text&) = default;
        };
        struct InlineData {
            std::string mimetype;
            std::string bytes;
            friend bool operator==(const InlineData&, const InlineData&) = default;
        };
        struct FileData {
            std::string mimetype;
            std::string uri;
            friend bool operator==(const FileData&, const FileData&) = default;
        };
        using Value = std::variant<Text, InlineData, FileData, FunctionCall, FunctionResponse, ExecutableCode,
                                   CodeExecutionResult>;
        enum class Kind { text, data, fileData, functionCall, functionResponse, executableCode, codeExecutionResult };

        Part(Value value) : value_(std::move(value)) {}  // NOLINT: a payload is a part

        static Part text(std::string text) { return Part(Text{std::move(text)}); }
        static Part data(std::string mimetype, std::string bytes) {
            return Part(InlineData{std::move(mimetype), std::move(bytes)});
        }
        static Part fileData(std::string mimetype, std::string uri) {
            return Part(FileData{std::move(mimetype), std::move(uri)});
        }
        // The bytes as they are, labelled; nothing is re-encoded.
        static Part jpeg(std::string bytes) { return data("image/jpeg", std::move(bytes)); }
        static Part png(std::string bytes) { return data("image/png", std::move(bytes)); }

        Kind kind() const { return static_cast<Kind>(value_.index()); }
        const Value& value() const { return value_; }
        template <class T>
        const T* get() const {
            return std::get_if<T>(&value_);
        }
        // The string of a text part; nothing for every other case.
        std::optional<std::string> textValue() const;

        friend bool operator==(const Part&, const Part&) = default;

        static Part decode(const JsonReader& reader);
        nlohmann::json toJson() const;

    private:
        Value value_;
    };

    // Role "user", as the caller's turns have unless said otherwise.
    explicit ModelContent(std::vector<Part> parts = {}) : role("user"), parts(std::move(parts)) {}
    // An absent role stays absent.
    ModelContent(std::optional<std::string> role, std::vector<Part> parts)
        : role(std::move(role)), parts(std::move(parts)) {}

    // The parts of every value in order, joined into one turn. Throws the
    // first error a value raises (ImageConversionError for an image).
    static ModelContent fromValues(const std::vector<PartsValue>& values,
                                   std::optional<std::string> role = std::string("user"));

    std::optional<std::string> role;
    std::vector<Part> parts;

    friend bool operator==(const ModelContent&, const ModelContent&) = default;

    static ModelContent decode(const JsonReader& reader);
    nlohmann::json toJson() const;
};

}  // namespace gemini
