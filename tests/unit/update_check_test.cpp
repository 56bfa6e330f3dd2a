#include "update/update_check.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "fakes/fake_splash.h"
#include "update/update_list.h"
#include "update/vendor_update_url.h"

namespace hanamizu {
namespace {

using fakes::FakePlatform;
using fakes::FakeSplashWindow;

// The texts as the user must see them, byte for byte: CR between paragraphs, no LF.
const std::string kNoListName = "リストファイルの指定がありません。";
const std::string kListUnusable =
    "自動アップデートの処理が実行できません。\r\r"
    "インターネットに接続できていない、または自動アップデートの情報を取得できません。\r\r"
    "起動後、自動アップデートを無効に設定してください。";
const std::string kVersionMismatch = "バージョン情報が正しくありません。\xE3\x80\x80";  // U+3000
const std::string kPackageReady =
    "パッケージの更新を開始します。\r\r"
    "更新完了後、スタートメニューよりパッケージを起動してください。";
const std::string kUnexpected = "予期しないエラーが発生しました。\r\r";

const std::string kBase = "http://updates.test/v4/";
const std::string kListUrl = kBase + "di04.dat";
const std::string kDir = "C:\\Temp\\";
const std::string kListPath = kDir + "di04.dat";
const std::string kPackageBase = "http://files.test/pkg/";

struct Seen {
  std::string text;
  std::string caption;
  MessageButtons buttons;
  MessageIcon icon;
  bool beep_first;
};

// One run of the update check against fakes, with the beeps that preceded each message box.
struct Scenario {
  Scenario(const Scenario&) = delete;
  Scenario& operator=(const Scenario&) = delete;
  Scenario() {
    // Whether a beep came right before each box: beeps are counted when the box appears.
    fake.ui.on_message = [this](const std::string&) {
      beep_before.push_back(fake.ui.beeps > beeps_at_last_message);
      beeps_at_last_message = fake.ui.beeps;
    };
  }

  void ServeList(int16_t mode, int32_t major, int32_t minor, int32_t build,
                 const std::string& file = "setup.exe",
                 const std::string& location = kPackageBase) {
    UpdateListRecord record{mode, major, minor, build, location, file};
    fake.http.bodies[kListUrl] = WriteUpdateListRecord(record, fake.files.Ansi());
  }

  int16_t Check(int32_t major, int32_t minor, int32_t build, const std::string& base = kBase,
                const std::string& list = "di04.dat") {
    return UpdateCheck(fake.platform, splash, major, minor, build, base, list, update_dir,
                       package_name);
  }

  std::vector<Seen> Messages() const {
    std::vector<Seen> seen;
    for (size_t i = 0; i < fake.ui.messages.size(); ++i) {
      const auto& m = fake.ui.messages[i];
      seen.push_back({m.text, m.caption, m.buttons, m.icon, beep_before.at(i)});
    }
    return seen;
  }

  void ExpectOneMessage(const std::string& text, MessageIcon icon, bool beep) {
    const std::vector<Seen> seen = Messages();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, text);
    EXPECT_EQ(seen[0].caption, "確認");
    EXPECT_EQ(seen[0].buttons, MessageButtons::kOk);
    EXPECT_EQ(seen[0].icon, icon);
    EXPECT_EQ(seen[0].beep_first, beep);
    EXPECT_EQ(fake.ui.beeps, beep ? 1 : 0);
  }

  std::string Offer(const std::string& installed, const std::string& server) {
    return "現在使用中のプログラムはバージョン " + installed + " です。\r\r" +
           "サーバー上に最新バージョン " + server + " が更新されています。\r\r" +
           "更新を実行しますか";
  }

