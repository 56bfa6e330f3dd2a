// Auto-update that offers nothing: an unreachable server (reported, then the normal run), a server
// without a newer version (silent), and a switch that is off (nothing fetched at all). Each ends
// in the normal run.

#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include "main_program_run.h"
#include "message_icon.h"
#include "probe_text.h"
#include "standin_record.h"
#include "update_setup.h"

namespace hanamizu::e2e {
namespace {

constexpr ULONGLONG kMinimumSplashMs = 3000;

// The WinINet module's own text for an error, as Windows (here Wine) words it.
std::string WinInetDescription(DWORD code) {
  HMODULE wininet = LoadLibraryW(L"wininet.dll");
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_HMODULE,
      wininet, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
  LocalFree(buffer);
  FreeLibrary(wininet);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  return Utf8(text);
}

class UpdateSkipped : public ProductLaunchUpdateTest {
 protected:
  // Follows the normal run to its end and checks what it always does.
  void ExpectNormalRun() {
    const std::optional<MainProgramRun> run =
        FollowMainProgramRun(*launcher, *splash, main_program);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->record.command_line,
              "\"" + main_program + "\" LanternfieldOn,水門,ポンプ,トンネル");
    EXPECT_EQ(run->record.current_directory, installation.directory());
    EXPECT_GE(run->record.start_tick_ms - splash->appeared_after(), kMinimumSplashMs);
    EXPECT_TRUE(run->splash_gone_at_start);
    EXPECT_TRUE(run->main_ended_before_launcher);
    EXPECT_EQ(launcher->ExitCode(), 0u);
    EXPECT_EQ(kSettings.User(kLauncherKey), "2");
    EXPECT_FALSE(PathExists(update_dir + "\\" + kPackage)) << "a package was downloaded";
  }
};

TEST_F(UpdateSkipped, UnreachableServerIsReportedThenTheMainProgramRuns) {
  PublishUpdate(kNewerVersion);  // served on nginx, but the address names a refusing port
  SwitchAutoUpdate("1", server.refusing_url());
  UseUpdateFolderAsTemp();
  Start();

  const auto box = NextBox();
  ASSERT_TRUE(box) << "the launcher ended without a message";
  // The connection fails with an error, so the error message, not the one about an unusable list.
  EXPECT_EQ(box->caption, kConfirmCaption);
  EXPECT_EQ(box->text, kUnexpectedErrorText + WinInetDescription(ERROR_INTERNET_CANNOT_CONNECT) +
                           " (" + server.refusing_url() + kListName + ")");
  EXPECT_EQ(ShownIcon(box->handle), StandardIcon::kExclamation);
  EXPECT_EQ(box->buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(splash->visible());
  ASSERT_TRUE(Dismiss(*box, "OK"));

  ExpectNormalRun();
  EXPECT_FALSE(PathExists(update_dir + "\\" + kListName)) << "a list file without a list";
}

TEST_F(UpdateSkipped, SameVersionOnTheServerRunsTheMainProgramSilently) {
  PublishUpdate(kInstalledVersion);
  SwitchAutoUpdate("1", server.url());
  UseUpdateFolderAsTemp();
  Start();
  ExpectNormalRun();  // fails on any message box
  // The list was fetched and kept.
  ASSERT_TRUE(PathExists(update_dir + "\\" + kListName));
  EXPECT_EQ(ReadFileBytes(update_dir + "\\" + kListName), server.Served(kListName));
}

TEST_F(UpdateSkipped, SwitchOffFetchesNothing) {
  PublishUpdate(kNewerVersion);
  SwitchAutoUpdate("0", server.url());
  UseUpdateFolderAsTemp();
  Start();
  ExpectNormalRun();  // fails on any message box, the offer included
  EXPECT_FALSE(PathExists(update_dir + "\\" + kListName)) << "the list was fetched";
}

}  // namespace
}  // namespace hanamizu::e2e
