#include "launcher/product_launch.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "update/update_list.h"

namespace hanamizu {
namespace {

using fakes::FakeFile;
using fakes::FakePlatform;
using fakes::ProcessEnded;

constexpr char kDir[] = "C:\\Tools\\Ledger";
constexpr char kMain[] = "C:\\Tools\\Ledger\\Hanamizu.exe";
constexpr char kUrl[] = "http://127.0.0.1:8080/v4/";
const std::string kCommandLine = std::string(kMain) + " LanternfieldOn,水門,ポンプ,トンネル";

class ProductLaunchTest : public ::testing::Test {
 protected:
  ProductLaunchTest() {
    fake.files.launcher_directory = kDir;
    fake.files.entries[kDir] = {FakeFile{"Hanamizu.exe"}, FakeFile{"PRT1.EXE"}};
    fake.files.versions[kMain] = "8.1.0.25";
    state.OemTitle = "ハナミズ台帳ツール";
    state.LauncherMode = 2;
    state.ModuleFiles = {"", "PRT1.EXE"};
  }

  void SwitchAutoUpdateOn(int32_t minor, int32_t build, int16_t mode = 0) {
    fake.settings.user[{"di04", "system", "自動ｱｯﾌﾟﾃﾞｰﾄ"}] = "1";
    fake.settings.user[{"di04", "system", "自動ｱｯﾌﾟﾃﾞｰﾄURL"}] = kUrl;
    fake.system.environment["TEMP"] = "C:\\Temp";
    UpdateListRecord list;
    list.DownloadMode = mode;
    list.ServerMajor = 8;
    list.ServerMinor = minor;
    list.ServerBuild = build;
    list.PackageLocation = "http://127.0.0.1:8080/pkg/";
    list.PackageFile = "setup.exe";
    fake.http.bodies[std::string(kUrl) + "di04.dat"] =
        WriteUpdateListRecord(list, fake.files.Ansi());
    fake.http.bodies["http://127.0.0.1:8080/pkg/setup.exe"] = "MZ package";
  }

  // Runs the product launch; true when it ended the launcher itself.
  bool Launch() {
    try {
      SeihinKidou(fake.platform, state, "水門,ポンプ,トンネル", "");
      return false;
    } catch (const ProcessEnded&) {
      return true;
    }
  }

  std::vector<std::string> JournalWithout(const std::string& prefix) const {
    std::vector<std::string> kept;
    for (const auto& entry : fake.journal) {
      if (entry.rfind(prefix, 0) != 0) kept.push_back(entry);
    }
    return kept;
  }

