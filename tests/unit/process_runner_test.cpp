#include "common/process_runner.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace hanamizu {
namespace {

using fakes::FakePlatform;
using fakes::FakeUserInterface;
using fakes::ProcessPoll;

struct QuotingCase {
  const char* name;
  std::string command_line;
  std::string quoted;
};

class GetShellPathNameQuotes : public ::testing::TestWithParam<QuotingCase> {};

TEST_P(GetShellPathNameQuotes, ExactlyTheProgramPath) {
  FakeUserInterface ui;
  const std::string original = GetParam().command_line;
  std::string argument = original;
  EXPECT_EQ(Get_Shell_PathName(ui, argument), GetParam().quoted);
  EXPECT_EQ(argument, original);
  EXPECT_TRUE(ui.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, GetShellPathNameQuotes,
    ::testing::Values(
        QuotingCase{"OneWordWithoutExe", "notepad", "\"notepad\""},
        QuotingCase{"OneWordProgram", "C:\\Tools\\Hanamizu.exe", "\"C:\\Tools\\Hanamizu.exe\""},
        QuotingCase{"PathWithSpacesEndingInCapitalExe", "C:\\Program Files\\Tool\\Main.EXE /a",
                    "\"C:\\Program Files\\Tool\\Main.EXE\" /a"},
        QuotingCase{"OnlyTheFirstOfTwoPrograms", "C:\\a.exe C:\\b.exe x",
                    "\"C:\\a.exe\" C:\\b.exe x"},
        QuotingCase{"LeadingBlankMakesAnEmptyFirstWord", " C:\\a.exe /x", "\" C:\\a.exe\" /x"},
        QuotingCase{"DoubleBlanksStayInPlace", "C:\\My  Tools\\a.exe  /x  y",
                    "\"C:\\My  Tools\\a.exe\"  /x  y"},
        QuotingCase{"TrailingBlankGivesAnEmptyLastWord", "C:\\a.exe ", "\"C:\\a.exe\" "},
        QuotingCase{"BareExtensionIsAWholeWord", "a .exe b", "\"a .exe\" b"},
        QuotingCase{"WordsShorterThanFourNeverMatch", "exe xe C:\\b.Exe", "\"exe xe C:\\b.Exe\""},
        QuotingCase{"JapanesePathCountsCharacters",
                    "C:\\台帳 ツール\\ハナミズ.exe LanternfieldOn,水門,ポンプ,トンネル",
                    "\"C:\\台帳 ツール\\ハナミズ.exe\" LanternfieldOn,水門,ポンプ,トンネル"}),
    [](const auto& info) { return std::string(info.param.name); });

struct UnquotableCase {
  const char* name;
  std::string command_line;
};

class GetShellPathNameFails : public ::testing::TestWithParam<UnquotableCase> {};

TEST_P(GetShellPathNameFails, SaysSoAndGivesTheCommandLineUnchanged) {
  FakeUserInterface ui;
  EXPECT_EQ(Get_Shell_PathName(ui, GetParam().command_line), GetParam().command_line);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, kNoProgramPathDescription);
  EXPECT_EQ(ui.messages[0].caption, "Get_Shell_PathName");
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::kOk);
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::kNone);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, GetShellPathNameFails,
    ::testing::Values(UnquotableCase{"Empty", ""},
                      UnquotableCase{"AlreadyQuoted", "\"C:\\Program Files\\Main.exe\" /a"},
                      UnquotableCase{"NoProgramAmongSeveralWords", "C:\\Tools\\run.bat /a"},
                      UnquotableCase{"FullWidthExtensionIsNoProgram", "C:\\a．ＥＸＥ /a"},
                      UnquotableCase{"OnlyBlanks", "  "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShellWT, WaitsUntilTheProgramHasEndedAndHandlesEventsBetweenPolls) {
  FakePlatform fake;
  fake.processes.polls = {{259, false}, {259, false}, {0, true}};
  fake.ui.on_do_events = [&] { fake.processes.calls.push_back("DoEvents"); };
  EXPECT_EQ(Shell_WT(fake.platform, "C:\\Program Files\\Hanamizu.exe LanternfieldOn,水門", 1), 0);
  const std::vector<std::string> poll = {"Sleep 100", "ExitCode", "DoEvents"};
  std::vector<std::string> expected = {
      "Start \"C:\\Program Files\\Hanamizu.exe\" LanternfieldOn,水門 show=1", "Open 4242"};
  for (int i = 0; i < 2; ++i) {
    expected.insert(expected.end(), poll.begin(), poll.end());
    expected.push_back("HasEnded");
  }
  expected.insert(expected.end(), poll.begin(), poll.end());
  expected.push_back("Close");
  EXPECT_EQ(fake.processes.calls, expected);
  EXPECT_EQ(fake.processes.open_handles, 0);
  EXPECT_TRUE(fake.ui.messages.empty());
}

TEST(ShellWT, AProgramThatEndsAtOnceStillCostsOnePause) {
  FakePlatform fake;
  EXPECT_EQ(Shell_WT(fake.platform, "C:\\a.exe", 1), 0);
  EXPECT_EQ(fake.processes.Count("Sleep 100"), 1);
  EXPECT_EQ(fake.ui.events_processed, 1);
  EXPECT_EQ(fake.processes.open_handles, 0);
}

TEST(ShellWT, TheProgramsOwnExitCodeIsNotPassedOn) {
  for (uint32_t code : {1u, 3u, 258u, 260u, 0xC0000005u}) {
    SCOPED_TRACE(code);
    FakePlatform fake;
    fake.processes.polls = {{259, false}, {code, true}};
    EXPECT_EQ(Shell_WT(fake.platform, "C:\\a.exe /x", 1), 0);
    EXPECT_EQ(fake.processes.Count("Sleep"), 2);
  }
}

TEST(ShellWT, AProgramThatReallyExitsWith259EndsTheWait) {
  FakePlatform fake;
  fake.processes.polls = {{259, false}, {259, false}, {259, true}, {259, false}};
  EXPECT_EQ(Shell_WT(fake.platform, "C:\\a.exe", 1), 0);
  EXPECT_EQ(fake.processes.Count("Sleep"), 3);
  EXPECT_EQ(fake.processes.polls.size(), 1u);
  EXPECT_EQ(fake.processes.open_handles, 0);
}

TEST(ShellWT, TheShowWindowCodeIsPassedThrough) {
  for (int style : {0, 1, 2, 7}) {
    FakePlatform fake;
    Shell_WT(fake.platform, "C:\\a.exe", style);
    EXPECT_EQ(fake.processes.calls.front(), "Start \"C:\\a.exe\" show=" + std::to_string(style));
  }
}

TEST(ShellWT, AProcessThatCannotBeOpenedEndsAfterOnePause) {
  FakePlatform fake;
  fake.processes.open_fails = true;
  EXPECT_EQ(Shell_WT(fake.platform, "C:\\a.exe", 1), 0);
  EXPECT_EQ(fake.processes.calls,
            (std::vector<std::string>{"Start \"C:\\a.exe\" show=1", "Open 4242", "Sleep 100"}));
  EXPECT_EQ(fake.ui.events_processed, 1);
}

TEST(ShellWT, AFailedExitCodeQueryReadsAsZero) {
  FakePlatform fake;
  fake.processes.polls = {{259, false}, {std::nullopt, false}, {259, false}};
  EXPECT_EQ(Shell_WT(fake.platform, "C:\\a.exe", 1), 0);
  EXPECT_EQ(fake.processes.Count("Sleep"), 2);
}

TEST(ShellWT, AFailedStartIsReportedWithoutWaiting) {
  FakePlatform fake;
  fake.processes.start_error = AppError(2, "指定されたファイルが見つかりません。");
  EXPECT_EQ(Shell_WT(fake.platform, "C:\\missing.exe /a", 1), -1);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, "指定されたファイルが見つかりません。 2 (Shell_WT)");
  EXPECT_EQ(fake.ui.messages[0].caption, "ハナミズ台帳ツール");
  EXPECT_EQ(fake.ui.messages[0].buttons, MessageButtons::kOk);
  EXPECT_EQ(fake.ui.messages[0].icon, MessageIcon::kNone);
  EXPECT_EQ(fake.processes.Count("Sleep"), 0);
  EXPECT_EQ(fake.processes.Count("Open"), 0);
  EXPECT_EQ(fake.ui.events_processed, 0);
}