  FakePlatform fake;
  FakeSplashWindow splash;
  std::string update_dir = kDir;
  std::string package_name;
  std::vector<bool> beep_before;
  int beeps_at_last_message = 0;
};

class UpdateCheckTest : public ::testing::Test, public Scenario {};

// --- The list name, the address and the update directory ---

TEST_F(UpdateCheckTest, NoListNameIsToldAndNothingIsFetched) {
  EXPECT_EQ(Check(8, 1, 25, kBase, ""), -1);
  ExpectOneMessage(kNoListName, MessageIcon::kInformation, false);
  EXPECT_TRUE(fake.http.requests.empty());
  EXPECT_TRUE(fake.files.calls.empty());
  EXPECT_EQ(fake.ui.events_processed, 0);
  EXPECT_EQ(update_dir, kDir);
}

TEST_F(UpdateCheckTest, EmptyBaseAddressUsesTheVendorsAddress) {
  ServeList(0, 8, 1, 25);
  fake.http.bodies[std::string(kVendorUpdateUrl) + "di04.dat"] = fake.http.bodies[kListUrl];
  EXPECT_EQ(Check(8, 1, 25, ""), 0);
  EXPECT_EQ(fake.http.requests,
            std::vector<std::string>{std::string(kVendorUpdateUrl) + "di04.dat"});
  const std::string vendor = kVendorUpdateUrl;
  EXPECT_EQ(vendor.rfind("http://", 0), 0u);
  EXPECT_EQ(vendor.back(), '/');
}

TEST_F(UpdateCheckTest, TheListNameFollowsTheAddressWithoutASeparator) {
  fake.http.bodies["http://updates.test/v4di04.dat"] = "";
  EXPECT_EQ(Check(8, 1, 25, "http://updates.test/v4"), -1);
  EXPECT_EQ(fake.http.requests, std::vector<std::string>{"http://updates.test/v4di04.dat"});
}

TEST_F(UpdateCheckTest, EmptyUpdateDirectoryBecomesTheRootOfC) {
  update_dir.clear();
  ServeList(0, 8, 1, 25);
  EXPECT_EQ(Check(8, 1, 25), 0);
  EXPECT_EQ(update_dir, "C:\\");
  EXPECT_EQ(fake.files.files.count("C:\\di04.dat"), 1u);
}

TEST_F(UpdateCheckTest, TheListIsStoredAsReceivedAndReadBackFromItsFile) {
  ServeList(0, 8, 1, 25);
  fake.files.files[kListPath] = "an older list";
  EXPECT_EQ(Check(8, 1, 25), 0);
  EXPECT_EQ(fake.files.files[kListPath], fake.http.bodies[kListUrl]);
  EXPECT_EQ(fake.files.calls,
            (std::vector<std::string>{"CreatePendingFile " + kListPath, "RemoveFile " + kListPath,
                                      "Commit " + kListPath, "ReadFileStart " + kListPath}));
  EXPECT_EQ(fake.ui.events_processed, 1);
}

TEST_F(UpdateCheckTest, AListFileThatCannotBeDeletedFirstIsStillReplaced) {
  ServeList(0, 8, 1, 25);
  fake.files.files[kListPath] = "old";
  fake.files.undeletable.insert(kListPath);
  EXPECT_EQ(Check(8, 1, 25), 0);
  EXPECT_EQ(fake.files.files[kListPath], fake.http.bodies[kListUrl]);
}

// --- The tests on the list: package name, major version, newer version ---

TEST(UpdateCheck, SameOrOlderServerVersionIsZeroWithoutAMessage) {
  for (const auto& [minor, build] : {std::pair{1, 25}, {1, 24}, {0, 99}}) {
    SCOPED_TRACE(std::to_string(minor) + "." + std::to_string(build));
    Scenario s;
    s.ServeList(0, 8, minor, build);
    EXPECT_EQ(s.Check(8, 1, 25), 0);
    EXPECT_TRUE(s.fake.ui.messages.empty());
    EXPECT_EQ(s.fake.ui.beeps, 0);
    EXPECT_EQ(s.fake.http.requests.size(), 1u);
  }
}

TEST(UpdateCheck, PackageNamesThatDoNotEndInExeMakeTheListUnusable) {
  for (const char* name : {"setup.exe ", "setup.msi", ""}) {
    SCOPED_TRACE(name);
    Scenario s;
    s.ServeList(0, 8, 1, 26, name);
    EXPECT_EQ(s.Check(8, 1, 25), -1);
    s.ExpectOneMessage(kListUnusable, MessageIcon::kExclamation, true);
    EXPECT_EQ(s.fake.http.requests.size(), 1u);
  }
}

TEST(UpdateCheck, PackageNamesThatPointElsewhereMakeTheListUnusable) {
  for (const char* name : {"..\\..\\Windows\\setup.exe", "sub/setup.exe", "C:setup.exe",
                           "\\\\host\\share\\setup.exe", "set\rup.exe"}) {
    SCOPED_TRACE(name);
    Scenario s;
    s.ServeList(0, 8, 1, 26, name);
    EXPECT_EQ(s.Check(8, 1, 25), -1);
    s.ExpectOneMessage(kListUnusable, MessageIcon::kExclamation, true);
    EXPECT_EQ(s.fake.http.requests, std::vector<std::string>{kListUrl});
    EXPECT_EQ(s.fake.files.files.size(), 1u);  // the list alone
  }
}

TEST_F(UpdateCheckTest, CapitalExeIsAPackageName) {
  ServeList(0, 8, 1, 26, "SETUP.EXE");
  fake.ui.answers = {MessageAnswer::kCancel};
  EXPECT_EQ(Check(8, 1, 25), 0);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].caption, "最新版への更新");
}

