#include "launcher/launch_rules.h"

#include <gtest/gtest.h>

#include "common/app_error.h"

namespace hanamizu {
namespace {

void ExpectVersion(const std::string& text, int32_t major, int32_t minor, int32_t build) {
  SCOPED_TRACE(text);
  const InstalledVersion v = SplitFileVersion(text);
  EXPECT_EQ(v.major, major);
  EXPECT_EQ(v.minor, minor);
  EXPECT_EQ(v.build, build);
}

TEST(SplitFileVersion, TakesFirstSecondAndFourthNumbers) {
  ExpectVersion("8.1.0.25", 8, 1, 25);
  ExpectVersion("8.1.3", 8, 1, 0);
  ExpectVersion("8.1", 8, 0, 0);
  ExpectVersion("", 0, 0, 0);
  ExpectVersion("8", 0, 0, 0);
  ExpectVersion("10.20.30.40", 10, 20, 40);
  ExpectVersion("65535.65535.65535.65535", 65535, 65535, 65535);
}

TEST(SplitFileVersion, NonNumericOrOversizedPartsAreErrors) {
  EXPECT_THROW(SplitFileVersion("a.1.0.0"), AppError);
  EXPECT_THROW(SplitFileVersion("8.1.0.99999999999"), AppError);
  try {
    SplitFileVersion("3000000000.0.0.0");
    FAIL();
  } catch (const AppError& e) {
    EXPECT_EQ(e.number(), kErrorOverflow);
  }
}

TEST(AutoUpdateSwitch, OnOnlyForNumbersThatRoundToOne) {
  for (const char* on : {"1", " 1 ", "1.4", "0.5000001", "+1", "1.0", "1e0", "\t1"}) {
    SCOPED_TRACE(on);
    EXPECT_TRUE(AutoUpdateSwitchOn(on));
  }
  for (const char* off : {"1.5", "0", "2", "0.5", "2.5", "-1", "on", "", "  ", "1x", "１", "40000",
                          "-40000", "32767.5", "1e10", "nan", "inf", "."}) {
    SCOPED_TRACE(off);
    EXPECT_FALSE(AutoUpdateSwitchOn(off));
  }
}

TEST(AutoUpdateSwitch, RoundsHalvesToEvenWithin16Bits) {
  EXPECT_EQ(NumericSettingAsInt16("2.5"), 2);
  EXPECT_EQ(NumericSettingAsInt16("3.5"), 4);
  EXPECT_EQ(NumericSettingAsInt16("-0.5"), 0);
  EXPECT_EQ(NumericSettingAsInt16("32767.4"), 32767);
  EXPECT_EQ(NumericSettingAsInt16("-32768.5"), -32768);
  EXPECT_EQ(NumericSettingAsInt16("32768"), std::nullopt);
  EXPECT_EQ(NumericSettingAsInt16("-32769"), std::nullopt);
}

TEST(MainCommandLine, PathBlankMarkerKindsAndExtra) {
  EXPECT_EQ(
      BuildMainCommandLine("C:\\Program Files\\Ledger\\Hanamizu.exe", "水門,ポンプ,トンネル", ""),
      "C:\\Program Files\\Ledger\\Hanamizu.exe LanternfieldOn,水門,ポンプ,トンネル");
  EXPECT_EQ(BuildMainCommandLine("C:\\L\\Hanamizu.exe", "水門", ",x"),
            "C:\\L\\Hanamizu.exe LanternfieldOn,水門,x");
}

}  // namespace
}  // namespace hanamizu
