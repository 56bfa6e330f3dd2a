#include "config/config_sources.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace hanamizu {
namespace {

const std::string kProfileKey = ".DEFAULT\\Software\\VB and VBA Program Settings\\di04\\system";

TEST(ReadOemFile, DefaultsWhenTheFileSaysNothing) {
  fakes::FakeIniReader ini;
  const OemValues oem = ReadOemFile(ini, "C:\\Tools\\Ledger");
  EXPECT_EQ(oem.OemTitle, "ハナミズ台帳ツール");
  EXPECT_EQ(oem.RegistryPrefix, "");
  EXPECT_EQ(ini.reads, (std::vector<std::string>{"C:\\Tools\\Ledger\\oem.ini|OEM|TITLE",
                                                 "C:\\Tools\\Ledger\\oem.ini|SETTING|REGISTRY"}));
}

TEST(ReadOemFile, EmptyTitleIsKeptAndPrefixSelectsTheApplication) {
  fakes::FakeIniReader ini;
  ini.values[{"C:\\oem.ini", "OEM", "TITLE"}] = "";
  ini.values[{"C:\\oem.ini", "SETTING", "REGISTRY"}] = "A1";
  const OemValues oem = ReadOemFile(ini, "C:");
  EXPECT_EQ(oem.OemTitle, "");
  EXPECT_EQ(SettingsAppName(oem.RegistryPrefix), "di04A1");
  EXPECT_EQ(DefaultProfileKey(oem.RegistryPrefix),
            ".DEFAULT\\Software\\VB and VBA Program Settings\\di04A1\\system");
}

TEST(SyncFromDefaultProfile, NonEmptyDifferingProfileValueWins) {
  fakes::FakeSettingsStore store;
  store.user[{"di04", "system", "ﾌﾟﾛｸﾞﾗﾑNo"}] = "2";
  store.users_hive[{kProfileKey, "ﾌﾟﾛｸﾞﾗﾑNo"}] = "3";
  SyncFromDefaultProfile(store, "", kKeyProgramNo);
  EXPECT_EQ(store.writes, std::vector<std::string>{"di04|system|ﾌﾟﾛｸﾞﾗﾑNo=3"});

  fakes::FakeSettingsStore absent_user;
  absent_user.users_hive[{kProfileKey, "ﾌﾟﾛｸﾞﾗﾑNo"}] = "3";
  SyncFromDefaultProfile(absent_user, "", kKeyProgramNo);
  EXPECT_EQ(absent_user.writes, std::vector<std::string>{"di04|system|ﾌﾟﾛｸﾞﾗﾑNo=3"});
}

TEST(SyncFromDefaultProfile, AbsentEmptyOrEqualProfileValueWritesNothing) {
  fakes::FakeSettingsStore store;
  store.user[{"di04", "system", "ﾌﾟﾛｸﾞﾗﾑNo"}] = "2";
  SyncFromDefaultProfile(store, "", kKeyProgramNo);
  store.users_hive[{kProfileKey, "ﾌﾟﾛｸﾞﾗﾑNo"}] = "";
  SyncFromDefaultProfile(store, "", kKeyProgramNo);
  store.users_hive[{kProfileKey, "ﾌﾟﾛｸﾞﾗﾑNo"}] = "2";
  SyncFromDefaultProfile(store, "", kKeyProgramNo);
  EXPECT_TRUE(store.writes.empty());
  EXPECT_EQ(store.ReadSetting("di04", "system", "ﾌﾟﾛｸﾞﾗﾑNo"), "2");
}

TEST(SyncFromDefaultProfile, ComparesCaseSensitivelyUnderThePrefixedApplication) {
  fakes::FakeSettingsStore store;
  const std::string key = ".DEFAULT\\Software\\VB and VBA Program Settings\\di04A1\\system";
  store.user[{"di04A1", "system", "ﾌﾟﾛｸﾞﾗﾑNo"}] = "a";
  store.users_hive[{key, "ﾌﾟﾛｸﾞﾗﾑNo"}] = "A";
  SyncFromDefaultProfile(store, "A1", kKeyProgramNo);
  EXPECT_EQ(store.writes, std::vector<std::string>{"di04A1|system|ﾌﾟﾛｸﾞﾗﾑNo=A"});
}

TEST(FillFromDefaultProfile, UserValueWinsAndNothingIsWritten) {
  fakes::FakeSettingsStore store;
  store.user[{"di04", "system", "自動ｱｯﾌﾟﾃﾞｰﾄ"}] = "0";
  store.users_hive[{kProfileKey, "自動ｱｯﾌﾟﾃﾞｰﾄ"}] = "1";
  EXPECT_EQ(FillFromDefaultProfile(store, "", kKeyAutoUpdate), "0");
  EXPECT_TRUE(store.writes.empty());
}

TEST(FillFromDefaultProfile, EmptyUserValueIsFilledAndWrittenEvenWhenStillEmpty) {
  fakes::FakeSettingsStore store;
  store.users_hive[{kProfileKey, "自動ｱｯﾌﾟﾃﾞｰﾄ"}] = "1";
  EXPECT_EQ(FillFromDefaultProfile(store, "", kKeyAutoUpdate), "1");
  EXPECT_EQ(FillFromDefaultProfile(store, "", kKeyAutoUpdateUrl), "");
  EXPECT_EQ(store.writes, (std::vector<std::string>{"di04|system|自動ｱｯﾌﾟﾃﾞｰﾄ=1",
                                                    "di04|system|自動ｱｯﾌﾟﾃﾞｰﾄURL="}));
}

TEST(ReadRegistryValue, FailedReadGivesTheDefault) {
  fakes::FakeSettingsStore store;
  EXPECT_EQ(ReadRegistryValue(store, RegistryRoot::kUsers, "x", "y", kRegSz, "dflt"), "dflt");
  store.users_hive[{"x", "y"}] = "v";
  EXPECT_EQ(ReadRegistryValue(store, RegistryRoot::kUsers, "x", "y", kRegSz, "dflt"), "v");
}

}  // namespace
}  // namespace hanamizu
