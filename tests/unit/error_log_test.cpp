#include "common/error_log.h"

#include <gtest/gtest.h>

#include "common/error_message.h"
#include "fakes/fake_platform.h"

namespace hanamizu {
namespace {

TEST(ErrLogLine, FieldsInOrderWithZeroPaddedTimestamp) {
  const AppError error(5, "プロシージャの呼び出し、または引数が不正です。");
  EXPECT_EQ(FormatErrLogLine({2024, 3, 5, 14, 7, 9}, error, "path_no_en", "dir_name"),
            "2024/03/05 14:07:09 プロシージャの呼び出し、または引数が不正です。[5] "
            "(Func=path_no_en) (Info=dir_name)");
  EXPECT_EQ(FormatErrLogLine({2025, 1, 2, 0, 0, 1}, error, "f", "i").substr(0, 19),
            "2025/01/02 00:00:01");
  EXPECT_EQ(FormatErrLogLine({2025, 12, 31, 23, 59, 59}, error, "f", "i").substr(0, 19),
            "2025/12/31 23:59:59");
}

TEST(ErrLogLine, NegativeNumbersAndEmptyFields) {
  const AppError error(-2147024891, "アクセスが拒否されました。");
  EXPECT_EQ(FormatErrLogLine({2024, 3, 5, 14, 7, 9}, error, "", ""),
            "2024/03/05 14:07:09 アクセスが拒否されました。[-2147024891] (Func=) (Info=)");
}

TEST(WriteErrLog, AppendsBesideTheLauncherAndShowsTheSameLine) {
  fakes::FakePlatform fake;
  fake.files.launcher_directory = "C:\\Tools\\Launcher";
  Write_ErrLog(fake.platform, AppError(5, "first"), "path_no_en", "dir_name");
  fake.system.now.second = 10;
  Write_ErrLog(fake.platform, AppError(6, "second"), "path_no_en", "dir_name");

  const std::string first = "2024/03/05 14:07:09 first[5] (Func=path_no_en) (Info=dir_name)";
  const std::string second = "2024/03/05 14:07:10 second[6] (Func=path_no_en) (Info=dir_name)";
  ASSERT_EQ(fake.files.appended.size(), 1u);
  EXPECT_EQ(fake.files.appended["C:\\Tools\\Launcher\\jiban.err"],
            first + "\r\n" + second + "\r\n");
  ASSERT_EQ(fake.ui.messages.size(), 2u);
  EXPECT_EQ(fake.ui.messages[0].text, first);
  EXPECT_EQ(fake.ui.messages[0].caption, "ハナミズ台帳ツール");
  EXPECT_EQ(fake.ui.messages[0].buttons, MessageButtons::kOk);
  EXPECT_EQ(fake.ui.messages[0].icon, MessageIcon::kNone);
}

TEST(WriteErrLog, DriveRootGetsNoDoubledBackslash) {
  fakes::FakePlatform fake;
  fake.files.launcher_directory = "D:\\";
  Write_ErrLog(fake.platform, AppError(5, "x"), "f", "i");
  EXPECT_EQ(fake.files.appended.count("D:\\jiban.err"), 1u);
}

TEST(WriteErrLog, LogThatCannotBeOpenedGivesExactlyOneFailureMessage) {
  fakes::FakePlatform fake;
  fake.files.unwritable.insert("C:\\Tools\\Ledger\\jiban.err");
  Write_ErrLog(fake.platform, AppError(5, "original"), "path_no_en", "dir_name");
  EXPECT_TRUE(fake.files.appended.empty());
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, "エラー処理が失敗しました。-パス名が無効です。");
  EXPECT_EQ(fake.ui.messages[0].caption, "ハナミズ台帳ツール");
}

TEST(WriteErrLog, FailingToShowTheLineIsReportedOnce) {
  fakes::FakePlatform fake;
  int attempts = 0;
  fake.ui.on_message = [&](const std::string&) {
    if (++attempts == 1) throw AppError(7, "メモリが不足しています。");
  };
  Write_ErrLog(fake.platform, AppError(5, "original"), "f", "i");
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, "エラー処理が失敗しました。-メモリが不足しています。");
  EXPECT_EQ(fake.files.appended.size(), 1u);  // the line was already written
}

TEST(StandardErrorMessage, DescriptionBlankNumberAndTag) {
  EXPECT_EQ(StandardErrorMessage(AppError(53, "ファイルが見つかりません。"), "Shell_WT"),
            "ファイルが見つかりません。 53 (Shell_WT)");
  EXPECT_EQ(StandardErrorMessage(AppError(-1, ""), "CommandCheck"), " -1 (CommandCheck)");
  const std::string unhandled = UnhandledErrorMessage(AppError(76, "パスが見つかりません。"));
  EXPECT_NE(unhandled.find("76"), std::string::npos);
  EXPECT_NE(unhandled.find("パスが見つかりません。"), std::string::npos);
}

}  // namespace
}  // namespace hanamizu
