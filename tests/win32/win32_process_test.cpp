#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/process_runner.h"
#include "fakes/fake_platform.h"
#include "launcher/splash.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_process.h"
#include "platform/win32/win32_ui.h"
#include "win32/win32_standins.h"

namespace hanamizu::win32 {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using testing::ControlStandIn;
using testing::ReadRecord;
using testing::ScratchDirectory;

// The real process launcher with a recording user interface. The scratch directory has a
// blank in its name, so the program path needs its quotes.
class Win32ShellWT : public ::testing::Test {
 protected:
  ScratchDirectory dir{"shell wt"};
  std::string program = testing::CopyStandIn(dir, "Hanamizu.exe");
  fakes::FakePlatform fake;
  Win32ProcessLauncher processes;
  Platform platform{fake.files,  fake.settings, fake.ini, fake.ui,
                    fake.system, fake.http,     processes};

  // Shell_WT's result and how long it took.
  std::pair<int16_t, milliseconds> Run(const std::string& command_line) {
    const auto start = Clock::now();
    const int16_t result = Shell_WT(platform, command_line, 1);
    return {result, std::chrono::duration_cast<milliseconds>(Clock::now() - start)};
  }

  void ExpectStandInRanAndEnded() {
    const auto record = ReadRecord(program);
    ASSERT_EQ(record.count("process_id"), 1u);
    EXPECT_TRUE(testing::ProcessHasEnded(std::stoul(record.at("process_id"))));
  }
};

TEST_F(Win32ShellWT, ReturnsZeroOnlyAfterTheProgramHasEnded) {
  ControlStandIn(program, 0, 600);
  const auto [result, elapsed] = Run(program + " LanternfieldOn,水門,ポンプ,トンネル");
  EXPECT_EQ(result, 0);
  EXPECT_GE(elapsed, milliseconds(600));
  ExpectStandInRanAndEnded();
  const auto record = ReadRecord(program);
  EXPECT_EQ(record.at("command_line"), "\"" + program + "\" LanternfieldOn,水門,ポンプ,トンネル");
  EXPECT_EQ(record.at("show_window"), "1");
  EXPECT_TRUE(fake.ui.messages.empty());
}

TEST_F(Win32ShellWT, ANonZeroExitCodeStillGivesZeroAfterTheEnd) {
  ControlStandIn(program, 3, 300);
  const auto [result, elapsed] = Run(program);
  EXPECT_EQ(result, 0);
  EXPECT_GE(elapsed, milliseconds(300));
  ExpectStandInRanAndEnded();
}

TEST_F(Win32ShellWT, AProgramThatEndsAtOnceCostsOnePause) {
  ControlStandIn(program, 0, 0);
  const auto [result, elapsed] = Run(program);
  EXPECT_EQ(result, 0);
  EXPECT_GE(elapsed, milliseconds(kPollPauseMs));
  EXPECT_GE(fake.ui.events_processed, 1);
  ExpectStandInRanAndEnded();
}

TEST_F(Win32ShellWT, AProgramThatExitsWith259DoesNotHangIt) {
  ControlStandIn(program, kStillActive, 200);
  // Bound the wait: after 100 polls the event handling fails and ends Shell_WT with -1.
  fake.ui.on_do_events = [&] {
    if (fake.ui.events_processed >= 100) throw AppError(1, "still waiting after 100 polls");
  };
  const auto [result, elapsed] = Run(program);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(fake.ui.messages.empty());
  ExpectStandInRanAndEnded();
}

TEST_F(Win32ShellWT, AProgramThatCannotBeStartedIsReportedWithoutWaiting) {
  const auto [result, elapsed] = Run(dir.File("missing.exe") + " /a");
  EXPECT_EQ(result, -1);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  const AppError not_found = Win32Error(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(not_found.description().empty());
  EXPECT_EQ(fake.ui.messages[0].text, not_found.description() + " 2 (Shell_WT)");
  EXPECT_EQ(fake.ui.messages[0].caption, "ハナミズ台帳ツール");
  EXPECT_EQ(fake.ui.events_processed, 0);
}

TEST_F(Win32ShellWT, AnEmptyCommandLineGivesBothMessagesInOrder) {
  const auto [result, elapsed] = Run("");
  EXPECT_EQ(result, -1);
  ASSERT_EQ(fake.ui.messages.size(), 2u);
  EXPECT_EQ(fake.ui.messages[0].caption, "Get_Shell_PathName");
  EXPECT_EQ(fake.ui.messages[0].text, kNoProgramPathDescription);
  EXPECT_EQ(fake.ui.messages[1].caption, "ハナミズ台帳ツール");
  const std::string& text = fake.ui.messages[1].text;
  EXPECT_TRUE(text.ends_with(" (Shell_WT)")) << text;
  EXPECT_EQ(fake.ui.events_processed, 0);
}

TEST(Win32ShellWTEvents, TheLaunchersWindowKeepsAnsweringWhileItWaits) {
  ScratchDirectory dir("shell wt events");
  const std::string program = testing::CopyStandIn(dir, "Hanamizu.exe");
  ControlStandIn(program, 0, 1500);
  fakes::FakePlatform fake;
  Win32UserInterface ui;
  Win32ProcessLauncher processes;
  Platform platform{fake.files, fake.settings, fake.ini, ui, fake.system, fake.http, processes};
  const auto splash = fSprash_Load(ui, "ハナミズ台帳ツール");
  splash->ShowModeless();
  const HWND window = reinterpret_cast<HWND>(splash->Handle());

  std::atomic<bool> returned{false};
  bool answered_while_waiting = false;
  wchar_t caption[64] = {};
  // Another thread asks the window for its caption once the program runs: only the waiting
  // thread's event handling can answer it.
  std::thread asker([&] {
    if (!testing::WaitForFile(testing::RecordPathOf(program), 10000)) return;
    DWORD_PTR copied = 0;
    const bool answered =
        SendMessageTimeoutW(window, WM_GETTEXT, std::size(caption),
                            reinterpret_cast<LPARAM>(caption), SMTO_NORMAL, 5000, &copied) != 0;
    answered_while_waiting = answered && !returned;
  });
  EXPECT_EQ(Shell_WT(platform, program, 1), 0);
  returned = true;
  asker.join();
  EXPECT_TRUE(answered_while_waiting);
  EXPECT_STREQ(caption, L"起動中・・・");
}

class Win32Processes : public ::testing::Test {
 protected:
  ScratchDirectory dir{"processes"};
  Win32ProcessLauncher processes;

  // Waits at most 10 s for the process to end.
  static bool WaitUntilEnded(WatchedProcess& process) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!process.HasEnded()) {
      if (Clock::now() > deadline) return false;
      Sleep(10);
    }
    return true;
  }
};