TEST(UpdateCheck, EmptyOrShortListIsUnusable) {
  for (const std::string& body :
       {std::string(), std::string(17, '\0'), std::string("\x00\x00\x08\x00\x00\x00", 6)}) {
    SCOPED_TRACE(body.size());
    Scenario s;
    s.fake.http.bodies[kListUrl] = body;
    EXPECT_EQ(s.Check(8, 1, 25), -1);
    s.ExpectOneMessage(kListUnusable, MessageIcon::kExclamation, true);
    EXPECT_EQ(s.fake.files.files[kListPath], body);
  }
}

TEST(UpdateCheck, AnotherMajorVersionIsAMismatchNamingTheListsMajor) {
  for (const auto& [installed, server] : {std::pair{8, 9}, {8, 7}, {0, 8}, {8, -1}}) {
    SCOPED_TRACE(server);
    Scenario s;
    s.ServeList(0, server, 0, 0);
    EXPECT_EQ(s.Check(installed, installed == 0 ? 0 : 1, 25), -1);
    s.ExpectOneMessage(kVersionMismatch + std::to_string(server), MessageIcon::kExclamation, true);
    EXPECT_EQ(s.fake.http.requests.size(), 1u);
  }
}

// --- The offer ---

TEST_F(UpdateCheckTest, TheOfferNamesBothVersionsWithOkAndCancel) {
  ServeList(0, 8, 1, 26);
  fake.ui.answers = {MessageAnswer::kCancel};
  EXPECT_EQ(Check(8, 1, 25), 0);
  const std::vector<Seen> seen = Messages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, Offer("8.1.25", "8.1.26"));
  EXPECT_EQ(seen[0].caption, "最新版への更新");
  EXPECT_EQ(seen[0].buttons, MessageButtons::kOkCancel);
  EXPECT_EQ(seen[0].icon, MessageIcon::kNone);
  EXPECT_FALSE(seen[0].beep_first);
}

TEST_F(UpdateCheckTest, TheMinorVersionDecidesBeforeTheBuild) {
  ServeList(0, 8, 2, 3);
  fake.ui.answers = {MessageAnswer::kCancel};
  EXPECT_EQ(Check(8, 1, 50), 0);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, Offer("8.1.50", "8.2.3"));
}

TEST_F(UpdateCheckTest, NegativeVersionNumbersAreWrittenWithAMinus) {
  ServeList(0, -8, 0, -1);
  fake.ui.answers = {MessageAnswer::kCancel};
  EXPECT_EQ(Check(-8, -1, 5), 0);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text, Offer("-8.-1.5", "-8.0.-1"));
}