  FakePlatform fake;
  LauncherState state;
};

TEST_F(ProductLaunchTest, MissingMainProgramSaysSoAndEndsBeforeAnythingElse) {
  fake.files.entries[kDir] = {FakeFile{"PRT1.EXE"}, FakeFile{"Hanamizu.exe", /*hidden=*/true}};
  EXPECT_TRUE(Launch());
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, "ハナミズ台帳ツールメインプログラムが存在しません");
  EXPECT_EQ(fake.ui.messages[0].caption, "ハナミズ台帳ツール");
  EXPECT_EQ(fake.ui.messages[0].buttons, MessageButtons::kOk);
  EXPECT_EQ(fake.ui.messages[0].icon, MessageIcon::kNone);
  EXPECT_TRUE(fake.settings.writes.empty());
  EXPECT_EQ(fake.ui.splash_windows_created, 0);
  EXPECT_TRUE(fake.processes.calls.empty());
}

TEST_F(ProductLaunchTest, NormalRunInOrderWithTheThreeSecondMinimum) {
  EXPECT_FALSE(Launch());
  EXPECT_EQ(fake.journal,
            (std::vector<std::string>{
                "splash MoveLeft", "splash MoveTop", "splash Label1=ハナミズ台帳ツール V4",
                "splash Show", "splash Repaint", "write ﾗﾝﾁｬｰ=2",
                "write 自動ｱｯﾌﾟﾃﾞｰﾄURL=", "write 自動ｱｯﾌﾟﾃﾞｰﾄ=", "Sleep 3000", "splash Unload",
                "Start \"" + std::string(kMain) + "\" LanternfieldOn,水門,ポンプ,トンネル show=1",
                "Sleep 100"}));
  EXPECT_TRUE(fake.ui.messages.empty());
  EXPECT_TRUE(fake.http.requests.empty());
}

TEST_F(ProductLaunchTest, InstallationPathWithBlanksStaysUnquotedOnTheCommandLine) {
  const std::string dir = "C:\\Program Files\\Ledger Tool";
  fake.files.launcher_directory = dir + "\\";
  fake.files.entries[dir] = {FakeFile{"Hanamizu.exe"}};
  EXPECT_FALSE(Launch());
  // The runner quotes the program path only for the process start.
  EXPECT_EQ(fake.processes.Count("Start \"" + dir + "\\Hanamizu.exe\" LanternfieldOn,"), 1);
}

TEST_F(ProductLaunchTest, ExtraFollowsTheKindsWithoutASeparator) {
  SeihinKidou(fake.platform, state, "水門", ",x");
  EXPECT_EQ(
      fake.processes.Count("Start \"" + std::string(kMain) + "\" LanternfieldOn,水門,x show=1"), 1);
}

TEST_F(ProductLaunchTest, TimeSpentOnSettingsCountsTowardsTheMinimum) {
  // Reading the settings takes 1.25 s; only the rest of the three seconds is waited for.
  fake.ui.on_message = nullptr;
  fake.settings.user[{"di04", "system", "自動ｱｯﾌﾟﾃﾞｰﾄ"}] = "0";
  fake.system.monotonic_seconds = 5000.0;
  struct SlowStore : fakes::FakeSettingsStore {
    double* clock = nullptr;
    std::string ReadSetting(const std::string& app, const std::string& section,
                            const std::string& key) override {
      *clock += 0.625;
      return FakeSettingsStore::ReadSetting(app, section, key);
    }
  } slow;
  slow.clock = &fake.system.monotonic_seconds;
  Platform platform{fake.files, slow, fake.ini, fake.ui, fake.system, fake.http, fake.processes};
  SeihinKidou(platform, state, "水門", "");
  EXPECT_EQ(fake.processes.calls.front(), "Sleep 1750");
}

TEST_F(ProductLaunchTest, NewerPackageIsOfferedDownloadedAndStartedInsteadOfTheMainProgram) {
  SwitchAutoUpdateOn(1, 26);
  EXPECT_TRUE(Launch());
  ASSERT_EQ(fake.ui.messages.size(), 2u);
  EXPECT_EQ(fake.ui.messages[0].text,
            "現在使用中のプログラムはバージョン 8.1.25 です。\r\rサーバー上に最新バージョン "
            "8.1.26 が更新されています。\r\r更新を実行しますか");
  EXPECT_EQ(fake.files.files["C:\\Temp\\setup.exe"], "MZ package");
  EXPECT_EQ(fake.ui.splash->status_label, "setup.exe ファイルをダウンロード中");
  EXPECT_EQ(fake.processes.calls,
            (std::vector<std::string>{"ShellOpen owner=4660 file=C:\\Temp\\setup.exe "
                                      "parameters=1 directory=C:\\Temp\\ show=1"}));
  EXPECT_FALSE(fake.ui.splash->unloaded);
  EXPECT_EQ(fake.settings.ReadSetting("di04", "system", "ﾗﾝﾁｬｰ"), "2");
}

TEST_F(ProductLaunchTest, CancelledOfferRunsTheMainProgram) {
  SwitchAutoUpdateOn(1, 26);
  fake.ui.answers = {MessageAnswer::kCancel};
  EXPECT_FALSE(Launch());
  EXPECT_EQ(fake.http.requests, std::vector<std::string>{std::string(kUrl) + "di04.dat"});
  EXPECT_EQ(fake.processes.Count("Start \"" + std::string(kMain) + "\""), 1);
  EXPECT_EQ(fake.processes.Count("ShellOpen"), 0);
  EXPECT_TRUE(fake.ui.splash->unloaded);
}

TEST_F(ProductLaunchTest, UpdateCheckLongerThanThreeSecondsIsNotFollowedByAWait) {
  SwitchAutoUpdateOn(1, 26);
  fake.ui.answers = {MessageAnswer::kCancel};
  fake.ui.on_message = [&](const std::string&) { fake.system.monotonic_seconds += 4.0; };
  EXPECT_FALSE(Launch());
  const auto events = JournalWithout("write");
  const auto unload = std::find(events.begin(), events.end(), "splash Unload");
  ASSERT_NE(unload, events.end());
  EXPECT_EQ(*(unload - 1), "message " + fake.ui.messages[0].text);
  EXPECT_EQ(fake.processes.Count("Sleep"), 1);  // only Shell_WT's poll
}

TEST_F(ProductLaunchTest, InstalledVersionComesFromTheFirstSecondAndFourthNumbers) {
  SwitchAutoUpdateOn(1, 26);
  fake.files.versions[kMain] = "8.1.3";
  fake.ui.answers = {MessageAnswer::kCancel};
  Launch();
  ASSERT_FALSE(fake.ui.messages.empty());
  EXPECT_EQ(fake.ui.messages[0].text.rfind("現在使用中のプログラムはバージョン 8.1.0 です。", 0),
            0u);
}

TEST_F(ProductLaunchTest, MainProgramWithoutVersionIsAVersionMismatchThenTheNormalRun) {
  SwitchAutoUpdateOn(1, 26);
  fake.files.versions.erase(kMain);
  EXPECT_FALSE(Launch());
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, "バージョン情報が正しくありません。　8");
  EXPECT_EQ(fake.processes.Count("Start"), 1);
}

