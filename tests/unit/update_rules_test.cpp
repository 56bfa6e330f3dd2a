#include "update/update_rules.h"

#include <gtest/gtest.h>

#include <climits>

#include "common/app_error.h"

namespace hanamizu {
namespace {

TEST(VersionText, DecimalNumbersJoinedByDotsWithMinusForNegatives) {
  EXPECT_EQ(VersionText(8, 1, 25), "8.1.25");
  EXPECT_EQ(VersionText(0, 0, 0), "0.0.0");
  EXPECT_EQ(VersionText(8, -1, 7), "8.-1.7");
  EXPECT_EQ(VersionText(INT32_MIN, INT32_MAX, -1), "-2147483648.2147483647.-1");
}

TEST(IsNewerVersion, MinorDecidesFirstThenBuild) {
  EXPECT_FALSE(IsNewerVersion(1, 25, 1, 25));  // the same
  EXPECT_FALSE(IsNewerVersion(1, 24, 1, 25));
  EXPECT_FALSE(IsNewerVersion(0, 99, 1, 25));
  EXPECT_TRUE(IsNewerVersion(1, 26, 1, 25));
  EXPECT_TRUE(IsNewerVersion(2, 3, 1, 50));
  EXPECT_TRUE(IsNewerVersion(2, INT32_MIN, 1, INT32_MAX));
  EXPECT_FALSE(IsNewerVersion(-1, 5, 0, 0));  // signed comparison
  EXPECT_TRUE(IsNewerVersion(0, 0, -1, 5));
}

TEST(IsUsablePackageFile, EndsInExeInAnyCase) {
  for (const char* name : {"setup.exe", "SETUP.EXE", "Setup.ExE", "更新.exe", ".exe", "a b.exe"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(IsUsablePackageFile(name));
  }
  for (const char* name : {"setup.exe ", "setup.msi", "", "exe", "setup.exe.", "setup.ｅｘｅ",
                           "setup．exe", "setupexe"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(IsUsablePackageFile(name));
  }
}

TEST(IsUsablePackageFile, RefusesAnythingButAPlainFileName) {
  for (const char* name : {"..\\setup.exe", "sub\\setup.exe", "../setup.exe", "sub/setup.exe",
                           "C:setup.exe", "C:\\Windows\\setup.exe", "\\\\server\\share\\setup.exe",
                           "set\tup.exe", "set\rup.exe", "setup\x7F.exe", "setup.exe:stream.exe"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(IsUsablePackageFile(name));
  }
}

TEST(DownloadModeResult, ModePlusOneInSixteenBits) {
  EXPECT_EQ(DownloadModeResult(0), 1);
  EXPECT_EQ(DownloadModeResult(1), 2);
  EXPECT_EQ(DownloadModeResult(-1), 0);
  EXPECT_EQ(DownloadModeResult(-32768), -32767);
  EXPECT_EQ(DownloadModeResult(32766), 32767);
}

TEST(DownloadModeResult, ModeThirtyTwoThousandSevenHundredSixtySevenOverflows) {
  try {
    DownloadModeResult(32767);
    FAIL() << "no overflow";
  } catch (const AppError& error) {
    EXPECT_EQ(error.number(), kErrorOverflow);
    EXPECT_EQ(error.description(), "オーバーフローしました。");
  }
}

}  // namespace
}  // namespace hanamizu
