#include "platform/win32/win32_pending_file.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "common/app_error.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_text.h"
#include "win32/win32_test_support.h"

namespace hanamizu::win32 {
namespace {

using testing::ScratchDirectory;

std::vector<std::string> Entries(const ScratchDirectory& dir) {
  Win32FileSystem files;
  std::vector<std::string> names = files.ListFiles(dir.path() + "\\*");
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Win32PendingFile, CommitReplacesAnEarlierFileWithExactlyTheBytesWritten) {
  ScratchDirectory dir("pending-commit");
  testing::WriteBytes(dir.File("setup.exe"), "an earlier, longer package");
  Win32FileSystem files;
  auto pending = files.CreatePendingFile(dir.File("setup.exe"));
  pending->Write(std::string("MZ\0\x90", 4));
  pending->Write("rest");
  EXPECT_EQ(testing::ReadBytes(dir.File("setup.exe")), "an earlier, longer package");
  pending->Commit();
  EXPECT_EQ(testing::ReadBytes(dir.File("setup.exe")), std::string("MZ\0\x90rest", 8));
  pending.reset();
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"setup.exe"});
}

TEST(Win32PendingFile, DroppedWithoutCommitLeavesNothingAndTheEarlierFileAsItWas) {
  ScratchDirectory dir("pending-drop");
  testing::WriteBytes(dir.File("setup.exe"), "earlier");
  Win32FileSystem files;
  {
    auto pending = files.CreatePendingFile(dir.File("setup.exe"));
    pending->Write("partial");
    EXPECT_EQ(Entries(dir).size(), 2u);  // the temporary file sits beside the target
  }
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"setup.exe"});
  EXPECT_EQ(testing::ReadBytes(dir.File("setup.exe")), "earlier");
}

TEST(Win32PendingFile, JapaneseNamesAndAMissingTarget) {
  ScratchDirectory dir("pending-new");
  Win32FileSystem files;
  auto pending = files.CreatePendingFile(dir.File("更新.exe"));
  pending->Write("");
  pending->Commit();
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"更新.exe"});
  EXPECT_EQ(testing::ReadBytes(dir.File("更新.exe")), "");
}

TEST(Win32PendingFile, AMissingDirectoryFailsAtOnce) {
  ScratchDirectory dir("pending-missing");
  Win32FileSystem files;
  EXPECT_THROW(files.CreatePendingFile(dir.File("no-dir\\setup.exe")), AppError);
}

TEST(Win32RemoveFile, DeletesOrReportsFalseLikeDeleteFile) {
  ScratchDirectory dir("remove");
  Win32FileSystem files;
  testing::WriteBytes(dir.File("a.dat"), "x");
  EXPECT_TRUE(files.RemoveFile(dir.File("a.dat")));
  EXPECT_FALSE(files.RemoveFile(dir.File("a.dat")));
  testing::WriteBytes(dir.File("ro.dat"), "x");
  SetFileAttributesW(Widen(dir.File("ro.dat")).c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(files.RemoveFile(dir.File("ro.dat")));
  EXPECT_EQ(testing::ReadBytes(dir.File("ro.dat")), "x");
  SetFileAttributesW(Widen(dir.File("ro.dat")).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32ReadFileStart, ReadsAtMostTheLimitFromTheStart) {
  ScratchDirectory dir("read-start");
  Win32FileSystem files;
  const std::string big(200 * 1024, 'b');
  testing::WriteBytes(dir.File("big.dat"), "head" + big);
  EXPECT_EQ(files.ReadFileStart(dir.File("big.dat"), 4), "head");
  EXPECT_EQ(files.ReadFileStart(dir.File("big.dat"), 1 << 20).size(), big.size() + 4);
  EXPECT_EQ(files.ReadFileStart(dir.File("big.dat"), 70000).size(), 70000u);
  testing::WriteBytes(dir.File("empty.dat"), "");
  EXPECT_EQ(files.ReadFileStart(dir.File("empty.dat"), 100), "");
  EXPECT_THROW(files.ReadFileStart(dir.File("missing.dat"), 100), AppError);
}

TEST(Win32AnsiCodec, TheSystemCodePageIsShiftJis) {
  Win32FileSystem files;
  EXPECT_EQ(files.Ansi().FromUtf8("更新.exe"), "\x8D\x58\x90\x56.exe");
  EXPECT_EQ(files.Ansi().ToUtf8("\x8D\x58\x90\x56.exe"), "更新.exe");
  EXPECT_EQ(files.Ansi().ToUtf8("\xCA\xC5\xD0\xBD\xDE"), "ﾊﾅﾐｽﾞ");
  EXPECT_THROW(files.Ansi().FromUtf8("😀"), AppError);
}

}  // namespace
}  // namespace hanamizu::win32
