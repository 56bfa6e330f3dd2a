// The launcher's flows against the fake platform: each case is a scene and the journal of what
// the user saw and what was written, fetched, started and slept, in order.

#include <gtest/gtest.h>

#include <functional>

#include "common/error_log.h"
#include "common/process_runner.h"
#include "config/config_sources.h"
#include "fakes/fake_platform.h"
#include "launcher/product_launch.h"
#include "launcher/startup.h"
#include "update/publisher_key.h"
#include "update/update_check.h"
#include "update/update_integrity.h"
#include "update/update_list.h"
#include "update/vendor_update_url.h"

namespace hanamizu {
namespace {

using fakes::Box;
using fakes::FakePlatform;
using J = std::vector<std::string>;
using Scene = std::function<void(FakePlatform&)>;

// Journals and scenes add up.
// clang-format off
J operator+(J a, const J& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
Scene operator+(Scene a, Scene b) { return [=](FakePlatform& f) { a(f), b(f); }; }
Scene Set(std::map<std::string, std::string> FakePlatform::*map, const std::string& key, const std::string& value) {
  return [=](FakePlatform& f) { (f.*map)[key] = value; };
}
Scene Fail(const std::string& what, const AppError& error) { return [=](FakePlatform& f) { f.failures.insert({what, error}); }; }
const std::string kPackage("MZ\0package", 10);
Scene Serve(UpdateListRecord list, const std::string& url = "http://u/di04.dat") {
  return [=](FakePlatform& f) { f.web[url] = WriteUpdateListRecord(list, f.Ansi()), f.web[list.PackageLocation + list.PackageFile] = kPackage; };
}

struct UpdateCase {
  const char* name;
  Scene scene;
  int16_t result;
  J journal;
  std::string base = "http://u/", list = "di04.dat", dir = "C:\\Temp\\", package = "";
  std::string part_left = "";  // what stays beside the package for the next attempt
};

const std::string kTitle = "ハナミズ台帳ツール", kDir = "C:\\Tools\\Ledger\\", kMain = kDir + "Hanamizu.exe", kTemp = "C:\\Temp\\";
const std::string kUser = "di04\\system\\", kProfile = ".DEFAULT\\Software\\VB and VBA Program Settings\\", kVendor = kVendorUpdateUrl + std::string("di04.dat");
const std::string kNoMain = Box(kTitle, "-", "OK", kTitle + "メインプログラムが存在しません");
const std::string kRefused = Box(kTitle, "-", "OK", "ハナミズ台帳ツールVer4を利用するためには\r\nMeridex V8以降のバージョンが必要です。");
const std::string kOffer = Box("最新版への更新", "-", "OK/Cancel", "現在使用中のプログラムはバージョン 8.1.25 です。\r\rサーバー上に最新バージョン 8.1.26 が更新されています。\r\r更新を実行しますか");
const std::string kNoModule = Box(kTitle, "-", "OK", "ツールが正しくインストールされていません");
const J kFetchList = {"events", "get http://u/di04.dat (with a deadline)", "save C:\\Temp\\di04.dat"};
const J kDownload = {"splash status=setup.exe ファイルをダウンロード中", "events", "splash progress 10/10", "get http://p/setup.exe"};
const std::string kDropped = "discard part C:\\Temp\\setup.exe";
const J kSaved = {"save C:\\Temp\\setup.exe", "splash progress hidden"};
const J kReady = {"beep", Box("確認", "i", "OK", "パッケージの更新を開始します。\r\r更新完了後、スタートメニューよりパッケージを起動してください。")};
const J kEnter = {"drive C", "cd C:\\Tools\\Ledger"}, kPoll = {"sleep 100", "events"}, kStart = {"start \"C:\\a b\\M.exe\" /x show=7"};
const AppError kNoWindow(1400, "ウィンドウ ハンドルが無効です。"), kMissing(2, "見つかりません。");
const UpdateListRecord kNewer{0, 8, 1, 26, "http://p/", "setup.exe"};
const Scene kCancel = [](FakePlatform& f) { f.answers = {MessageAnswer::kCancel}; };
const Scene kUpdateOn = Set(&FakePlatform::settings, kUser + "自動ｱｯﾌﾟﾃﾞｰﾄ", "1") + Set(&FakePlatform::settings, kUser + "自動ｱｯﾌﾟﾃﾞｰﾄURL", "http://u/") +
                        Set(&FakePlatform::env, "TEMP", "C:\\Temp") + Serve(kNewer);
// The list signed for kPackage (by the test key, or another, or with no key: zeros), then the
// package that is served instead.
Scene ServeSigned(UpdateListRecord list, const std::string& served = kPackage, const std::string& key = fakes::kTestPrivateKey) {
  return Serve(list) + [=](FakePlatform& f) {
    const auto hash = f.crypto->StartSha256();
    const auto signer = ReadPrivateKeyPem(key);
    hash->Add(kPackage);
    f.web["http://u/di04.dat"] = WriteSignedList(f.web["http://u/di04.dat"], kPackage.size(), hash->Finish(), signer ? &*signer : nullptr, *f.crypto);
    f.web[list.PackageLocation + list.PackageFile] = served;
  };
}
// A part of setup.exe that an earlier attempt left, with what identifies it.
Scene Kept(const std::string& bytes, const std::string& validator = "\"v1\"", const std::string& url = "http://p/setup.exe", double age_days = 1) {
  return [=](FakePlatform& f) { f.parts[kTemp + "setup.exe"] = {bytes, PartInfo{url, validator, 10}, age_days}; };
}
const Scene kKeyBuiltIn = [](FakePlatform& f) { f.platform.publisher_keys = {fakes::kTestPublicKey}; };
const std::string kOtherKey = PrivateKeyPem(MakeSystemCrypto()->MakeP256Key());
const std::string kNotReleased = "ダウンロードしたパッケージが発行元の署名した内容と一致しません (http://p/setup.exe)";
const J kUnusable = {"beep", Box("確認", "!", "OK", "自動アップデートの処理が実行できません。\r\rインターネットに接続できていない、または自動アップデートの情報を取得できません。\r\r起動後、自動アップデートを無効に設定してください。")};
J Unexpected(const std::string& description) { return {"beep", Box("確認", "!", "OK", "予期しないエラーが発生しました。\r\r" + description)}; }
J SplashUp(const std::string& title = kTitle + " V4") { return {"splash left=6742.5", "splash top=6675", "splash title=" + title, "splash show", "splash repaint"}; }
J Sets(const std::string& app = "di04") { return {"set " + app + "\\system\\ﾗﾝﾁｬｰ=2", "set " + app + "\\system\\自動ｱｯﾌﾟﾃﾞｰﾄURL=", "set " + app + "\\system\\自動ｱｯﾌﾟﾃﾞｰﾄ="}; }
J RunMain(const std::string& dir = kDir, const std::string& kinds = "水門,ポンプ,トンネル") {
  return {"splash unload", "start \"" + dir + "Hanamizu.exe\" LanternfieldOn," + kinds + " show=1", "sleep 100", "events", "close"};
}
const J kLaunched = SplashUp() + J{"set di04\\system\\ﾗﾝﾁｬｰ=2"};

const UpdateCase kUpdateChecks[] = {
    {"caller's name", Serve(kNewer), 1, kFetchList + J{kOffer} + kDownload + J{"save C:\\Temp\\my.exe", "splash progress hidden"} + kReady, "http://u/", "di04.dat", kTemp, "my.exe"},
    {"no list name", Serve(kNewer), -1, {Box("確認", "i", "OK", "リストファイルの指定がありません。")}, "", ""},
    {"vendor's address", Serve(kNewer, kVendor) + kCancel, 0, J{"events", "get " + kVendor + " (with a deadline)", "save C:\\Temp\\di04.dat", kOffer}, ""},
    {"no separator added", Serve(kNewer), -1, J{"events", "get http://udi04.dat (with a deadline)"} + Unexpected("サーバー名またはアドレスを解決できませんでした"), "http://u"},
    {"update dir C:\\", Serve(kNewer) + kCancel, 0, J{"events", "get http://u/di04.dat (with a deadline)", "save C:\\di04.dat", kOffer}, "http://u/", "di04.dat", ""},
    {"installed minor newer", Serve({0, 8, 0, 99, "h/", "a.exe"}), 0, kFetchList},
    {"older major", Serve({0, 7, 9, 9, "h/", "a.exe"}), -1, kFetchList + J{"beep", Box("確認", "!", "OK", "バージョン情報が正しくありません。　7")}},
    {"mode 32767", Serve({32767, 8, 1, 26, "h/", "a.exe"}), -1, kFetchList + J{kOffer} + Unexpected("オーバーフローしました。")},
    {"package in use", Serve(kNewer) + Fail(kTemp + "setup.exe", AppError(32, "使用中")), -1, kFetchList + J{kOffer, kDownload[0]} + Unexpected("使用中")},
    {"list unwritable", Fail(kTemp + "di04.dat", AppError(75, "パス名が無効です。")), -1, J{"events"} + Unexpected("パス名が無効です。")},
    {"signed", ServeSigned(kNewer) + kKeyBuiltIn, 1, kFetchList + J{kOffer} + kDownload + kSaved + kReady},
    {"unsigned, a key built in", Serve(kNewer) + kKeyBuiltIn, -1, kFetchList + kUnusable},
    {"another key's", ServeSigned(kNewer, kPackage, kOtherKey) + kKeyBuiltIn, -1, kFetchList + kUnusable},
    {"package altered", ServeSigned(kNewer, std::string("MZ\0packagf", 10)) + kKeyBuiltIn, -1, kFetchList + J{kOffer} + kDownload + J{kDropped, "splash progress hidden"} + Unexpected(kNotReleased)},
    {"no key, longer", ServeSigned(kNewer, kPackage + "!", ""), -1, kFetchList + J{kOffer, kDownload[0], kDownload[1], kDropped} + Unexpected(kNotReleased)},
    {"no key, as released", ServeSigned(kNewer, kPackage, ""), 1, kFetchList + J{kOffer} + kDownload + kSaved + kReady},
    {.name = "cut: the part stays", .scene = Serve(kNewer) + [](FakePlatform& f) { f.cut_at["http://p/setup.exe"] = 4; }, .result = -1,
     .journal = kFetchList + J{kOffer, kDownload[0], kDownload[1], "splash progress 4/10", kDownload[3], "splash progress hidden"} + Unexpected("接続が切れました"), .part_left = std::string("MZ\0p", 4)},
    {"resumed", Serve(kNewer) + Kept(std::string("MZ\0p", 4)), 1, kFetchList + J{kOffer, kDownload[0], kDownload[1], "events", kDownload[2], kDownload[3] + " from 4"} + kSaved + kReady},
    {"resumed, signed", ServeSigned(kNewer) + kKeyBuiltIn + Kept(std::string("MZ\0p", 4)), 1, kFetchList + J{kOffer, kDownload[0], kDownload[1], "events", kDownload[2], kDownload[3] + " from 4"} + kSaved + kReady},
    {"resumed on a changed part", ServeSigned(kNewer) + kKeyBuiltIn + Kept("MZ!p"), -1,
     kFetchList + J{kOffer, kDownload[0], kDownload[1], "events", kDownload[2], kDownload[3] + " from 4", kDropped, "splash progress hidden"} + Unexpected(kNotReleased)},
    {"another version on the server", Serve(kNewer) + Kept(std::string("MZ\0p", 4), "\"v0\""), 1, kFetchList + J{kOffer, kDownload[0], kDownload[1], "events"} + J{kDownload[2], kDownload[3]} + kSaved + kReady},
    {"a part as long as the file", Serve(kNewer) + Kept(kPackage), 1,
     kFetchList + J{kOffer, kDownload[0], kDownload[1], "events", kDownload[3] + " from 10", kDownload[2], kDownload[3]} + kSaved + kReady},
    {"Range ignored", Serve(kNewer) + Kept(std::string("MZ\0p", 4)) + [](FakePlatform& f) { f.no_ranges = {"http://p/setup.exe"}; }, 1,
     kFetchList + J{kOffer, kDownload[0], kDownload[1], "events"} + J{kDownload[2], kDownload[3]} + kSaved + kReady},
    {"a part of another address", Serve(kNewer) + Kept("MZ\0p", "\"v1\"", "http://old/setup.exe"), 1, kFetchList + J{kOffer, kDownload[0], kDownload[1], kDropped, kDownload[2], kDownload[3]} + kSaved + kReady},
    {"a part a week old", Serve(kNewer) + Kept("MZ\0p", "\"v1\"", "http://p/setup.exe", 7.5), 1, kFetchList + J{kOffer, kDownload[0], kDownload[1], kDropped, kDownload[2], kDownload[3]} + kSaved + kReady},
    {"disk full: the earlier package stays", Serve(kNewer) + Fail(kTemp + "setup.exe.part", AppError(112, "ディスクがいっぱいです。 (C:\\Temp\\setup.exe.part)")), -1,
     kFetchList + J{kOffer, kDownload[0], kDownload[1]} + Unexpected("ディスクがいっぱいです。 (C:\\Temp\\setup.exe.part)")},
    {"largest list", Serve({0, 8, 1, 26, std::string(65535, '/'), std::string(65531, 'x') + ".exe"}) + kCancel, 0, kFetchList + J{kOffer}},
};
using Flow = std::function<void(FakePlatform&)>;
void Launch(FakePlatform& f) { SeihinKidou(f, {kTitle, "", 2, {"", "PRT1.EXE"}}, "水門,ポンプ,トンネル", ""); }
void LaunchA1(FakePlatform& f) { SeihinKidou(f, {"", "A1", 2, {}}, "水門", ",x"); }
void StartUp(FakePlatform& f) { RunLauncher(f); }
void LogDenied(FakePlatform& f) { Write_ErrLog(f, AppError(-5, "拒否"), "path_no_en", ""); }
Flow ShellWT(const std::string& line, int16_t result) { return [=](FakePlatform& f) { EXPECT_EQ(Shell_WT(f, line, 7), result); }; }
const std::string kLine = "C:\\a b\\M.exe /x", kTrapped = Box(kTitle, "-", "OK", "見つかりません。 2 (Shell_WT)");
const std::string kLog = "2024/03/05 04:07:09 拒否[-5] (Func=path_no_en) (Info=)", kFailed = "エラー処理が失敗しました。-";
const std::string kBlanks = "C:\\Program Files\\Ledger Tool\\";
// Product launch, start-up, Shell_WT and the error log.
const std::tuple<Scene, Flow, J> kFlows[] = {
    {[](auto&) {}, Launch, SplashUp() + Sets() + J{"sleep 3000"} + RunMain()},
    // The three seconds count from before the settings work; the rest is rounded up.
    {[](auto& f) { f.seconds_per_setting = 0.4003; }, Launch, SplashUp() + Sets() + J{"sleep 1800"} + RunMain()},
    {kUpdateOn, Launch, kLaunched + kFetchList + J{kOffer} + kDownload + kSaved + kReady + J{"shell C:\\Temp\\setup.exe [1] in C:\\Temp\\ show=1 owner=81", "end"}},
    {kUpdateOn + kCancel + [](auto& f) { f.seconds_per_box = 4; }, Launch, kLaunched + kFetchList + J{kOffer} + RunMain()},
    {kUpdateOn + kCancel + Set(&FakePlatform::settings, kUser + "自動ｱｯﾌﾟﾃﾞｰﾄ", "") + Set(&FakePlatform::profile, kProfile + kUser + "自動ｱｯﾌﾟﾃﾞｰﾄ", "1.4"), Launch,
     kLaunched + J{"set di04\\system\\自動ｱｯﾌﾟﾃﾞｰﾄ=1.4"} + kFetchList + J{kOffer, "sleep 3000"} + RunMain()},
    // A path with blanks stays unquoted in the command line; extra follows the kinds.
    {[](auto& f) { f.files[kBlanks + "Hanamizu.exe"], f.launcher_dir = kBlanks; }, LaunchA1, SplashUp(" V4") + Sets("di04A1") + J{"sleep 3000"} + RunMain(kBlanks, "水門,x")},
    {[](auto& f) { f.files = {{kDir + "XPRT1.EXE", ""}, {kDir + "PRT1.TXT", ""}, {kDir + "PR.EXE", ""}}; }, StartUp, kEnter + J{kNoModule, "end"}},
    {[](auto& f) { f.files.erase(kDir + "PRT1.EXE"), f.files[kDir + "prt.exe"], f.hidden = {kMain}; }, StartUp, kEnter + J{kNoMain, "end"}},
    {[](auto& f) { f.launcher_dir = "C:\\"; }, StartUp, {kNoModule, "end"}},
    {[](auto& f) { f.launcher_dir = "\\\\server\\share\\Ledger"; }, StartUp, {kNoModule, "end"}},
    {Fail("list", AppError(5, "拒否")), StartUp, kEnter + J{Box(kTitle, "-", "OK", "実行時エラー '5':\r\n\r\n拒否"), "end"}},
    {Fail("list", AppError(5, "x")) + Fail("box", kNoWindow), StartUp, kEnter + J{Box(kTitle, "-", "OK", "実行時エラー '5':\r\n\r\nx"), "end"}},
    {Scene([](auto& f) { f.arguments = "BOOT"; }) + Fail("box", kNoWindow), StartUp,
     kEnter + J{kRefused, Box(kTitle, "-", "OK", "ウィンドウ ハンドルが無効です。 1400 (CommandCheck)"), "end"}},
    {[](auto& f) { f.polls = {{259, false}, {259, false}, {3, true}}; }, ShellWT(kLine, 0), kStart + kPoll + kPoll + kPoll + J{"close"}},
    {[](auto& f) { f.polls = {{std::nullopt, false}}; }, ShellWT(kLine, 0), kStart + kPoll + J{"close"}},
    {Fail("start", kMissing), ShellWT(kLine, -1), kStart + J{kTrapped}},
    {Fail("events", kMissing), ShellWT(kLine, -1), kStart + kPoll + J{"close", kTrapped}},
    {Fail("start", kMissing), ShellWT("", -1), {Box("Get_Shell_PathName", "-", "OK", kNoProgramPathDescription), "start  show=7", kTrapped}},
    {[](auto& f) { f.launcher_dir = "C:\\Tools\\Launcher"; }, LogDenied, {"append C:\\Tools\\Launcher\\jiban.err: " + kLog, Box(kTitle, "-", "OK", kLog)}},
    {[](auto& f) { f.launcher_dir = "D:\\"; }, LogDenied, {"append D:\\jiban.err: " + kLog, Box(kTitle, "-", "OK", kLog)}},
    {Fail("C:\\Tools\\Ledger\\jiban.err", AppError(75, "パス名が無効です。")), LogDenied, {Box(kTitle, "-", "OK", kFailed + "パス名が無効です。")}},
    {Fail("box", kNoWindow), LogDenied, {"append C:\\Tools\\Ledger\\jiban.err: " + kLog, Box(kTitle, "-", "OK", kLog), Box(kTitle, "-", "OK", kFailed + kNoWindow.description())}},
};
// The user's and the profile's value (nullptr: absent), what Sync writes, what Fill gives and
// whether it writes that.
const std::tuple<const char*, const char*, const char*, const char*, bool> kDefaultProfile[] = {
    {"2", "3", "3", "2", false}, {nullptr, "3", "3", "3", true}, {"a", "A", "A", "a", false}, {"3", "3", nullptr, "3", false},
    {"2", "", nullptr, "2", false}, {"2", nullptr, nullptr, "2", false}, {nullptr, nullptr, nullptr, "", true}, {"", "1", "1", "1", true}};
// clang-format on

// The journal of a flow in an installation with a tool module and the main program 8.1.0.25.
J Journal(const Scene& scene, const std::function<void(FakePlatform&)>& flow) {
  FakePlatform fake;
  fake.files[kMain] = fake.files[kDir + "PRT1.EXE"] = "MZ";
  fake.versions[kMain] = "8.1.0.25";
  scene(fake);
  try {
    flow(fake);
  } catch (const fakes::ProcessEnded&) {
  }
  return fake.journal;
}

TEST(Flows, UpdateCheck) {
  for (const auto& c : kUpdateChecks) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    c.scene(fake);
    std::string dir = c.dir, package = c.package;
    EXPECT_EQ(UpdateCheck(fake, *fake.CreateSplashWindow(), 8, 1, 25, c.base, c.list, dir, package),
              c.result);
    EXPECT_EQ(fake.journal, c.journal);
    EXPECT_EQ(dir, c.dir.empty() ? "C:\\" : c.dir);
    EXPECT_EQ(fake.files[dir + package], c.result == 1 ? kPackage : "");
    EXPECT_EQ(fake.parts.count(dir + "setup.exe") ? fake.parts[dir + "setup.exe"].bytes : "",
              c.part_left);
  }
}

TEST(Flows, Journals) {
  for (const auto& [scene, flow, journal] : kFlows) EXPECT_EQ(Journal(scene, flow), journal);
}

TEST(Flows, DefaultProfile) {
  for (const auto& [user, profile, synced, filled, fill_writes] : kDefaultProfile) {
    FakePlatform sync, fill;
    for (FakePlatform* f : {&sync, &fill}) {
      if (user) f->settings["di04A1\\system\\k"] = user;
      if (profile) f->profile[kProfile + "di04A1\\system\\k"] = profile;
    }
    SyncFromDefaultProfile(sync, "A1", "k");
    EXPECT_EQ(sync.journal, synced ? J{"set di04A1\\system\\k=" + std::string(synced)} : J{});
    EXPECT_EQ(FillFromDefaultProfile(fill, "A1", "k"), filled);
    EXPECT_EQ(fill.journal, fill_writes ? J{"set di04A1\\system\\k=" + std::string(filled)} : J{});
  }
}

}  // namespace
}  // namespace hanamizu
