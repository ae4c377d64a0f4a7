#include <gtest/gtest.h>
#include <turbojpeg.h>

#include "gemini/ImageConversionError.h"
#include "gemini/PartsRepresentable.h"

namespace gemini {
namespace {

using Part = ModelContent::Part;

Image gradient(int width, int height, Image::PixelFormat format) {
    const auto bpp = Image::bytesPerPixel(format);
    std::string pixels(static_cast<std::size_t>(width * height) * bpp, '\0');
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<char>(i * 7);
    return Image(width, height, format, std::move(pixels));
}

// Reads a JPEG back with the decoder: its size, or nothing if it is no JPEG.
std::optional<std::pair<int, int>> jpegSize(const std::string& bytes) {
    tjhandle handle = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    const int rc = tjDecompressHeader3(handle, reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<unsigned long>(bytes.size()), &width, &height, &subsampling,
                                       &colorspace);
    std::vector<unsigned char> out(static_cast<std::size_t>(width * height * 3));
    const int decoded = rc == 0 ? tjDecompress2(handle, reinterpret_cast<const unsigned char*>(bytes.data()),
                                                static_cast<unsigned long>(bytes.size()), out.data(), width, 0, height,
                                                TJPF_RGB, 0)
                                : -1;
    tjDestroy(handle);
    if (rc != 0 || decoded != 0) return std::nullopt;
    return std::make_pair(width, height);
}

TEST(ImageParts, EveryPixelFormatBecomesOneJpegPart) {
    for (auto format : {Image::PixelFormat::rgb8, Image::PixelFormat::rgba8, Image::PixelFormat::bgra8,
                        Image::PixelFormat::gray8}) {
        const auto parts = PartsValue(gradient(33, 17, format)).convertToParts();
        ASSERT_EQ(parts.size(), 1u);
        const auto* data = parts[0].get<Part::InlineData>();
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->mimetype, "image/jpeg");
        EXPECT_EQ(jpegSize(data->bytes), std::make_pair(33, 17));
    }
}

TEST(ImageParts, PaddedRowsAreHonoured) {
    const int width = 5, height = 4;
    const std::size_t stride = 32;
    const Image padded(width, height, Image::PixelFormat::rgb8, std::string(stride * height, '\x40'), stride);
    EXPECT_EQ(jpegSize(padded.jpegData()), std::make_pair(width, height));
}

TEST(ImageParts, ImagesWithoutPixelsFailAsInvalidUnderlyingImage) {
    const std::vector<Image> broken = {
        Image(0, 10, Image::PixelFormat::rgb8, ""),
        Image(10, 10, Image::PixelFormat::rgba8, std::string(10 * 10 * 4 - 1, 'x')),  // one byte short
        Image(4, 4, Image::PixelFormat::rgb8, std::string(100, 'x'), 2),               // rows narrower than pixels
        Image(-3, 2, Image::PixelFormat::gray8, "xxxxxx"),
    };
    for (const auto& image : broken) {
        try {
            (void)image.jpegData();
            FAIL();
        } catch (const ImageConversionError& e) {
            EXPECT_EQ(e.kind(), ImageConversionError::Kind::invalidUnderlyingImage);
            EXPECT_FALSE(std::string(e.what()).empty());
        }
    }
}

TEST(ImageParts, ListsConvertInOrderAndStopAtTheFirstFailure) {
    const auto parts = PartsValue(std::vector<PartsValue>{"a", gradient(2, 2, Image::PixelFormat::rgb8), "b"})
                           .convertToParts();
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0], Part::text("a"));
    EXPECT_EQ(parts[1].get<Part::InlineData>()->mimetype, "image/jpeg");
    EXPECT_EQ(parts[2], Part::text("b"));

    const PartsValue failing(std::vector<PartsValue>{"a", Image(0, 0, Image::PixelFormat::rgb8, ""), "b"});
    EXPECT_THROW((void)failing.convertToParts(), ImageConversionError);
    EXPECT_THROW((void)ModelContent::fromValues({"x", failing}), ImageConversionError);

    EXPECT_TRUE(PartsValue(std::vector<PartsValue>{}).convertToParts().empty());
    EXPECT_EQ(PartsValue("").convertToParts(), std::vector<Part>{Part::text("")});
    EXPECT_EQ(PartsValue(Part::png("p")).convertToParts(), std::vector<Part>{Part::png("p")});

    const auto content = ModelContent::fromValues({"a", Part::text("b")});
    EXPECT_EQ(content.role, "user");
    EXPECT_EQ(content.parts, (std::vector<Part>{Part::text("a"), Part::text("b")}));
}

}  // namespace
}  // namespace gemini
