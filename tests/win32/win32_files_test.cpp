#include <gtest/gtest.h>

#include <windows.h>

#include "common/error_log.h"
#include "fakes/fake_platform.h"
#include "launcher/startup.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"
#include "win32/win32_test_support.h"

namespace hanamizu::win32 {
namespace {

using testing::ScratchDirectory;

TEST(Win32Environment, AnsiCodePageIsShiftJis) {
  ASSERT_EQ(GetACP(), 932u);
}

TEST(Win32ListFiles, OnlyNormalFilesMatchingThePatternInAnyCase) {
  ScratchDirectory dir("listing");
  testing::WriteBytes(dir.File("prt1.exe"), "");
  testing::WriteBytes(dir.File("PRTA.EXE"), "");
  testing::WriteBytes(dir.File("PRT2.EXE"), "");
  SetFileAttributesW(Widen(dir.File("PRT2.EXE")).c_str(), FILE_ATTRIBUTE_HIDDEN);
  testing::WriteBytes(dir.File("PRT3.EXE"), "");
  SetFileAttributesW(Widen(dir.File("PRT3.EXE")).c_str(), FILE_ATTRIBUTE_SYSTEM);
  CreateDirectoryW(Widen(dir.File("PRTX.EXE")).c_str(), nullptr);
  testing::WriteBytes(dir.File("PRT.TXT"), "");
  testing::WriteBytes(dir.File("XPRT1.EXE"), "");

  Win32FileSystem files;
  std::vector<std::string> names = files.ListFiles(dir.path() + "\\PRT*.EXE");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"PRTA.EXE", "prt1.exe"}));
}

TEST(Win32ListFiles, NoMatchOrMissingDirectoryIsAnEmptyListing) {
  ScratchDirectory dir("empty-listing");
  Win32FileSystem files;
  EXPECT_TRUE(files.ListFiles(dir.path() + "\\PRT*.EXE").empty());
  EXPECT_TRUE(files.ListFiles(dir.path() + "\\missing\\PRT*.EXE").empty());
}

TEST(Win32AppendAnsiLine, ShiftJisLinesWithCrLfAppendedInOrder) {
  ScratchDirectory dir("append");
  Win32FileSystem files;
  const std::string log = dir.File("jiban.err");
  testing::WriteBytes(log, "earlier\r\n");
  files.AppendAnsiLine(log, "エラー処理[5]");
  files.AppendAnsiLine(log, "ﾌﾟﾛｸﾞﾗﾑNo");
  EXPECT_EQ(testing::ReadBytes(log),
            "earlier\r\n"
            "\x83\x47\x83\x89\x81\x5B\x8F\x88\x97\x9D[5]\r\n"
            "\xCC\xDF\xDB\xB8\xDE\xD7\xD1No\r\n");
}

TEST(Win32WriteErrLog, RealLogBesideTheLauncherIsCreatedAndAppended) {
  ScratchDirectory dir("errlog");
  Win32FileSystem files(dir.path());
  fakes::FakePlatform fake;
  Platform platform{files,       fake.settings, fake.ini,      fake.ui,
                    fake.system, fake.http,     fake.processes};
  fake.system.now = {2024, 3, 5, 4, 7, 9};
  Write_ErrLog(platform, AppError(-5, "説明"), "path_no_en", "dir_name");
  Write_ErrLog(platform, AppError(6, "二"), "", "");
  EXPECT_EQ(testing::ReadBytes(dir.File("jiban.err")),
            testing::ToAnsi("2024/03/05 04:07:09 説明[-5] (Func=path_no_en) (Info=dir_name)\r\n"
                            "2024/03/05 04:07:09 二[6] (Func=) (Info=)\r\n"));
  ASSERT_EQ(fake.ui.messages.size(), 2u);
  EXPECT_EQ(fake.ui.messages[0].text,
            "2024/03/05 04:07:09 説明[-5] (Func=path_no_en) (Info=dir_name)");
}