TEST_F(ProductLaunchTest, SwitchOffValuesFetchNothing) {
  for (const char* value : {"1.5", "0", "2", "on", "", "40000"}) {
    SCOPED_TRACE(value);
    FakePlatform other;
    other.files.launcher_directory = kDir;
    other.files.entries[kDir] = {FakeFile{"Hanamizu.exe"}};
    other.settings.user[{"di04", "system", "自動ｱｯﾌﾟﾃﾞｰﾄ"}] = value;
    SeihinKidou(other.platform, state, "水門", "");
    EXPECT_TRUE(other.http.requests.empty());
    EXPECT_EQ(other.processes.Count("Start"), 1);
  }
}

TEST_F(ProductLaunchTest, DefaultProfileSwitchesAutoUpdateOnForAnEmptyUserValue) {
  SwitchAutoUpdateOn(1, 25);  // same version: nothing to offer
  fake.settings.user.erase({"di04", "system", "自動ｱｯﾌﾟﾃﾞｰﾄ"});
  fake.settings.users_hive[{".DEFAULT\\Software\\VB and VBA Program Settings\\di04\\system",
                            "自動ｱｯﾌﾟﾃﾞｰﾄ"}] = " 1 ";
  EXPECT_FALSE(Launch());
  EXPECT_EQ(fake.http.requests.size(), 1u);
  EXPECT_EQ(fake.settings.ReadSetting("di04", "system", "自動ｱｯﾌﾟﾃﾞｰﾄ"), " 1 ");
}

TEST(ChooseUpdateDir, TempThenTmpThenTheLauncherDirectory) {
  struct Case {
    std::optional<std::string> temp;
    std::optional<std::string> tmp;
    std::string expected;
  };
  const Case cases[] = {
      {"C:\\Temp\\", std::nullopt, "C:\\Temp\\"},
      {"C:\\Temp", "D:\\Tmp", "C:\\Temp\\"},
      {"  C:\\Temp  ", std::nullopt, "C:\\Temp\\"},
      {std::nullopt, "D:\\Tmp", "D:\\Tmp\\"},
      {"   ", "D:\\Tmp\\", "D:\\Tmp\\"},
      {"\\", "D:\\Tmp", "D:\\Tmp\\"},
      {std::nullopt, std::nullopt, "C:\\Tools\\Ledger\\"},
      {"", "", "C:\\Tools\\Ledger\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    FakePlatform fake;
    fake.files.launcher_directory = "C:\\Tools\\Ledger";
    if (c.temp) fake.system.environment["TEMP"] = *c.temp;
    if (c.tmp) fake.system.environment["TMP"] = *c.tmp;
    EXPECT_EQ(ChooseUpdateDir(fake.platform), c.expected);
  }
}

}  // namespace
}  // namespace hanamizu
