// The probe checked against a program whose windows are known, so that what the launcher tests
// read (and what they find absent, such as an icon) can be trusted.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "launcher_process.h"
#include "probe_text.h"
#include "screenshot.h"
#include "ui_probe.h"

namespace hanamizu::e2e {
namespace {

const std::string kCaption = "プローブ";

LauncherProcess StartTarget(const std::string& command_line) {
  return LauncherProcess(BesideTestExecutable("probe_target.exe"), command_line, "C:\\");
}

TEST(UiProbeMessageBox, ReadsCaptionTwoLineTextAndTheOkButton) {
  LauncherProcess target = StartTarget("probe_target.exe plain");
  const auto box = WaitForMessageBox(target.id());
  ASSERT_TRUE(box) << "no message box appeared";
  EXPECT_EQ(box->caption, kCaption);
  EXPECT_EQ(box->text, "一行目\r\n二行目");
  EXPECT_EQ(box->buttons, std::vector<std::string>{"OK"});
  EXPECT_FALSE(box->has_icon);
  EXPECT_EQ(ClassName(box->handle), kDialogClass);

  ASSERT_TRUE(Dismiss(*box, "OK"));
  ASSERT_TRUE(target.WaitForExit());
  EXPECT_EQ(target.ExitCode(), DWORD{IDOK});
}

TEST(UiProbeMessageBox, SeesTheIconAndPressesTheChosenButton) {
  LauncherProcess target = StartTarget("probe_target.exe question");
  const auto box = WaitForMessageBox(target.id());
  ASSERT_TRUE(box);
  EXPECT_TRUE(box->has_icon);
  ASSERT_EQ(box->buttons.size(), 2u);
  const std::vector<Button> buttons = Buttons(box->handle);
  ASSERT_EQ(buttons.size(), 2u);
  EXPECT_EQ(buttons[0].id, IDYES);  // reading order: left to right
  EXPECT_EQ(buttons[1].id, IDNO);

  EXPECT_FALSE(Dismiss(*box, "no such button"));
  ASSERT_TRUE(Dismiss(*box, buttons[1].text));
  ASSERT_TRUE(target.WaitForExit());
  EXPECT_EQ(target.ExitCode(), DWORD{IDNO});
}

TEST(UiProbeMessageBox, FindsTheNextBoxAfterTheFirstIsDismissed) {
  LauncherProcess target = StartTarget("probe_target.exe twice");
  const auto first = WaitForMessageBox(target.id());
  ASSERT_TRUE(first);
  ASSERT_TRUE(Dismiss(*first, "OK"));
  const auto second = WaitForMessageBox(target.id());
  ASSERT_TRUE(second);
  EXPECT_NE(second->handle, first->handle);
  ASSERT_TRUE(Dismiss(*second, "OK"));
  ASSERT_TRUE(target.WaitForExit());
  EXPECT_EQ(target.ExitCode(), DWORD{2 * IDOK});
}

TEST(UiProbeMessageBox, WaitingForABoxThatNeverComesEndsAtTheBound) {
  LauncherProcess target = StartTarget("probe_target.exe panel");
  ASSERT_TRUE(WaitUntil([&] { return !VisibleWindowsOfClass(target.id(), "ProbePanel").empty(); }));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WaitForMessageBox(target.id(), 300ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

// The command line reaches the child exactly as written, trailing blank and capitals included.
TEST(UiProbeProcess, HandsOverTheCommandLineByteForByte) {
  for (const std::string& line : std::vector<std::string>{
           "probe_target.exe echo", "probe_target.exe echo ", "PROBE_TARGET.EXE  echo  x",
           "\"" + BesideTestExecutable("probe_target.exe") + "\" echo"}) {
    SCOPED_TRACE(line);
    LauncherProcess target = StartTarget(line);
    const auto box = WaitForMessageBox(target.id());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, line);
    ASSERT_TRUE(Dismiss(*box, "OK"));
  }
}

TEST(UiProbeProcess, EndsAProcessThatStillRunsWhenDestroyed) {
  HANDLE watcher = nullptr;
  {
    LauncherProcess target = StartTarget("probe_target.exe plain");
    ASSERT_TRUE(WaitForMessageBox(target.id()));
    EXPECT_TRUE(target.Running());
    EXPECT_FALSE(target.ExitCode());
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), target.handle(), GetCurrentProcess(), &watcher,
                                SYNCHRONIZE, FALSE, 0));
  }
  EXPECT_EQ(WaitForSingleObject(watcher, 0), WAIT_OBJECT_0);
  CloseHandle(watcher);
}