TEST_F(UpdateCheckTest, CancelLeavesTheListFileAndFetchesNothingMore) {
  ServeList(0, 8, 1, 26);
  fake.ui.answers = {MessageAnswer::kCancel};
  EXPECT_EQ(Check(8, 1, 25), 0);
  EXPECT_EQ(fake.http.requests, std::vector<std::string>{kListUrl});
  EXPECT_EQ(fake.files.files.count(kListPath), 1u);
  EXPECT_EQ(package_name, "");
  EXPECT_EQ(splash.status_label, "起動中");
}

// --- DownloadMode ---

TEST(UpdateCheck, ANonZeroDownloadModeGivesModePlusOneAndDownloadsNothing) {
  for (const auto& [mode, result] :
       {std::pair<int16_t, int16_t>{1, 2}, {-1, 0}, {-2, -1}, {32766, 32767}, {-32768, -32767}}) {
    SCOPED_TRACE(mode);
    Scenario s;
    s.ServeList(mode, 8, 1, 26);
    EXPECT_EQ(s.Check(8, 1, 25), result);
    EXPECT_EQ(s.fake.ui.messages.size(), 1u);  // the offer only
    EXPECT_EQ(s.fake.http.requests, std::vector<std::string>{kListUrl});
    EXPECT_EQ(s.package_name, "");
  }
}

TEST_F(UpdateCheckTest, DownloadModeAtItsMaximumOverflowsIntoTheTrap) {
  ServeList(32767, 8, 1, 26);
  EXPECT_EQ(Check(8, 1, 25), -1);
  const std::vector<Seen> seen = Messages();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].text, kUnexpected + "オーバーフローしました。");
  EXPECT_EQ(seen[1].caption, "確認");
  EXPECT_EQ(seen[1].icon, MessageIcon::kExclamation);
  EXPECT_TRUE(seen[1].beep_first);
  EXPECT_EQ(fake.http.requests, std::vector<std::string>{kListUrl});
}

// --- The download ---

TEST_F(UpdateCheckTest, OkDownloadsThePackageOverAnEarlierOneAndSaysSo) {
  ServeList(0, 8, 1, 26);
  fake.http.bodies[kPackageBase + "setup.exe"] = std::string("MZ\0\x01package", 11);
  fake.files.files[kDir + "setup.exe"] = "an earlier package";
  EXPECT_EQ(Check(8, 1, 25), 1);
  EXPECT_EQ(fake.http.requests, (std::vector<std::string>{kListUrl, kPackageBase + "setup.exe"}));
  EXPECT_EQ(fake.files.files[kDir + "setup.exe"], std::string("MZ\0\x01package", 11));
  EXPECT_EQ(package_name, "setup.exe");
  EXPECT_EQ(splash.status_label, "setup.exe ファイルをダウンロード中");
  EXPECT_EQ(fake.ui.events_processed, 2);
  const std::vector<Seen> seen = Messages();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].text, kPackageReady);
  EXPECT_EQ(seen[1].caption, "確認");
  EXPECT_EQ(seen[1].buttons, MessageButtons::kOk);
  EXPECT_EQ(seen[1].icon, MessageIcon::kInformation);
  EXPECT_TRUE(seen[1].beep_first);
  EXPECT_EQ(fake.ui.beeps, 1);
}

TEST_F(UpdateCheckTest, TheStatusIsPaintedBeforeThePackageIsFetched) {
  ServeList(0, 8, 1, 26, "更新.exe");
  const std::string url = kPackageBase + "更新.exe";
  fake.http.bodies[url] = "pkg";
  std::vector<std::string> order;
  struct Recording : FakeSplashWindow {
    std::vector<std::string>* order;
    fakes::FakeUserInterface* ui;
    void SetStatusText(const std::string& text) override {
      order->push_back("status:" + text + " events:" + std::to_string(ui->events_processed));
    }
  } recording;
  recording.order = &order;
  recording.ui = &fake.ui;
  EXPECT_EQ(
      UpdateCheck(fake.platform, recording, 8, 1, 25, kBase, "di04.dat", update_dir, package_name),
      1);
  // One DoEvents before the list; the status is set after it and painted by the second.
  EXPECT_EQ(order, std::vector<std::string>{"status:更新.exe ファイルをダウンロード中 events:1"});
  EXPECT_EQ(fake.ui.events_processed, 2);
  EXPECT_EQ(fake.http.requests.back(), url);
  EXPECT_EQ(fake.files.files[kDir + "更新.exe"], "pkg");
}

