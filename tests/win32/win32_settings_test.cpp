#include <gtest/gtest.h>

#include <windows.h>

#include "config/config_sources.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_ini.h"
#include "platform/win32/win32_settings.h"
#include "win32/win32_test_support.h"

namespace hanamizu::win32 {
namespace {

using testing::ScratchDirectory;

const std::string kUserRoot = "Software\\VB and VBA Program Settings\\di04Test";
const std::string kProfileRoot = ".DEFAULT\\Software\\VB and VBA Program Settings\\di04Test";

class Win32SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    Clean();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    testing::DeleteRegistryTree(HKEY_CURRENT_USER, kUserRoot);
    testing::DeleteRegistryTree(HKEY_USERS, kProfileRoot);
  }
  Win32SettingsStore store;
};

TEST_F(Win32SettingsTest, WriteCreatesKeysAndReadGivesTheTextBack) {
  EXPECT_EQ(store.ReadSetting("di04Test", "system", "ﾗﾝﾁｬｰ"), "");
  store.WriteSetting("di04Test", "system", "ﾗﾝﾁｬｰ", "2");
  store.WriteSetting("di04Test", "system", "自動ｱｯﾌﾟﾃﾞｰﾄURL", "");
  EXPECT_EQ(store.ReadSetting("di04Test", "system", "ﾗﾝﾁｬｰ"), "2");
  EXPECT_EQ(store.ReadSetting("di04Test", "system", "自動ｱｯﾌﾟﾃﾞｰﾄURL"), "");
  store.WriteSetting("di04Test", "system", "ﾗﾝﾁｬｰ", "水門");
  EXPECT_EQ(store.ReadSetting("di04Test", "system", "ﾗﾝﾁｬｰ"), "水門");

  // Stored where other programs of the suite look: REG_SZ under the user's settings key.
  wchar_t data[16] = {};
  DWORD size = sizeof data;
  DWORD type = 0;
  ASSERT_EQ(
      RegGetValueW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\di04Test\\system",
                   L"\xFF97\xFF9D\xFF81\xFF6C\xFF70", RRF_RT_ANY, &type, data, &size),
      ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_STREQ(data, L"\x6C34\x9580");
}

TEST_F(Win32SettingsTest, DefaultProfileTextUpTo255BytesIsReadWhole) {
  const std::string subkey = kProfileRoot + "\\system";
  testing::SetRegistryText(HKEY_USERS, subkey, "ﾌﾟﾛｸﾞﾗﾑNo", "3");
  testing::SetRegistryText(HKEY_USERS, subkey, "a255", std::string(255, 'x'));
  testing::SetRegistryText(HKEY_USERS, subkey, "a256", std::string(256, 'x'));
  std::string kanji;  // 127 two-byte characters and one single-byte one: 255 bytes in Shift-JIS
  for (int i = 0; i < 127; ++i) kanji += "台";
  testing::SetRegistryText(HKEY_USERS, subkey, "k255", kanji + "x");
  testing::SetRegistryText(HKEY_USERS, subkey, "k256", kanji + "台");

  const auto read = [&](const std::string& name) {
    return ReadRegistryValue(store, RegistryRoot::kUsers, subkey, name, kRegSz, "<default>");
  };
  EXPECT_EQ(read("ﾌﾟﾛｸﾞﾗﾑNo"), "3");
  EXPECT_EQ(read("a255"), std::string(255, 'x'));
  EXPECT_EQ(read("a256"), "<default>");
  EXPECT_EQ(read("k255"), kanji + "x");
  EXPECT_EQ(read("k256"), "<default>");
  EXPECT_EQ(read("missing"), "<default>");
  EXPECT_EQ(
      ReadRegistryValue(store, RegistryRoot::kUsers, kProfileRoot + "\\nokey", "x", kRegSz, ""),
      "");
}

