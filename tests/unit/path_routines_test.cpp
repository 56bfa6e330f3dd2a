#include "common/path_routines.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace hanamizu {
namespace {

TEST(PathNoEn, TrimsBlanksAndOneTrailingBackslashInPlace) {
  fakes::FakePlatform fake;
  std::string dir = "  C:\\Data\\  ";
  EXPECT_EQ(path_no_en(fake.platform, dir), "C:\\Data");
  EXPECT_EQ(dir, "C:\\Data");

  dir = "C:\\";
  EXPECT_EQ(path_no_en(fake.platform, dir) + "\\oem.ini", "C:\\oem.ini");

  dir = "C:\\Data\\\\";
  EXPECT_EQ(path_no_en(fake.platform, dir), "C:\\Data\\");
}

TEST(PathNoEn, EmptyAndBlankTextGiveEmptyText) {
  fakes::FakePlatform fake;
  std::string dir;
  EXPECT_EQ(path_no_en(fake.platform, dir), "");
  dir = "    ";
  EXPECT_EQ(path_no_en(fake.platform, dir), "");
  EXPECT_EQ(dir, "");
  EXPECT_TRUE(fake.ui.messages.empty());
}

TEST(PathNoEn, KeepsJapaneseNamesAndFullWidthSpaces) {
  fakes::FakePlatform fake;
  std::string dir = " D:\\台帳　\\";
  EXPECT_EQ(path_no_en(fake.platform, dir), "D:\\台帳　");
  // A trailing "\" that is the second byte of a Shift-JIS character never exists in UTF-8.
  dir = "D:\\表\\";
  EXPECT_EQ(path_no_en(fake.platform, dir), "D:\\表");
}

TEST(GetToken, PicksFieldsAndCountsEmptyOnes) {
  EXPECT_EQ(Get_Token("a,b", ",", 1), "a");
  EXPECT_EQ(Get_Token("a,b", ",", 2), "b");
  EXPECT_EQ(Get_Token("a,b", ",", 3), "");
  EXPECT_EQ(Get_Token("a,,b", ",", 2), "");
  EXPECT_EQ(Get_Token("a,,b", ",", 3), "b");
  EXPECT_EQ(Get_Token("", ",", 1), "");
  EXPECT_EQ(Get_Token("", ",", 2), "");
  EXPECT_EQ(Get_Token("a,", ",", 2), "");
  EXPECT_EQ(Get_Token(",a", ",", 1), "");
}

TEST(GetToken, DriveLetterAndTextWithoutDelimiter) {
  EXPECT_EQ(Get_Token("C:", ":", 1), "C");
  EXPECT_EQ(Get_Token("C:\\Tools", ":", 1), "C");
  EXPECT_EQ(Get_Token("\\\\server\\share", ":", 1), "\\\\server\\share");
}

TEST(GetToken, ComparesLetterCaseExactly) {
  EXPECT_EQ(Get_Token("aXbxc", "x", 1), "aXb");
  EXPECT_EQ(Get_Token("aXbxc", "x", 2), "c");
}

TEST(GetToken, CountsCharactersNotBytes) {
  EXPECT_EQ(Get_Token("水門,ポンプ,トンネル", ",", 2), "ポンプ");
  EXPECT_EQ(Get_Token("水門,ポンプ,トンネル", ",", 3), "トンネル");
  EXPECT_EQ(Get_Token("台帳.ｴｸｾﾙ.xls", ".", 2), "ｴｸｾﾙ");
}

TEST(GetToken, UnusedArgumentFormsAreHarmless) {
  EXPECT_EQ(Get_Token("a,b", ",", 0), "");
  EXPECT_EQ(Get_Token("a,b", ",", -1), "");
  EXPECT_EQ(Get_Token("a,b", "", 1), "a,b");
  EXPECT_EQ(Get_Token("a::b::c", "::", 2), "b");
}

// Positions are 16-bit: 32,767 is the last one a search may start at or find.
TEST(GetToken, PositionLimitOf32767) {
  // The closing delimiter of the one field lands exactly on position 32,767.
  const std::string at_limit(32766, 'a');
  EXPECT_EQ(Get_Token(at_limit, ",", 1).size(), 32766u);
  // One character more puts it on 32,768.
  const std::string past_limit(32767, 'a');
  try {
    Get_Token(past_limit, ",", 1);
    FAIL() << "no overflow";
  } catch (const AppError& e) {
    EXPECT_EQ(e.number(), kErrorOverflow);
  }
  // Japanese characters count once each, so 32,766 of them still fit.
  std::string wide;
  for (int i = 0; i < 32766; ++i) wide += "台";
  EXPECT_EQ(Get_Token(wide, ",", 1), wide);
  // The second field's search starts on 32,767 and finds the appended delimiter there; a third
  // field's search would start on 32,768.
  const std::string two_fields = std::string(32765, 'a') + ",";
  EXPECT_EQ(Get_Token(two_fields, ",", 2), "");
  EXPECT_THROW(Get_Token(two_fields, ",", 3), AppError);
  // A delimiter on 32,767 ends field 1, but field 2's search would start beyond the limit.
  const std::string late_comma = std::string(32766, 'a') + ",b";
  EXPECT_EQ(Get_Token(late_comma, ",", 1).size(), 32766u);
  EXPECT_THROW(Get_Token(late_comma, ",", 2), AppError);
}

TEST(SplitPath, CutsIntoDirectoryNameBaseAndExtension) {
  struct Case {
    const char* path;
    const char* directory;
    const char* file_name;
    const char* base_name;
    const char* extension;
  };
  const Case cases[] = {
      {"C:\\dir\\file.txt", "C:\\dir", "file.txt", "file", "txt"},
      {"C:\\dir\\archive.tar.gz", "C:\\dir", "archive.tar.gz", "archive", "tar"},
      {"C:\\dir\\Page.HTML", "C:\\dir", "Page.HTML", "Page", "htm"},
      {"C:\\file.txt", "C:", "file.txt", "file", "txt"},
      {"C:\\Tools\\Launcher", "C:\\Tools", "Launcher", "Launcher", ""},
      {"C:\\dir\\sub\\", "C:\\dir", "sub\\", "sub\\", ""},
      {"C:\\dir\\file.", "C:\\dir", "file.", "file", ""},
      {"C:\\a.b\\c", "C:\\a.b", "c", "c", ""},
      {"D:\\台帳\\帳票.ＸＬＳ", "D:\\台帳", "帳票.ＸＬＳ", "帳票", "ｘｌｓ"},
      {"C:\\", "", "C:\\", "C:\\", ""},
      {"file.txt", "", "file.txt", "file", "txt"},
      {"", "", "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const SplitPathParts parts = Split_Path(c.path);
    EXPECT_EQ(parts.directory, c.directory);
    EXPECT_EQ(parts.file_name, c.file_name);
    EXPECT_EQ(parts.base_name, c.base_name);
    EXPECT_EQ(parts.extension, c.extension);
  }
}

}  // namespace
}  // namespace hanamizu