TEST_F(Win32Processes, TheShowWindowCodeReachesTheProgram) {
  const std::string program = testing::CopyStandIn(dir, "Hanamizu.exe");
  const uint32_t id = processes.StartProcess("\"" + program + "\" x", SW_SHOWMINNOACTIVE);
  const auto process = processes.OpenProcess(id);
  ASSERT_NE(process, nullptr);
  ASSERT_TRUE(WaitUntilEnded(*process));
  const auto record = ReadRecord(program);
  EXPECT_EQ(record.at("show_window"), std::to_string(SW_SHOWMINNOACTIVE));
  EXPECT_EQ(record.at("process_id"), std::to_string(id));
}

TEST_F(Win32Processes, ARealExitCodeOf259IsToldApartByTheProcessItself) {
  const std::string program = testing::CopyStandIn(dir, "Hanamizu.exe");
  ControlStandIn(program, kStillActive, 0);
  const auto process = processes.OpenProcess(processes.StartProcess(program, SW_HIDE));
  ASSERT_NE(process, nullptr);
  ASSERT_TRUE(WaitUntilEnded(*process));
  EXPECT_EQ(process->ExitCode(), std::optional<uint32_t>(kStillActive));
}

TEST_F(Win32Processes, ARunningProgramReportsStillActiveAndHasNotEnded) {
  const std::string program = testing::CopyStandIn(dir, "Hanamizu.exe");
  ControlStandIn(program, 7, 3000);
  const auto process = processes.OpenProcess(processes.StartProcess(program, SW_HIDE));
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(process->ExitCode(), std::optional<uint32_t>(kStillActive));
  EXPECT_FALSE(process->HasEnded());
  ASSERT_TRUE(WaitUntilEnded(*process));
  EXPECT_EQ(process->ExitCode(), std::optional<uint32_t>(7));
}

TEST_F(Win32Processes, AFailedStartCarriesTheSystemsError) {
  try {
    processes.StartProcess("\"" + dir.File("none.exe") + "\"", 1);
    FAIL() << "started a missing program";
  } catch (const AppError& error) {
    EXPECT_EQ(error.number(), ERROR_FILE_NOT_FOUND);
  }
}

TEST_F(Win32Processes, AnUnknownProcessCannotBeOpened) {
  EXPECT_EQ(processes.OpenProcess(0xFFFFFFF0u), nullptr);
}

TEST_F(Win32Processes, ShellOpenStartsTheFileWithParametersAndDirectoryInAnsi) {
  ScratchDirectory package_dir("更新 パッケージ");
  const std::string package = testing::CopyStandIn(package_dir, "HanamizuSetup.exe");
  processes.ShellOpen(0, package, "1 水門", dir.path(), SW_SHOWNORMAL);
  ASSERT_TRUE(testing::WaitForFile(testing::RecordPathOf(package), 10000));
  const auto record = ReadRecord(package);
  const std::string& command_line = record.at("command_line");
  EXPECT_NE(command_line.find("HanamizuSetup.exe"), std::string::npos) << command_line;
  EXPECT_TRUE(command_line.ends_with(" 1 水門")) << command_line;
  EXPECT_EQ(record.at("current_directory"), dir.path());
  EXPECT_EQ(record.at("show_window"), std::to_string(SW_SHOWNORMAL));
  ASSERT_EQ(record.count("process_id"), 1u);
  const DWORD id = std::stoul(record.at("process_id"));
  KernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, id));
  if (process) {
    EXPECT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
  }
}

}  // namespace
}  // namespace hanamizu::win32
