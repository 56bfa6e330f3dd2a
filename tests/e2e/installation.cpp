#include "installation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "probe_text.h"

namespace hanamizu::e2e {
namespace {

namespace fs = std::filesystem;

std::string TestFolderName() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "." + test->name();
  for (char& c : name) {
    if (c == '/') c = '.';  // parameterised tests carry slashes
  }
  return name;
}

std::string Root() {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"HANAMIZU_E2E_ROOT", value, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return Utf8(value);
  if (GetFileAttributesW(L"D:\\") == INVALID_FILE_ATTRIBUTES) {
    throw std::runtime_error("drive D: is not mapped: run through scripts/wine-run");
  }
  return "D:\\e2e";
}

// Read-only and hidden files would refuse deletion; the tree goes back to plain files first.
void RemoveTree(const fs::path& path) {
  std::error_code ignored;
  if (!fs::exists(path, ignored)) return;
  for (const auto& entry : fs::recursive_directory_iterator(path, ignored)) {
    SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::remove_all(path);
}

}  // namespace

Installation::Installation() {
  const fs::path directory = fs::path(Wide(Root())) / Wide(TestFolderName());
  RemoveTree(directory);
  fs::create_directories(directory);
  directory_ = Utf8(directory.wstring());
  fs::copy_file(Wide(BesideTestExecutable("launcher.exe")), Wide(launcher()));
}

Installation::~Installation() {
  try {
    RemoveTree(Wide(directory_));
  } catch (const fs::filesystem_error&) {
    // A launcher that could not be ended may still hold its file; the next run starts afresh.
  }
}

void Installation::AddFile(const std::string& name, DWORD attributes) const {
  const std::wstring path = Wide(PathOf(name));
  std::ofstream(fs::path(path), std::ios::binary) << "MZ";
  if (attributes != FILE_ATTRIBUTE_NORMAL) {
    if (!SetFileAttributesW(path.c_str(), attributes) ||
        (GetFileAttributesW(path.c_str()) & attributes) != attributes) {
      throw std::runtime_error("the file system keeps no attributes for " + name);
    }
  }
}

void Installation::AddDirectory(const std::string& name) const {
  fs::create_directory(fs::path(Wide(PathOf(name))));
}

void Installation::WriteOemIni(const std::string& utf8_text) const {
  std::ofstream(fs::path(Wide(PathOf("oem.ini"))), std::ios::binary)
      << ToCodePage(utf8_text, kShiftJis);
}

LauncherProcess Installation::Start(const std::string& command_line) const {
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  return LauncherProcess(launcher(), command_line, Utf8(windows));
}

std::optional<MessageBoxSnapshot> NextBoxOrEnd(const LauncherProcess& launcher) {
  std::optional<MessageBoxSnapshot> box;
  WaitUntil([&] {
    box = FindMessageBox(launcher.id());
    return box || !launcher.Running();
  });
  return box;
}

void ExpectPlainMessage(const MessageBoxSnapshot& box, DWORD launcher_id, const std::string& text) {
  EXPECT_EQ(box.caption, "ハナミズ台帳ツール");
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
  EXPECT_FALSE(box.has_icon);
  EXPECT_EQ(VisibleWindows(launcher_id).size(), 1u) << "more than the box is on screen";
}

void ExpectEndAfterOk(const MessageBoxSnapshot& box, const LauncherProcess& launcher) {
  ASSERT_TRUE(Dismiss(box, "OK"));
  const auto next = NextBoxOrEnd(launcher);
  EXPECT_FALSE(next) << "a further box appeared: " << next->text;
  ASSERT_FALSE(launcher.Running()) << "the launcher did not end after OK";
  EXPECT_EQ(launcher.ExitCode(), 0u);
}

}  // namespace hanamizu::e2e
