#include "gemini/Image.h"

#include <turbojpeg.h>

#include <limits>

#include "gemini/ImageConversionError.h"

namespace gemini {
namespace {

constexpr int kJpegQuality = 80;  // the client's compression factor 0.8

struct CompressorDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct JpegBufferDeleter {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

int turboFormat(Image::PixelFormat format) {
    switch (format) {
        case Image::PixelFormat::rgb8: return TJPF_RGB;
        case Image::PixelFormat::rgba8: return TJPF_RGBA;
        case Image::PixelFormat::bgra8: return TJPF_BGRA;
        case Image::PixelFormat::gray8: return TJPF_GRAY;
    }
    return TJPF_RGB;
}

}  // namespace

Image::Image(int width, int height, PixelFormat format, std::string pixels, std::size_t bytesPerRow)
    : width_(width),
      height_(height),
      format_(format),
      bytesPerRow_(bytesPerRow != 0 || width <= 0 ? bytesPerRow
                                                  : static_cast<std::size_t>(width) * bytesPerPixel(format)),
      pixels_(std::make_shared<const std::string>(std::move(pixels))) {}

std::size_t Image::bytesPerPixel(PixelFormat format) {
    switch (format) {
        case PixelFormat::rgb8: return 3;
        case PixelFormat::rgba8:
        case PixelFormat::bgra8: return 4;
        case PixelFormat::gray8: return 1;
    }
    return 4;
}

bool Image::hasPixelData() const {
    if (width_ <= 0 || height_ <= 0) return false;
    const auto row = static_cast<std::size_t>(width_) * bytesPerPixel(format_);
    if (bytesPerRow_ < row) return false;
    const auto h = static_cast<std::size_t>(height_);
    if (bytesPerRow_ > std::numeric_limits<std::size_t>::max() / h) return false;
    return pixels_->size() >= bytesPerRow_ * (h - 1) + row;
}

std::string Image::jpegData() const {
    if (!hasPixelData()) throw ImageConversionError::invalidUnderlyingImage();
    if (bytesPerRow_ > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw ImageConversionError::couldNotConvertToJPEG(*this);
    std::unique_ptr<void, CompressorDeleter> compressor(tjInitCompress());
    if (!compressor) throw ImageConversionError::couldNotAllocateDestination();

    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    const int subsampling = format_ == PixelFormat::gray8 ? TJSAMP_GRAY : TJSAMP_420;
    const int rc = tjCompress2(compressor.get(), reinterpret_cast<const unsigned char*>(pixels_->data()), width_,
                               static_cast<int>(bytesPerRow_), height_, turboFormat(format_), &output, &outputSize,
                               subsampling, kJpegQuality, 0);
    std::unique_ptr<unsigned char, JpegBufferDeleter> owned(output);
    if (rc != 0 || !owned || outputSize == 0) throw ImageConversionError::couldNotConvertToJPEG(*this);
    return std::string(reinterpret_cast<const char*>(owned.get()), outputSize);
}

}  // namespace gemini
