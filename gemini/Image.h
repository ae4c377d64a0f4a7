#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace gemini {

// Raw pixels handed to the client as part of a prompt; sent as one JPEG part.
// Copies share the pixel buffer.
class Image {
public:
    enum class PixelFormat { rgb8, rgba8, bgra8, gray8 };

    // `bytesPerRow` 0 means tightly packed rows.
    Image(int width, int height, PixelFormat format, std::string pixels, std::size_t bytesPerRow = 0);

    int width() const { return width_; }
    int height() const { return height_; }
    PixelFormat format() const { return format_; }
    std::size_t bytesPerRow() const { return bytesPerRow_; }
    const std::string& pixels() const { return *pixels_; }

    static std::size_t bytesPerPixel(PixelFormat format);
    // Positive size and a buffer that holds every row.
    bool hasPixelData() const;

    // JPEG at the client's quality of 0.8 (80 on the encoder's scale); throws
    // ImageConversionError.
    std::string jpegData() const;

private:
    int width_;
    int height_;
    PixelFormat format_;
    std::size_t bytesPerRow_;
    std::shared_ptr<const std::string> pixels_;
};

}  // namespace gemini