TEST_F(Win32SettingsTest, ProgramNumberIsCopiedFromTheDefaultProfileOfThePrefixedApplication) {
  const std::string user_a1 = "Software\\VB and VBA Program Settings\\di04TestA1";
  const std::string profile_a1 = ".DEFAULT\\Software\\VB and VBA Program Settings\\di04TestA1";
  testing::SetRegistryText(HKEY_CURRENT_USER, user_a1 + "\\system", "ﾌﾟﾛｸﾞﾗﾑNo", "2");
  testing::SetRegistryText(HKEY_USERS, profile_a1 + "\\system", "ﾌﾟﾛｸﾞﾗﾑNo", "3");
  SyncFromDefaultProfile(store, "TestA1", kKeyProgramNo);
  EXPECT_EQ(store.ReadSetting("di04TestA1", "system", "ﾌﾟﾛｸﾞﾗﾑNo"), "3");

  // Without a default-profile value the user's value stays.
  testing::DeleteRegistryTree(HKEY_USERS, profile_a1);
  store.WriteSetting("di04TestA1", "system", "ﾌﾟﾛｸﾞﾗﾑNo", "2");
  SyncFromDefaultProfile(store, "TestA1", kKeyProgramNo);
  EXPECT_EQ(store.ReadSetting("di04TestA1", "system", "ﾌﾟﾛｸﾞﾗﾑNo"), "2");
  testing::DeleteRegistryTree(HKEY_CURRENT_USER, user_a1);
}

TEST_F(Win32SettingsTest, FillCreatesTheUsersKeyEvenWhenBothAreEmpty) {
  EXPECT_EQ(FillFromDefaultProfile(store, "Test", kKeyAutoUpdate), "");
  HKEY raw = nullptr;
  ASSERT_EQ(
      RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\di04Test\\system",
                    0, KEY_QUERY_VALUE, &raw),
      ERROR_SUCCESS);
  RegistryKey key(raw);
  DWORD type = 0;
  EXPECT_EQ(
      RegQueryValueExW(key.get(), L"\x81EA\x52D5\xFF71\xFF6F\xFF8C\xFF9F\xFF83\xFF9E\xFF70\xFF84",
                       nullptr, &type, nullptr, nullptr),
      ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
}

class Win32OemFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(GetACP(), 932u); }
  void WriteOem(const std::string& utf8_text) {
    testing::WriteBytes(dir.File("oem.ini"), testing::ToAnsi(utf8_text));
  }
  OemValues Read() { return ReadOemFile(ini, dir.path()); }
  ScratchDirectory dir{"oem"};
  Win32IniReader ini;
};

TEST_F(Win32OemFileTest, MissingFileGivesTheDefaults) {
  const OemValues oem = Read();
  EXPECT_EQ(oem.OemTitle, "ハナミズ台帳ツール");
  EXPECT_EQ(oem.RegistryPrefix, "");
}

TEST_F(Win32OemFileTest, ShiftJisTitleAndRegistryPrefix) {
  WriteOem("[OEM]\r\nTITLE=水門管理台帳\r\nCOMPNAME=x\r\n[SETTING]\r\nREGISTRY=A1\r\n");
  const OemValues oem = Read();
  EXPECT_EQ(oem.OemTitle, "水門管理台帳");
  EXPECT_EQ(oem.RegistryPrefix, "A1");
  EXPECT_EQ(SettingsAppName(oem.RegistryPrefix), "di04A1");
}

TEST_F(Win32OemFileTest, EmptyTitleIsEmptyNotTheDefault) {
  WriteOem("[oem]\r\ntitle=\r\n");
  EXPECT_EQ(Read().OemTitle, "");
}

TEST_F(Win32OemFileTest, LongTitleIsCutTo254Bytes) {
  WriteOem("[OEM]\r\nTITLE=" + std::string(300, 'T') + "\r\n");
  EXPECT_EQ(Read().OemTitle, std::string(254, 'T'));
}

TEST_F(Win32OemFileTest, ProfileReaderStripsBlanksAndQuotes) {
  WriteOem("[OEM]\r\nTITLE =  \"台帳\"  \r\n[SETTING]\r\nREGISTRY= B2 \r\n");
  const OemValues oem = Read();
  EXPECT_EQ(oem.OemTitle, "台帳");
  EXPECT_EQ(oem.RegistryPrefix, "B2");
}

}  // namespace
}  // namespace hanamizu::win32
