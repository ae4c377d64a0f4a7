#pragma once

#include <optional>

#include "gemini/Image.h"
#include "platform/Error.h"

namespace gemini {

// An image in a prompt that could not become a JPEG part.
class ImageConversionError : public platform::Error {
public:
    enum class Kind { couldNotConvertToJPEG, invalidUnderlyingImage, couldNotAllocateDestination };

    static ImageConversionError couldNotConvertToJPEG(Image image);
    static ImageConversionError invalidUnderlyingImage();
    static ImageConversionError couldNotAllocateDestination();

    Kind kind() const { return kind_; }
    // The image whose encoding failed (couldNotConvertToJPEG only).
    const std::optional<Image>& image() const { return image_; }

private:
    ImageConversionError(Kind kind, std::optional<Image> image);
    Kind kind_;
    std::optional<Image> image_;
};

}  // namespace gemini
