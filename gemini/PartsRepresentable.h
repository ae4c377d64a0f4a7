#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "gemini/Image.h"
#include "gemini/ModelContent.h"

namespace gemini {

// Anything a caller can hand over as prompt parts. The conversion may fail
// (an image that does not encode).
class ThrowingPartsRepresentable {
public:
    virtual ~ThrowingPartsRepresentable() = default;
    virtual std::vector<ModelContent::Part> convertToParts() const = 0;
};

// Values whose conversion cannot fail.
class PartsRepresentable : public ThrowingPartsRepresentable {
public:
    virtual std::vector<ModelContent::Part> asParts() const = 0;
    std::vector<ModelContent::Part> convertToParts() const final { return asParts(); }
};

// One prompt value: text, a ready part, an image, a list of such values or a
// caller's own representable type. Built implicitly, so calls read
// `model.generateContent({"Describe this", image})`.
class PartsValue {
public:
    PartsValue(std::string text) : value_(std::move(text)) {}         // NOLINT
    PartsValue(const char* text) : value_(std::string(text)) {}       // NOLINT
    PartsValue(ModelContent::Part part) : value_(std::move(part)) {}  // NOLINT
    PartsValue(Image image) : value_(std::move(image)) {}             // NOLINT
    PartsValue(std::vector<PartsValue> list) : value_(std::move(list)) {}  // NOLINT
    PartsValue(std::shared_ptr<const ThrowingPartsRepresentable> custom)   // NOLINT
        : value_(std::move(custom)) {}

    // Text: one text part. Part: itself. Image: one "image/jpeg" part or
    // ImageConversionError. List: every element's parts in order; the first
    // failing element's error, and no parts.
    std::vector<ModelContent::Part> convertToParts() const;

private:
    std::variant<std::string, ModelContent::Part, Image, std::vector<PartsValue>,
                 std::shared_ptr<const ThrowingPartsRepresentable>>
        value_;
};

}  // namespace gemini
