#include <gtest/gtest.h>

#include "platform/Base64.h"

using platform::base64::decode;
using platform::base64::encode;

TEST(Base64, EncodesWithPaddingAndRoundTripsAllByteValues) {
    EXPECT_EQ(encode(""), "");
    EXPECT_EQ(encode("f"), "Zg==");
    EXPECT_EQ(encode("fo"), "Zm8=");
    EXPECT_EQ(encode("foo"), "Zm9v");
    EXPECT_EQ(encode("\xff\xfe"), "//4=");
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    EXPECT_EQ(decode(encode(all)), all);
}

TEST(Base64, DecodingIsStrict) {
    EXPECT_EQ(decode("Zm9v"), "foo");
    EXPECT_EQ(decode("Zg=="), "f");
    EXPECT_FALSE(decode("Zg"));        // missing padding
    EXPECT_FALSE(decode("Zg=a"));      // data after padding
    EXPECT_FALSE(decode("Z==="));      // too much padding
    EXPECT_FALSE(decode("Zh=="));      // non-zero bits in the padding
    EXPECT_FALSE(decode("Zm9v\n"));    // white space
    EXPECT_FALSE(decode("Zm-_"));      // URL alphabet
    EXPECT_FALSE(decode("Zg==Zg=="));  // padding in the middle
}
