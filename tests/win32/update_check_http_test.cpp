// The update check with the real files, the real WinINet client and the real splash window
// against the test servers; the message boxes are a recording fake.

#include "update/update_check.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_http.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_ui.h"
#include "update/update_list.h"
#include "win32/test_servers.h"
#include "win32/win32_test_support.h"

namespace hanamizu::win32 {
namespace {

using testing::ScratchDirectory;
using testing::TestServers;

const std::string kUnexpected = "予期しないエラーが発生しました。\r\r";
const std::string kListUnusable =
    "自動アップデートの処理が実行できません。\r\r"
    "インターネットに接続できていない、または自動アップデートの情報を取得できません。\r\r"
    "起動後、自動アップデートを無効に設定してください。";
const std::string kPackageReady =
    "パッケージの更新を開始します。\r\r"
    "更新完了後、スタートメニューよりパッケージを起動してください。";

// The splash window's lower text label: its status line.
std::string StatusLabelText(HWND splash) {
  HWND lowest = nullptr;
  LONG lowest_top = LONG_MIN;
  for (HWND child = GetWindow(GetWindow(splash, GW_CHILD), GW_HWNDFIRST); child;
       child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t kind[32] = {};
    GetClassNameW(child, kind, 32);
    if (_wcsicmp(kind, L"Static") != 0 ||
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      continue;
    RECT place{};
    GetWindowRect(child, &place);
    if (place.top > lowest_top) {
      lowest_top = place.top;
      lowest = child;
    }
  }
  wchar_t text[256] = {};
  if (lowest) GetWindowTextW(lowest, text, 256);
  return Narrow(text);
}

class UpdateCheckOverHttp : public ::testing::Test {
 protected:
  UpdateCheckOverHttp() : dir_("update-" + Name()) {}

  static std::string Name() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }

  // Publishes a list named after the test, announcing 8.1.26 at location + file.
  std::string PublishList(const std::string& location, const std::string& file, int16_t mode = 0) {
    const std::string name = Name() + ".dat";
    const UpdateListRecord record{mode, 8, 1, 26, location, file};
    servers.Publish(name, WriteUpdateListRecord(record, files.Ansi()));
    return name;
  }

  int16_t Check(const std::string& base, const std::string& list) {
    update_dir = dir_.path() + "\\";
    return UpdateCheck(platform, *splash, 8, 1, 25, base, list, update_dir, package_name);
  }

  std::vector<std::string> Entries() {
    std::vector<std::string> names = files.ListFiles(dir_.path() + "\\*");
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string Local(const std::string& name) { return dir_.File(name); }

  TestServers servers;
  Win32FileSystem files;
  Win32HttpClient http;
  fakes::FakePlatform fake;
  Platform platform{files, fake.settings, fake.ini, fake.ui, fake.system, http, fake.processes};
  Win32UserInterface ui;
  std::unique_ptr<SplashWindow> splash = ui.CreateSplashWindow();
  std::string update_dir;
  std::string package_name;

 private:
  ScratchDirectory dir_;
};

TEST_F(UpdateCheckOverHttp, DownloadsTheListAndThePackageFromNginx) {
  const std::string package = std::string("MZ\x90\0", 4) + std::string(100000, 'p');
  servers.Publish("更新プログラム.exe", package);
  const std::string list = PublishList(servers.NginxUrl(), "更新プログラム.exe");
  testing::WriteBytes(Local("更新プログラム.exe"), "an earlier package");

  EXPECT_EQ(Check(servers.NginxUrl(), list), 1);
  EXPECT_EQ(package_name, "更新プログラム.exe");
  EXPECT_TRUE(testing::ReadBytes(Local("更新プログラム.exe")) == package);
  EXPECT_EQ(testing::ReadBytes(Local(list)), testing::ReadBytes(servers.WwwFile(list)));
  EXPECT_EQ(Entries(), (std::vector<std::string>{list, "更新プログラム.exe"}));
  EXPECT_EQ(StatusLabelText(reinterpret_cast<HWND>(splash->Handle())),
            "更新プログラム.exe ファイルをダウンロード中");
  ASSERT_EQ(fake.ui.messages.size(), 2u);
  EXPECT_EQ(fake.ui.messages[1].text, kPackageReady);
}

TEST_F(UpdateCheckOverHttp, APackageBehindARedirectIsFollowed) {
  servers.Publish("moved.exe", "moved package");
  const std::string list =
      PublishList(servers.FaultUrl() + "redirect/" + servers.nginx_port() + "/", "moved.exe");
  EXPECT_EQ(Check(servers.NginxUrl(), list), 1);
  EXPECT_EQ(testing::ReadBytes(Local("moved.exe")), "moved package");
}

TEST_F(UpdateCheckOverHttp, AMissingPackageIsNeverStoredAndTheEarlierOneStays) {
  const std::string list = PublishList(servers.NginxUrl(), "missing-package.exe");
  testing::WriteBytes(Local("missing-package.exe"), "earlier");
  EXPECT_EQ(Check(servers.NginxUrl(), list), -1);
  ASSERT_EQ(fake.ui.messages.size(), 2u);
  const std::string& text = fake.ui.messages[1].text;
  EXPECT_EQ(text.rfind(kUnexpected, 0), 0u) << text;
  EXPECT_NE(text.find("404"), std::string::npos) << text;
  EXPECT_NE(text.find(servers.NginxUrl() + "missing-package.exe"), std::string::npos) << text;
  EXPECT_EQ(testing::ReadBytes(Local("missing-package.exe")), "earlier");
  EXPECT_EQ(Entries(), (std::vector<std::string>{list, "missing-package.exe"}));
}

TEST_F(UpdateCheckOverHttp, ServerErrorsOnTheListAreUnexpectedErrors) {
  for (const std::string status : {"404", "500"}) {
    SCOPED_TRACE(status);
    fake.ui.messages.clear();
    EXPECT_EQ(Check(servers.FaultUrl() + "status/", status), -1);
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    const std::string& text = fake.ui.messages[0].text;
    EXPECT_EQ(text.rfind(kUnexpected + "サーバーが応答 " + status, 0), 0u) << text;
    EXPECT_NE(text.find(servers.FaultUrl() + "status/" + status), std::string::npos) << text;
  }
  EXPECT_TRUE(Entries().empty());  // not even the list directory's error page
}

TEST_F(UpdateCheckOverHttp, APackageCutShortLeavesNoFile) {
  const std::string list = PublishList(servers.FaultUrl() + "cut/", "4000/1500.exe");
  // "4000/1500.exe" is no plain file name: the list is unusable before anything is fetched.
  EXPECT_EQ(Check(servers.NginxUrl(), list), -1);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, kListUnusable);

  fake.ui.messages.clear();
  const std::string cut_list = PublishList(servers.FaultUrl() + "cut/4000/", "1500.exe");
  EXPECT_EQ(Check(servers.NginxUrl(), cut_list), -1);
  ASSERT_EQ(fake.ui.messages.size(), 2u);
  EXPECT_EQ(fake.ui.messages[1].text.rfind(kUnexpected, 0), 0u);
  EXPECT_EQ(Entries(), std::vector<std::string>{cut_list});
}

TEST_F(UpdateCheckOverHttp, ARefusedConnectionIsAnUnexpectedError) {
  EXPECT_EQ(Check(servers.RefusingUrl(), "di04.dat"), -1);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text.rfind(kUnexpected, 0), 0u);
  EXPECT_EQ(fake.ui.messages[0].caption, "確認");
  EXPECT_EQ(fake.ui.beeps, 1);
  EXPECT_TRUE(Entries().empty());
}

TEST_F(UpdateCheckOverHttp, AStalledServerTimesOut) {
  http.SetTimeouts({2000, 1500});
  EXPECT_EQ(Check(servers.FaultUrl(), "stall"), -1);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text.rfind(kUnexpected, 0), 0u);
  EXPECT_TRUE(Entries().empty());
}

TEST_F(UpdateCheckOverHttp, AnEmptyListIsStoredEmptyAndUnusable) {
  EXPECT_EQ(Check(servers.FaultUrl(), "empty"), -1);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, kListUnusable);
  EXPECT_EQ(Entries(), std::vector<std::string>{"empty"});
  EXPECT_EQ(testing::ReadBytes(Local("empty")), "");
}

TEST_F(UpdateCheckOverHttp, ANonZeroDownloadModeFetchesNoPackage) {
  const std::string list = PublishList(servers.NginxUrl(), "never.exe", 1);
  EXPECT_EQ(Check(servers.NginxUrl(), list), 2);
  EXPECT_EQ(Entries(), std::vector<std::string>{list});
}

}  // namespace
}  // namespace hanamizu::win32
