#include "common/text.h"

#include <gtest/gtest.h>

namespace hanamizu {
namespace {

TEST(Utf8Utf16, RoundTripsJapaneseAndAstralCharacters) {
  const std::string text = "ﾌﾟﾛｸﾞﾗﾑNo 水門　𠮷";
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide.size(), 15u);  // the astral character takes two code units
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf8Utf16, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xE6\xB0"), u"\uFFFD");                      // cut short
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");                      // overlong "/"
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, 0xD800)), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(TrimBlanks, RemovesOnlyAsciiBlanksAtTheEnds) {
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimBlanks("\ta\t"), "\ta\t");
  EXPECT_EQ(TrimBlanks("　a　"), "　a　");
  EXPECT_EQ(TrimBlanks("   "), "");
}

TEST(ToLowerLatin, LowersAsciiAndFullWidthLettersOnly) {
  EXPECT_EQ(ToLowerLatin(u"SETUP.EXE"), u"setup.exe");
  EXPECT_EQ(ToLowerLatin(u"ＡＢＺ@[ｱ"), u"ａｂｚ@[ｱ");
}

}  // namespace
}  // namespace hanamizu
