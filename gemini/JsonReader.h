#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "gemini/DecodingError.h"

namespace gemini {

// A read-only view of one value of a parsed reply at its coding path, with the
// typed reads every decoder of the client is written with. Failures throw
// DecodingError carrying the path.
//
// A reader made from another (member, element) refers to it for its path, so
// it must not outlive it: keep child readers in the scope of their parent, and
// do not store the result of a chained call (`r.member("a").member("b")`) in
// a variable.
class JsonReader {
public:
    // Deeper than this, free-form values are refused rather than risking the
    // stack on hostile input.
    static constexpr int kMaxDepth = 256;

    explicit JsonReader(const nlohmann::json& value) : value_(&value) {}

    // Parses a reply body; text that is not JSON (or not UTF-8) is a
    // data-corrupted DecodingError.
    static nlohmann::json parse(std::string_view text);

    const nlohmann::json& value() const { return *value_; }
    CodingPath codingPath() const;
    int depth() const { return depth_; }

    bool isNull() const { return value_->is_null(); }

    // Object access. Each fails with a type mismatch when this is no object.
    bool contains(std::string_view key) const;
    JsonReader member(std::string_view key) const;                   // missing: key not found
    std::optional<JsonReader> optionalMember(std::string_view key) const;  // missing or null: nothing

    // Calls f(key, reader) for every member; f must not keep the reader.
    template <class F>
    void forEachMember(F&& f) const {
        requireObject();
        for (auto it = value_->begin(); it != value_->end(); ++it) {
            const std::string& key = it.key();
            f(key, JsonReader(*it, this, key));
        }
    }

    // Decodes every element with f(reader); f must not keep the reader.
    template <class T, class F>
    std::vector<T> array(F&& f) const {
        requireArray();
        std::vector<T> out;
        out.reserve(value_->size());
        std::size_t i = 0;
        for (const auto& element : *value_) out.push_back(f(JsonReader(element, this, i++)));
        return out;
    }

    std::string string() const;
    std::int64_t integer() const;
    double number() const;
    bool boolean() const;

    [[noreturn]] void fail(DecodingError::Kind kind, std::string debugDescription) const;

private:
    JsonReader(const nlohmann::json& value, const JsonReader* parent, std::string_view key)
        : value_(&value), parent_(parent), key_(key), depth_(parent->depth_ + 1) {}
    JsonReader(const nlohmann::json& value, const JsonReader* parent, std::size_t index)
        : value_(&value), parent_(parent), index_(index), isElement_(true), depth_(parent->depth_ + 1) {}

    void requireObject() const;
    void requireArray() const;
    [[noreturn]] void typeMismatch(std::string_view expected) const;

    const nlohmann::json* value_;
    const JsonReader* parent_ = nullptr;
    std::string_view key_;
    std::size_t index_ = 0;
    bool isElement_ = false;
    int depth_ = 0;
};

}  // namespace gemini