TEST(UiProbeProcess, MovingHandsOverOwnership) {
  LauncherProcess first = StartTarget("probe_target.exe plain");
  const DWORD id = first.id();
  LauncherProcess second = std::move(first);
  EXPECT_EQ(second.id(), id);
  EXPECT_EQ(first.handle(), nullptr);
  EXPECT_TRUE(WaitForMessageBox(second.id()));
}

TEST(UiProbeProcess, RefusesAMissingProgram) {
  EXPECT_THROW(LauncherProcess("C:\\no\\such.exe", "such.exe", "C:\\"), std::runtime_error);
}

class UiProbeWindow : public ::testing::TestWithParam<const char*> {};

// A window like the splash screen, also while its thread processes no messages.
TEST_P(UiProbeWindow, ReadsTopLevelWindowLabelsAndIcon) {
  LauncherProcess target = StartTarget(std::string("probe_target.exe ") + GetParam());
  std::vector<TopLevelWindow> panels;
  ASSERT_TRUE(WaitUntil([&] {
    panels = VisibleWindowsOfClass(target.id(), "ProbePanel");
    return !panels.empty();
  }));
  const TopLevelWindow& panel = panels.front();
  EXPECT_EQ(panel.caption, kCaption);
  EXPECT_EQ(panel.class_name, "ProbePanel");
  EXPECT_EQ(panel.rect.left, 100);
  EXPECT_EQ(panel.rect.top, 120);
  EXPECT_EQ(panel.rect.right - panel.rect.left, 400);
  EXPECT_EQ(panel.rect.bottom - panel.rect.top, 200);
  EXPECT_EQ(panel.client.left, 0);
  EXPECT_LT(panel.client.bottom, 200);  // the caption takes its share
  EXPECT_EQ(panel.style & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(StaticTexts(panel.handle), (std::vector<std::string>{"タイトル", "起動中"}));
  EXPECT_TRUE(Buttons(panel.handle).empty());
}

INSTANTIATE_TEST_SUITE_P(Responsive, UiProbeWindow, ::testing::Values("panel"));
INSTANTIATE_TEST_SUITE_P(Frozen, UiProbeWindow, ::testing::Values("frozen-panel"));

TEST(UiProbeWindowIcon, SeesTheIconOfAResponsiveWindow) {
  LauncherProcess target = StartTarget("probe_target.exe panel");
  std::vector<TopLevelWindow> panels;
  ASSERT_TRUE(WaitUntil([&] {
    panels = VisibleWindowsOfClass(target.id(), "ProbePanel");
    return !panels.empty();
  }));
  EXPECT_TRUE(HasIcon(panels.front().handle));
}

TEST(UiProbeScreenshot, SavesTheWindowAsABitmap) {
  LauncherProcess target = StartTarget("probe_target.exe plain");
  const auto box = WaitForMessageBox(target.id());
  ASSERT_TRUE(box);
  RECT rect{};
  ASSERT_TRUE(GetWindowRect(box->handle, &rect));
  const std::string path = BesideTestExecutable("e2e-probe-screenshot.bmp");
  ASSERT_TRUE(SaveScreenshot(box->handle, path));
  const std::filesystem::path file(Wide(path));
  const auto width = static_cast<std::uintmax_t>(rect.right - rect.left);
  const auto height = static_cast<std::uintmax_t>(rect.bottom - rect.top);
  EXPECT_EQ(std::filesystem::file_size(file), 54 + ((width * 3 + 3) & ~3u) * height);
  // A real capture of a box with text and a button has more than one colour.
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  in.close();
  std::set<std::string> colours;
  for (size_t i = 54; i + 3 <= bytes.size(); i += 3) colours.insert(bytes.substr(i, 3));
  EXPECT_GT(colours.size(), 2u);
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace hanamizu::e2e
