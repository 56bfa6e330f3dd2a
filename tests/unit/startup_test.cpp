#include "launcher/startup.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace hanamizu {
namespace {

using fakes::FakeFile;
using fakes::FakePlatform;
using fakes::ProcessEnded;

const std::string kWrongCommand =
    "ハナミズ台帳ツールVer4を利用するためには\r\nMeridex V8以降のバージョンが必要です。";

void RunMain(FakePlatform& fake) {
  EXPECT_THROW(RunLauncher(fake.platform), ProcessEnded);
}

TEST(CommandCheck, AcceptsExactlyBoot) {
  FakePlatform fake;
  EXPECT_TRUE(CommandCheck(fake.platform, "boot"));
  EXPECT_TRUE(fake.ui.messages.empty());
}

TEST(CommandCheck, RefusesEveryOtherTextWithTheTwoLineMessage) {
  for (const char* arguments : {"BOOT", "Boot", "boot ", " boot", "boot x", "", "boo"}) {
    SCOPED_TRACE(arguments);
    FakePlatform fake;
    EXPECT_FALSE(CommandCheck(fake.platform, arguments));
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_EQ(fake.ui.messages[0].text, kWrongCommand);
    EXPECT_EQ(fake.ui.messages[0].caption, "ハナミズ台帳ツール");
    EXPECT_EQ(fake.ui.messages[0].buttons, MessageButtons::kOk);
    EXPECT_EQ(fake.ui.messages[0].icon, MessageIcon::kNone);
  }
}

TEST(CommandCheck, TrapsAFailingMessageWithTheStandardMessage) {
  FakePlatform fake;
  int shown = 0;
  fake.ui.on_message = [&](const std::string&) {
    if (++shown == 1) throw AppError(7, "メモリが不足しています。");
  };
  EXPECT_FALSE(CommandCheck(fake.platform, "x"));
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, "メモリが不足しています。 7 (CommandCheck)");
  EXPECT_TRUE(fake.files.appended.empty());
}

TEST(ChDirAppPath, MakesTheLaunchersDriveThenDirectoryCurrent) {
  FakePlatform fake;
  fake.files.launcher_directory = "D:\\Apps\\Ledger";
  ChDir_AppPath(fake.platform);
  EXPECT_EQ(fake.files.calls,
            (std::vector<std::string>{"ChangeDrive D", "ChangeDirectory D:\\Apps\\Ledger"}));
}

TEST(ChDirAppPath, DirectoryOneLevelBelowARoot) {
  FakePlatform fake;
  fake.files.launcher_directory = "e:\\Ledger";
  ChDir_AppPath(fake.platform);
  EXPECT_EQ(fake.files.calls,
            (std::vector<std::string>{"ChangeDrive e", "ChangeDirectory e:\\Ledger"}));
}

TEST(ChDirAppPath, DriveRootAndNetworkPathLeaveTheCurrentDirectoryAlone) {
  for (const char* dir : {"C:\\", "\\\\server\\share\\Ledger", ""}) {
    SCOPED_TRACE(dir);
    FakePlatform fake;
    fake.files.launcher_directory = dir;
    ChDir_AppPath(fake.platform);
    EXPECT_TRUE(fake.files.calls.empty());
  }
}

TEST(Main, RefusedCommandLineStillReadsOemAndSyncsProgramNumber) {
  FakePlatform fake;
  fake.system.arguments = "BOOT";
  fake.ini.values[{"C:\\Tools\\Ledger\\oem.ini", "SETTING", "REGISTRY"}] = "A1";
  fake.settings.user[{"di04A1", "system", "ﾌﾟﾛｸﾞﾗﾑNo"}] = "2";
  fake.settings.users_hive[{".DEFAULT\\Software\\VB and VBA Program Settings\\di04A1\\system",
                            "ﾌﾟﾛｸﾞﾗﾑNo"}] = "3";
  fake.files.entries["C:\\Tools\\Ledger"] = {FakeFile{"PRT1.EXE"}};
  RunMain(fake);
  EXPECT_EQ(fake.settings.ReadSetting("di04A1", "system", "ﾌﾟﾛｸﾞﾗﾑNo"), "3");
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, kWrongCommand);
  // The directory was made current first, and no module was looked for.
  EXPECT_EQ(fake.files.calls,
            (std::vector<std::string>{"ChangeDrive C", "ChangeDirectory C:\\Tools\\Ledger"}));
  EXPECT_EQ(fake.system.end_calls, 1);
}

TEST(Main, NoModuleGivesTheInstallationMessage) {
  FakePlatform fake;
  fake.files.entries["C:\\Tools\\Ledger"] = {
      FakeFile{"PRT2.EXE", /*hidden=*/true}, FakeFile{"PRT3.EXE", false, /*system=*/true},
      FakeFile{"PRTX.EXE", false, false, /*directory=*/true}, FakeFile{"Hanamizu.exe"}};
  RunMain(fake);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, "ツールが正しくインストールされていません");
  EXPECT_EQ(fake.ui.messages[0].caption, "ハナミズ台帳ツール");
  EXPECT_EQ(fake.ui.messages[0].icon, MessageIcon::kNone);
  EXPECT_EQ(fake.files.calls.back(), "ListFiles C:\\Tools\\Ledger\\PRT*.EXE");
}

TEST(Main, ModulesInAnyCaseLeadToTheProductLaunch) {
  FakePlatform fake;
  fake.files.launcher_directory = "C:\\Tools\\Ledger\\";  // trailing "\" is tidied away
  fake.files.entries["C:\\Tools\\Ledger"] = {FakeFile{"prt1.exe"}, FakeFile{"PRTA.EXE"}};
  RunMain(fake);
  // The product launch looked for the main program beside the launcher.
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, "ハナミズ台帳ツールメインプログラムが存在しません");
  EXPECT_EQ(fake.system.end_calls, 1);
  EXPECT_EQ(fake.ini.reads.front(), "C:\\Tools\\Ledger\\oem.ini|OEM|TITLE");
}

TEST(Main, AnErrorThatMeetsNoTrapIsShownWithNumberAndDescription) {
  FakePlatform fake;
  struct FailingListing : fakes::FakeFileSystem {
    std::vector<std::string> ListFiles(const std::string&) override {
      throw AppError(52, "ファイル名または番号が不正です。");
    }
  } failing;
  failing.launcher_directory = fake.files.launcher_directory;
  Platform platform{failing,     fake.settings, fake.ini,      fake.ui,
                    fake.system, fake.http,     fake.processes};
  EXPECT_THROW(RunLauncher(platform), ProcessEnded);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_NE(fake.ui.messages[0].text.find("52"), std::string::npos);
  EXPECT_NE(fake.ui.messages[0].text.find("ファイル名または番号が不正です。"), std::string::npos);
  EXPECT_EQ(fake.ui.messages[0].caption, "ハナミズ台帳ツール");
}

TEST(Main, AFailingLastMessageStillEndsTheLauncherInOrder) {
  FakePlatform fake;
  fake.ui.on_message = [](const std::string&) { throw AppError(1400, "invalid window"); };
  struct FailingListing : fakes::FakeFileSystem {
    std::vector<std::string> ListFiles(const std::string&) override {
      throw AppError(52, "ファイル名または番号が不正です。");
    }
  } failing;
  failing.launcher_directory = fake.files.launcher_directory;
  Platform platform{failing,     fake.settings, fake.ini,      fake.ui,
                    fake.system, fake.http,     fake.processes};
  EXPECT_THROW(RunLauncher(platform), ProcessEnded);
  EXPECT_EQ(fake.system.end_calls, 1);
}

}  // namespace
}  // namespace hanamizu
