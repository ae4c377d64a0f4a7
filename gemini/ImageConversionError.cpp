#include "gemini/ImageConversionError.h"

#include "gemini/Logging.h"

namespace gemini {
namespace {

const char* describe(ImageConversionError::Kind kind) {
    switch (kind) {
        case ImageConversionError::Kind::couldNotConvertToJPEG:
            return "The image could not be converted to JPEG for Gemini. Try another image.";
        case ImageConversionError::Kind::invalidUnderlyingImage:
            return "The image has no usable pixel data, so it could not be sent to Gemini.";
        case ImageConversionError::Kind::couldNotAllocateDestination:
            return "There was not enough memory to convert the image to JPEG for Gemini.";
    }
    return "The image could not be converted.";
}

}  // namespace

ImageConversionError::ImageConversionError(Kind kind, std::optional<Image> image)
    : platform::Error(std::string(kClientIdentifier) + ".ImageConversionError", static_cast<long>(kind),
                      describe(kind)),
      kind_(kind),
      image_(std::move(image)) {}

ImageConversionError ImageConversionError::couldNotConvertToJPEG(Image image) {
    return ImageConversionError(Kind::couldNotConvertToJPEG, std::move(image));
}
ImageConversionError ImageConversionError::invalidUnderlyingImage() {
    return ImageConversionError(Kind::invalidUnderlyingImage, std::nullopt);
}
ImageConversionError ImageConversionError::couldNotAllocateDestination() {
    return ImageConversionError(Kind::couldNotAllocateDestination, std::nullopt);
}

}  // namespace gemini
