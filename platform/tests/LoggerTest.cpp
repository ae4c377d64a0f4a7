#include "platform/Logger.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

TEST(OutsideText, ControlsAndBrokenBytesAreEscapedAndLongTextIsCutBetweenCharacters) {
    EXPECT_EQ(outsideText("a\x1b]0;title\x07\x1b[2Jb\n\t\r\x7f"), "a\\x1b]0;title\\x07\\x1b[2Jb\\n\\t\\r\\x7f");
    EXPECT_EQ(outsideText("\xc2\x9b" "31m \xff\xc3 é€😀"), "\\u009b31m \\xff\\xc3 é€😀");
    EXPECT_EQ(outsideText(std::string(300, 'a')), std::string(300, 'a'));

    // Cut where the next character, or its escape, would pass 300 bytes.
    const std::string tail(1000, 'b');
    EXPECT_EQ(outsideText(std::string(299, 'a') + "é" + tail), std::string(299, 'a') + "… (1301 bytes in all)");
    EXPECT_EQ(outsideText(std::string(297, 'a') + "\x1b" + tail), std::string(297, 'a') + "… (1298 bytes in all)");
}

}  // namespace
}  // namespace platform