TEST(Win32WriteErrLog, LogThatCannotBeOpenedLeavesOneMessageAndNoFile) {
  ScratchDirectory dir("errlog-blocked");
  // A directory where the log should be cannot be opened for appending.
  CreateDirectoryW(Widen(dir.File("jiban.err")).c_str(), nullptr);
  Win32FileSystem files(dir.path());
  fakes::FakePlatform fake;
  Platform platform{files,       fake.settings, fake.ini,      fake.ui,
                    fake.system, fake.http,     fake.processes};
  Write_ErrLog(platform, AppError(5, "original"), "path_no_en", "dir_name");
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text.rfind("エラー処理が失敗しました。-", 0), 0u);
  EXPECT_GT(fake.ui.messages[0].text.size(), std::string("エラー処理が失敗しました。-").size());
  EXPECT_EQ(GetFileAttributesW(Widen(dir.File("jiban.err")).c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST(Win32ChDirAppPath, AnotherDrivesDirectoryBecomesCurrent) {
  // D: is mapped to a folder of the build tree in the test prefix.
  ASSERT_NE(GetFileAttributesW(L"D:\\"), INVALID_FILE_ATTRIBUTES) << "drive D: is not mapped";
  CreateDirectoryW(L"D:\\Apps", nullptr);
  CreateDirectoryW(L"D:\\Apps\\Ledger", nullptr);
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\windows"));

  Win32FileSystem files("D:\\Apps\\Ledger");
  fakes::FakePlatform fake;
  Platform platform{files,       fake.settings, fake.ini,      fake.ui,
                    fake.system, fake.http,     fake.processes};
  ChDir_AppPath(platform);

  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_STREQ(current, L"D:\\Apps\\Ledger");
  SetCurrentDirectoryW(L"C:\\windows");
}

TEST(Win32ChDirAppPath, MissingDirectoryIsAnError) {
  Win32FileSystem files("C:\\no\\such\\launcher\\dir");
  EXPECT_THROW(files.ChangeDirectory("C:\\no\\such\\launcher\\dir"), AppError);
}

TEST(Win32ExecutableDirectory, HasNoTrailingBackslashBelowARoot) {
  const std::string dir = ExecutableDirectory();
  ASSERT_GE(dir.size(), 3u);
  EXPECT_NE(dir.back(), '\\');
  EXPECT_EQ(GetFileAttributesW(Widen(dir + "\\win32_tests.exe").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            0u);
}

TEST(Win32Arguments, EverythingAfterTheProgramNameAndItsBlanks) {
  EXPECT_EQ(ArgumentsOf(L"launcher.exe boot"), L"boot");
  EXPECT_EQ(ArgumentsOf(L"launcher.exe  BOOT"), L"BOOT");
  EXPECT_EQ(ArgumentsOf(L"\"C:\\Program Files\\x\\launcher.exe\" boot "), L"boot ");
  EXPECT_EQ(ArgumentsOf(L"\"C:\\a b\\launcher.exe\"boot x"), L"boot x");
  EXPECT_EQ(ArgumentsOf(L"launcher.exe"), L"");
  EXPECT_EQ(ArgumentsOf(L""), L"");
}

TEST(Win32NormalFileExists, HiddenSystemAndDirectoriesCountAsMissing) {
  ScratchDirectory dir("exists");
  testing::WriteBytes(dir.File("Hanamizu.exe"), "");
  testing::WriteBytes(dir.File("readonly.exe"), "");
  SetFileAttributesW(Widen(dir.File("readonly.exe")).c_str(), FILE_ATTRIBUTE_READONLY);
  testing::WriteBytes(dir.File("hidden.exe"), "");
  SetFileAttributesW(Widen(dir.File("hidden.exe")).c_str(), FILE_ATTRIBUTE_HIDDEN);
  testing::WriteBytes(dir.File("system.exe"), "");
  SetFileAttributesW(Widen(dir.File("system.exe")).c_str(), FILE_ATTRIBUTE_SYSTEM);
  CreateDirectoryW(Widen(dir.File("folder.exe")).c_str(), nullptr);

  Win32FileSystem files;
  EXPECT_TRUE(files.NormalFileExists(dir.File("Hanamizu.exe")));
  EXPECT_TRUE(files.NormalFileExists(dir.File("HANAMIZU.EXE")));
  EXPECT_TRUE(files.NormalFileExists(dir.File("readonly.exe")));
  EXPECT_FALSE(files.NormalFileExists(dir.File("hidden.exe")));
  EXPECT_FALSE(files.NormalFileExists(dir.File("system.exe")));
  EXPECT_FALSE(files.NormalFileExists(dir.File("folder.exe")));
  EXPECT_FALSE(files.NormalFileExists(dir.File("missing.exe")));
  SetFileAttributesW(Widen(dir.File("readonly.exe")).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32FileVersion, DottedFourPartVersionOrEmptyText) {
  Win32FileSystem files;
  EXPECT_EQ(files.FileVersion(ExecutableDirectory() + "\\launcher.exe"), "4.0.0.0");
  ScratchDirectory dir("version");
  testing::WriteBytes(dir.File("plain.exe"), "MZ");
  EXPECT_EQ(files.FileVersion(dir.File("plain.exe")), "");
  EXPECT_EQ(files.FileVersion(dir.File("missing.exe")), "");
}

TEST(Win32SystemServices, EnvironmentVariablesSetUnsetAndJapanese) {
  Win32SystemServices system;
  SetEnvironmentVariableW(L"HANAMIZU_TEST_VAR", L"C:\\\x4E00\\tmp\\");
  EXPECT_EQ(system.EnvironmentVariable("HANAMIZU_TEST_VAR"), "C:\\一\\tmp\\");
  SetEnvironmentVariableW(L"HANAMIZU_TEST_VAR", nullptr);
  EXPECT_EQ(system.EnvironmentVariable("HANAMIZU_TEST_VAR"), std::nullopt);
}

TEST(Win32SystemServices, MonotonicClockMovesForwardWithSleep) {
  Win32SystemServices system;
  const double before = system.MonotonicSeconds();
  Sleep(20);
  const double after = system.MonotonicSeconds();
  EXPECT_GE(after - before, 0.015);
  EXPECT_LT(after - before, 5.0);
}

}  // namespace
}  // namespace hanamizu::win32