TEST_F(UpdateCheckTest, ACallersPackageNameStoresUnderItButFetchesThePackageFile) {
  ServeList(0, 8, 1, 26, "setup.exe");
  fake.http.bodies[kPackageBase + "setup.exe"] = "pkg";
  package_name = "local.exe";
  EXPECT_EQ(Check(8, 1, 25), 1);
  EXPECT_EQ(fake.http.requests.back(), kPackageBase + "setup.exe");
  EXPECT_EQ(package_name, "local.exe");
  EXPECT_EQ(fake.files.files[kDir + "local.exe"], "pkg");
  EXPECT_EQ(fake.files.files.count(kDir + "setup.exe"), 0u);
}

// --- Failures and the trap ---

TEST_F(UpdateCheckTest, AFailedListDownloadIsAnUnexpectedErrorAndKeepsTheEarlierList) {
  fake.files.files[kListPath] = "earlier list";
  fake.http.failures.insert(
      {kListUrl,
       {"half a li", AppError(12029, "サーバーに接続できませんでした (" + kListUrl + ")")}});
  EXPECT_EQ(Check(8, 1, 25), -1);
  ExpectOneMessage(kUnexpected + "サーバーに接続できませんでした (" + kListUrl + ")",
                   MessageIcon::kExclamation, true);
  EXPECT_EQ(fake.files.files[kListPath], "earlier list");
}

TEST_F(UpdateCheckTest, AnUnknownAddressIsAnUnexpectedError) {
  EXPECT_EQ(Check(8, 1, 25), -1);
  ASSERT_EQ(fake.ui.messages.size(), 1u);
  EXPECT_EQ(fake.ui.messages[0].text.rfind(kUnexpected, 0), 0u);
  EXPECT_NE(fake.ui.messages[0].text.find(kListUrl), std::string::npos);
}

TEST_F(UpdateCheckTest, AFailedPackageDownloadKeepsTheEarlierPackageAndSaysNothingIsReady) {
  ServeList(0, 8, 1, 26);
  const std::string url = kPackageBase + "setup.exe";
  fake.files.files[kDir + "setup.exe"] = "earlier package";
  fake.http.failures.insert({url, {"<html>404", AppError(404, "サーバーが応答 404 を返しました")}});
  EXPECT_EQ(Check(8, 1, 25), -1);
  const std::vector<Seen> seen = Messages();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].text, kUnexpected + "サーバーが応答 404 を返しました");
  EXPECT_TRUE(seen[1].beep_first);
  EXPECT_EQ(fake.files.files[kDir + "setup.exe"], "earlier package");
  EXPECT_EQ(package_name, "setup.exe");
}

TEST_F(UpdateCheckTest, AFileThatCannotBeWrittenIsAnUnexpectedError) {
  ServeList(0, 8, 1, 26);
  fake.files.unwritable.insert(kListPath);
  EXPECT_EQ(Check(8, 1, 25), -1);
  ExpectOneMessage(kUnexpected + "パス名が無効です。", MessageIcon::kExclamation, true);
  EXPECT_TRUE(fake.http.requests.empty());
}

TEST_F(UpdateCheckTest, NoMessageEverHoldsALineFeed) {
  ServeList(0, 8, 1, 26);
  fake.http.bodies[kPackageBase + "setup.exe"] = "pkg";
  EXPECT_EQ(Check(8, 1, 25), 1);
  ASSERT_EQ(fake.ui.messages.size(), 2u);
  for (const auto& m : fake.ui.messages) EXPECT_EQ(m.text.find('\n'), std::string::npos);
}

}  // namespace
}  // namespace hanamizu