TEST(ShellWT, EmptyCommandLineGivesBothMessagesInOrder) {
  FakePlatform fake;
  fake.processes.start_error = AppError(87, "パラメーターが間違っています。");
  EXPECT_EQ(Shell_WT(fake.platform, "", 1), -1);
  EXPECT_EQ(fake.processes.calls.front(), "Start  show=1");
  ASSERT_EQ(fake.ui.messages.size(), 2u);
  EXPECT_EQ(fake.ui.messages[0].caption, "Get_Shell_PathName");
  EXPECT_EQ(fake.ui.messages[0].text, kNoProgramPathDescription);
  EXPECT_EQ(fake.ui.messages[1].caption, "ハナミズ台帳ツール");
  EXPECT_EQ(fake.ui.messages[1].text, "パラメーターが間違っています。 87 (Shell_WT)");
  EXPECT_EQ(fake.processes.Count("Sleep"), 0);
}

TEST(ShellWT, AnUnquotableCommandLineIsStartedUnchanged) {
  FakePlatform fake;
  EXPECT_EQ(Shell_WT(fake.platform, "\"C:\\Program Files\\a.exe\" /x", 1), 0);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].caption, "Get_Shell_PathName");
  EXPECT_EQ(fake.processes.calls.front(), "Start \"C:\\Program Files\\a.exe\" /x show=1");
}

TEST(ShellWT, AnErrorWhileWaitingReleasesTheProcessAndIsReported) {
  FakePlatform fake;
  fake.processes.polls = {{259, false}, {259, false}};
  fake.ui.on_do_events = [&] {
    if (fake.ui.events_processed == 2) throw AppError(7, "メモリが不足しています。");
  };
  EXPECT_EQ(Shell_WT(fake.platform, "C:\\a.exe", 1), -1);
  EXPECT_EQ(fake.processes.open_handles, 0);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, "メモリが不足しています。 7 (Shell_WT)");
}

}  // namespace
}  // namespace hanamizu
