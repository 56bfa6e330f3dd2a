#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "win32/win32_standins.h"

namespace hanamizu::win32 {
namespace {

// The fixed file version, read the way the launcher reads the main program's.
std::string FileVersionOf(const std::string& path) {
  return Win32FileSystem().FileVersion(path);
}

TEST(StandIns, TheMainProgramCarriesTheConfiguredFileVersion) {
  EXPECT_EQ(FileVersionOf(ExecutableDirectory() + "\\Hanamizu.exe"), testing::kStandInVersion);
}

TEST(StandIns, TheUpdatePackageHasNoFileVersion) {
  EXPECT_EQ(FileVersionOf(ExecutableDirectory() + "\\HanamizuSetup.exe"), "");
}

TEST(StandIns, TheToolModuleExitsWithZeroAndRecordsNothing) {
  testing::ScratchDirectory dir("module");
  const std::string module = testing::CopyStandIn(dir, "PRT1.EXE");
  std::wstring command = L"\"" + Widen(module) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &started));
  const KernelHandle process(started.hProcess);
  const KernelHandle thread(started.hThread);
  ASSERT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(GetFileAttributesW(Widen(testing::RecordPathOf(module)).c_str()),
            INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace hanamizu::win32
