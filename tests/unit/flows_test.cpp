// The launcher's flows against the fake platform, where end to end cannot reach cheaply: orders,
// timings, and failures hard to provoke for real. Each row is a named scene, a flow, and the
// journal of what the user saw and what was written, fetched, started and slept, in order.

#include <gtest/gtest.h>

#include <functional>

#include "common/error_log.h"
#include "common/process_runner.h"
#include "config/config_sources.h"
#include "fakes/fake_platform.h"
#include "in_order.h"
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
using Step = std::function<void(FakePlatform&)>;  // a scene, or a flow

J operator+(J a, const J& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Step operator+(Step a, Step b) {
  return [=](FakePlatform& f) {
    a(f);
    b(f);
  };
}

const std::string kTitle = "ハナミズ台帳ツール", kMain = "C:\\Tools\\Ledger\\Hanamizu.exe";
const std::string kListUrl = "http://u/di04.dat", kPackageUrl = "http://p/setup.exe";
const std::string kPackage("MZ\0package", 10), kHead("MZ\0p", 4);
const UpdateListRecord kNewer{0, 8, 1, 26, "http://p/", "setup.exe"};

const std::string kOffer = Box("最新版への更新", "-", "OK/Cancel",
                               "現在使用中のプログラムはバージョン 8.1.25 です。\r\r"
                               "サーバー上に最新バージョン 8.1.26 が更新されています。\r\r"
                               "更新を実行しますか");
const J kFetchList = {"get " + kListUrl + " (with a deadline)", "save C:\\Temp\\di04.dat"};
// A list signed for the launcher's key: its sequence is kept as the highest accepted.
const J kKeyedList = kFetchList + J{"set di04\\system\\更新ﾘｽﾄ連番=1"};
const J kOffered = kFetchList + J{kOffer};
// The package's own folder, named for its address.
const std::string kFolder = "C:\\Temp\\hmz-aabdfcf4a623f609", kTarget = kFolder + "\\setup.exe";
const std::string kPrivate = "private " + kFolder;
const J kTaken = kOffered + J{kPrivate};
const J kDownload = {"get " + kPackageUrl, "progress 10/10"};
const J kResumed = {"get " + kPackageUrl + " from 4", "progress 10/10"};
const std::string kDropped = "discard part " + kTarget, kLetGo = "let go of " + kTarget;
// The package as released takes its name and is held until it starts; the user is told.
const J kReady = {"save " + kTarget + ": " + kPackage, "beep",
                  Box("確認", "i", "OK",
                      "パッケージの更新を開始します。\r\r"
                      "更新完了後、スタートメニューよりパッケージを起動してください。")};
const J kFetched = kDownload + J{kReady[0], "progress hidden", kReady[1], kReady[2], kLetGo};
// A part that does not fit is dropped before the whole is fetched, or once the server's answer
// shows it.
const J kDroppedFirst = kTaken + J{kDropped} + kFetched;
const J kRefetched = kTaken + J{kResumed[0], kDropped} + kFetched;
const J kRestFetched = J{kOffer, kPrivate} + kResumed + J(kFetched.begin() + 2, kFetched.end());
J Warned(const std::string& text, const char* icon = "!") {
  return {"beep", Box("確認", icon, "OK", text)};
}
J Unexpected(const std::string& description) {
  return Warned("予期しないエラーが発生しました。\r\r" + description);
}
const J kUnusable = Warned(
    "自動アップデートの処理が実行できません。\r\rインターネットに接続できていない、または自動アップ"
    "デート"
    "の情報を取得できません。\r\r起動後、自動アップデートを無効に設定してください。");
const J kNotReleased = Unexpected(
    "ダウンロードしたパッケージが発行元の署名した内容と一致しません (http://p/setup.exe)");

Step Serve(const UpdateListRecord& list, const std::string& url = kListUrl) {
  return [=](FakePlatform& f) {
    f.web[url].body = WriteUpdateListRecord(list, f.Ansi());
    f.web[list.PackageLocation + list.PackageFile].body = kPackage;
  };
}
// The list with a block for kPackage, signed with the tests' key, built into the launcher; or
// signed by no one (zeros) for a launcher without keys.
Step ServeBlock(bool keyed, int rollout = 100) {
  return Serve(kNewer) + [=](FakePlatform& f) {
    const auto hash = f.crypto->StartSha256();
    hash->Add(kPackage);
    const auto key = ReadPrivateKeyPem(fakes::kTestPrivateKey);
    f.web[kListUrl].body = WriteSignedList(
        f.web[kListUrl].body, {"di04.dat", 1, 0, kPackage.size(), hash->Finish(), rollout},
        keyed ? &*key : nullptr, *f.crypto, f.Ansi());
    if (keyed) f.platform.publisher_keys = {fakes::kTestPublicKey};
  };
}
// What an earlier attempt left of setup.exe, with what identifies it.
Step Kept(const std::string& bytes, const std::string& validator = "\"v1\"",
          const std::string& url = kPackageUrl, double age_days = 1, uint64_t length = 10) {
  return [=](FakePlatform& f) {
    f.parts[kTarget] = {bytes, PartInfo{url, validator, length}, age_days};
  };
}
// The first four bytes kept, and the server's answer to a request for the rest.
Step Rest(const DownloadStart& answer) {
  return Serve(kNewer) + Kept(kHead) + [=](FakePlatform& f) { f.web[kPackageUrl].rest = answer; };
}
Step Set(const std::string& setting, const std::string& value) {
  return [=](FakePlatform& f) { f.settings["di04\\system\\" + setting] = value; };
}
Step Failing(const std::string& operation, const AppError& error) {
  return [=](FakePlatform& f) { f.failing.insert({operation, error}); };
}
// 5 bytes beyond 10 MiB free: no room for a package of 10 bytes and the margin.
const Step kLittleRoom = [](FakePlatform& f) { f.free_space = (10 << 20) + 5; };
const J kNoRoom =
    Unexpected("ディスクの空き容量が足りません (必要 11 MB、空き 10 MB) (" + kFolder + "\\)");
// Another program rewrites the package between its check and its hold: found through the hold.
const Step kRewritten = [](FakePlatform& f) { f.rewritten = "MZ!package"; };
const J kChanged =
    J{kReady[0], "delete " + kTarget, "progress hidden"} +
    Unexpected("ダウンロードしたパッケージが確認の後で変わりました (" + kTarget + ")");
// The publisher's certificate pinned; the package signed with its key (1), or another's.
Step SignedBy(uint8_t key) {
  return [=](FakePlatform& f) {
    f.platform.package_signers = {Sha256Digest{1}};
    f.signature = {CodeSignature::State::kSigned, Sha256Digest{key}, "CN=ハナミズ", 0};
  };
}
// A cache on the way holds an older package under the same address.
const Step kStale = [](FakePlatform& f) { f.web[kPackageUrl].cached = "MZ!package"; };
const Step kCancel = [](FakePlatform& f) { f.answers = {MessageAnswer::kCancel}; };
Step In(const std::string& dir) {
  return [=](FakePlatform& f) { f.launcher_dir = dir; };
}

// The update check of an installed 8.1.25 into C:\Temp\ (or dir), and its result.
Step Check(int16_t result, const std::string& base = "http://u/", std::string dir = "C:\\Temp\\") {
  return [=](FakePlatform& f) {
    std::string update_dir = dir, package;
    EXPECT_EQ(
        UpdateCheck(f, *f.CreateSplashWindow(), 8, 1, 25, base, "di04.dat", update_dir, package),
        result);
  };
}
// The longest update directory a package starts from: its path, with the folder's name and
// setup.exe (30 units), is 259 UTF-16 units long, in characters of three UTF-8 bytes.
const std::string k259 = [] {
  std::string dir = "C:\\";
  for (int i = 0; i < 225; ++i) dir += "長";
  return dir + "\\";
}();
void Launch(FakePlatform& f) {
  SeihinKidou(f, {kTitle, "", 2, {"", "PRT1.EXE"}}, "水門,ポンプ", "");
}
// Gone to work during the download, then launched again.
void LaunchAgain(FakePlatform& f) {
  try {
    Launch(f);
  } catch (const fakes::ProcessEnded&) {
  }
  f.later = false;
  Launch(f);
}
void StartUp(FakePlatform& f) {
  RunLauncher(f);
}
void LogDenied(FakePlatform& f) {
  Write_ErrLog(f, AppError(-5, "拒否"), "path_no_en", "");
}
Step ShellWT(int16_t result, const std::string& line = "C:\\a b\\M.exe /x") {
  return [=](FakePlatform& f) { EXPECT_EQ(Shell_WT(f, line, 7), result); };
}
// The user's value of a setting and the default profile's (nullptr: none).
const std::string kProfileKey = ".DEFAULT\\Software\\VB and VBA Program Settings\\";
Step Values(const char* user, const char* profile) {
  return [=](FakePlatform& f) {
    if (user) f.settings["di04A1\\system\\k"] = user;
    if (profile) f.profile[kProfileKey + "di04A1\\system\\k"] = profile;
  };
}
void Sync(FakePlatform& f) {
  SyncFromDefaultProfile(f, "A1", "k");
}
Step Fill(const std::string& value) {
  return [=](FakePlatform& f) { EXPECT_EQ(FillFromDefaultProfile(f, "A1", "k"), value); };
}

const std::string kVendorList = kVendorUpdateUrl + std::string("di04.dat");
const Step kUpdateOn = Set("自動ｱｯﾌﾟﾃﾞｰﾄ", "1") + Set("自動ｱｯﾌﾟﾃﾞｰﾄURL", "http://u/") +
                       [](FakePlatform& f) { f.env["TEMP"] = "C:\\Temp"; };
const J kRunMain = {"splash gone",
                    "start \"C:\\Tools\\Ledger\\Hanamizu.exe\" LanternfieldOn,水門,ポンプ show=1",
                    "sleep 100"};
const std::string kLauncherSet = "set di04\\system\\ﾗﾝﾁｬｰ=2";
const std::string kShell = "shell " + kTarget + " [1] in " + kFolder + "\\ show=1 owner=81";
// Auto-update on: the package offered, fetched and started.
const J kPackageStarts = J{kLauncherSet} + kTaken + kDownload +
                         J{kReady[0], "progress hidden", kReady[1], kReady[2], kShell};
const J kStart = {"start \"C:\\a b\\M.exe\" /x show=7", "sleep 100"};
const std::string kTrapped = Box(kTitle, "-", "OK", "見つかりません。 2 (Shell_WT)");
const std::string kLog = "2024/03/05 04:07:09 拒否[-5] (Func=path_no_en) (Info=)";
const AppError kNoWindow(1400, "ウィンドウ ハンドルが無効です。"), kMissing(2, "見つかりません。");

struct FlowCase {
  const char* name;
  Step scene, flow;
  J journal;
};

// clang-format off
const FlowCase kFlows[] = {
    // The update check.
    {"no address: the vendor's", Serve(kNewer, kVendorList) + kCancel, Check(0, ""), {"get " + kVendorList + " (with a deadline)", "save C:\\Temp\\di04.dat", kOffer}},
    {"a page instead of a list", [](FakePlatform& f) { f.web[kListUrl].body = "<html>"; }, Check(-1),
     kFetchList + kUnusable},
    {"installed minor newer", Serve({0, 8, 0, 99, "h/", "a.exe"}), Check(0), kFetchList},
    {"older major", Serve({0, 7, 9, 9, "h/", "a.exe"}), Check(-1), kFetchList + Warned("バージョン情報が正しくありません。　7")},
    {"the package in use: nothing fetched", Serve(kNewer) + Failing("CheckReplaceable", AppError(32, "使用中")), Check(-1), kTaken + Unexpected("使用中")},
    {"longer than its block, no key: stopped at once", ServeBlock(false) + [](FakePlatform& f) { f.web[kPackageUrl].body += "!"; }, Check(-1),
     kTaken + J{kDownload[0], kDropped, kDownload[0], kDropped} + kNotReleased},
    {"another launcher is downloading it", Serve(kNewer) + Failing("OpenPartialFile", AppError(32, "", Condition::kDownloadInProgress)), Check(-1),
     kTaken + Warned("更新パッケージはすでにダウンロード中です。\r\rダウンロードが終わってから、もう一度起動してください。", "i")},
    {"no length, no block", Serve(kNewer) + [](FakePlatform& f) { f.web[kPackageUrl].unannounced = true; }, Check(-1),
     kTaken + J{kDownload[0], "progress 10/?", kDropped, "progress hidden"} + Unexpected("サーバーがファイルの長さを知らせていません (http://p/setup.exe)")},
    {"shorter than its block, no length: kept", ServeBlock(false) + [](FakePlatform& f) { f.web[kPackageUrl].body = kHead; f.web[kPackageUrl].unannounced = true; }, Check(-1),
     kTaken + J{kDownload[0], "progress 4/?", "progress hidden"} + Unexpected("受信したデータが途中で切れています (4 / 10 バイト) (http://p/setup.exe)")},
    {"a signed list older than one accepted: a replay", ServeBlock(true) + Set("更新ﾘｽﾄ連番", "2"), Check(-1), kFetchList + kUnusable},
    {"a kept part that changed: the whole from the origin", ServeBlock(true) + Kept("MZ!p"), Check(1), kKeyedList + J{kOffer, kPrivate} + kResumed + J{kDropped} + kFetched},
    {"rolled out to 42 %: group 42, drawn once and kept, is not offered it", ServeBlock(true, 42), Check(0) + Check(0), kKeyedList + J{"set di04\\system\\更新ｸﾞﾙｰﾌﾟ=42"} + kFetchList},
    {"a stale copy in a cache: the whole again from the origin", ServeBlock(true) + kStale, Check(1), kKeyedList + J{kOffer, kPrivate} + kDownload + J{kDropped} + kFetched},
    {"no block: never from a cache", Serve(kNewer) + kStale, Check(1), kTaken + kFetched},
    {"kept whole, checked before anything is asked", ServeBlock(true) + Kept(kPackage), Check(1), kKeyedList + J{kOffer, kPrivate} + kReady + J{kLetGo}},
    {"kept longer than the package", ServeBlock(true) + Kept(kPackage + "!", "\"v1\"", kPackageUrl, 1, 11), Check(1), kKeyedList + J{kOffer, kPrivate, kDropped} + kFetched},
    {"kept, the rest", ServeBlock(true) + Kept(kHead), Check(1), kKeyedList + kRestFetched},
    {"rewritten after its check, signed", ServeBlock(true) + kRewritten, Check(-1), kKeyedList + J{kOffer, kPrivate} + kDownload + kChanged},
    {"rewritten after its check, unsigned", Serve(kNewer) + kRewritten, Check(-1), kTaken + kDownload + kChanged},
    {"signed with the pinned key", Serve(kNewer) + SignedBy(1), Check(1), kTaken + kFetched},
    {"signed with another key: deleted", Serve(kNewer) + SignedBy(2), Check(-1), kTaken + kDownload + J{kReady[0], "delete " + kTarget, "progress hidden"} +
     Unexpected("ダウンロードしたパッケージは別の発行元 (CN=ハナミズ) が署名しています (" + kTarget + ")")},
    {"a path of 259 units: in the update directory", Serve(kNewer) + Failing("OpenPartialFile", kMissing), Check(-1, "http://u/", k259),
     J{kFetchList[0], "save " + k259 + "di04.dat", kOffer, "private " + k259 + "hmz-aabdfcf4a623f609"} + Unexpected("見つかりません。")},
    {"kept, another version on the server", Serve(kNewer) + Kept(kHead, "\"v0\""), Check(1), kFetchList + kRestFetched},
    {"kept from another address", Serve(kNewer) + Kept(kHead, "\"v1\"", "http://old/setup.exe"), Check(1), kDroppedFirst},
    {"kept a week", Serve(kNewer) + Kept(kHead, "\"v1\"", kPackageUrl, 7.5), Check(1), kDroppedFirst},
    {"kept without a strong validator", Serve(kNewer) + Kept(kHead, ""), Check(1), kDroppedFirst},
    // A partial answer that is not the rest asked for: the whole file instead, once.
    {"the rest from elsewhere", Rest({2, true, "\"v1\"", 10}), Check(1), kRefetched},
    {"the rest of another length", Rest({4, true, "\"v1\"", 11}), Check(1), kRefetched},
    {"the rest of another version", Rest({4, true, "\"v2\"", 10}), Check(1), kRefetched},
    {"no rest to send", Rest({11, true, "\"v1\"", 10}), Check(1), kRefetched},
    {"the whole instead of the rest", Rest({0, false, "\"v1\"", 10}), Check(1), kFetchList + kRestFetched},
    {"a write fails: no part is left", Serve(kNewer) + Failing("Write", AppError(112, "いっぱいです。")), Check(-1),
     kTaken + J{kDownload[0], kDropped} + Unexpected("いっぱいです。")},
    {"too little room for the length announced: no part begun", Serve(kNewer) + kLittleRoom + Failing("Restart", kMissing), Check(-1), kTaken + J{kDownload[0]} + kNoRoom},
    {"a kept part that failed its check, then too little room for the whole: nothing fetched", ServeBlock(true) + Kept("MZ!package") + kLittleRoom, Check(-1),
     kKeyedList + J{kOffer, kPrivate, kDropped} + kNoRoom},
    {"the largest list", Serve({0, 8, 1, 26, std::string(65535, '/'), std::string(65531, 'x') + ".exe"}) + kCancel, Check(0), kOffered},
    {"more than any list", [](FakePlatform& f) { f.web[kListUrl].body = std::string(kListMostBytes + 1, 'x'); }, Check(-1),
     J{kFetchList[0]} + kUnusable},
    // The product launch.
    {"three seconds from before the settings, rounded up", [](FakePlatform& f) { f.seconds_per_setting = 0.4003; }, Launch,
     J{kLauncherSet, "set di04\\system\\自動ｱｯﾌﾟﾃﾞｰﾄURL=", "set di04\\system\\自動ｱｯﾌﾟﾃﾞｰﾄ=", "sleep 1800"} + kRunMain},
    {"the package, held until it has started, and the launcher makes way; earlier downloads go", kUpdateOn + Serve(kNewer) +
     [](FakePlatform& f) { f.folders = {"hmz-0", "hmz-aabdfcf4a623f609"}; }, Launch,
     J{kLauncherSet} + kTaken + kDownload + J{kReady[0], "remove C:\\Temp\\hmz-0", "progress hidden", kReady[1], kReady[2], kShell, "end", kLetGo}},
    {"gone to work: the package arrives as the main program runs, and starts at the next launch", kUpdateOn + Serve(kNewer) + [](FakePlatform& f) { f.later = true; }, LaunchAgain,
     J{kLauncherSet} + kTaken + J{kDownload[0], kDownload[1], "progress hidden", "splash gone", kRunMain[1], "sleep 100", "end", kLauncherSet} + kTaken + kReady + J{kShell, "end", kLetGo}},
    {"a package that does not start is said, then the main program", kUpdateOn + Serve(kNewer) + Failing("ShellOpen", AppError(2, "ない")), Launch,
     kPackageStarts + J{kLetGo} + Unexpected("ない") + J{"sleep 3000"} + kRunMain},
    {"the package declined its elevation: the main program", kUpdateOn + Serve(kNewer) + Failing("ShellOpen", AppError(1223, "", Condition::kCancelled)), Launch,
     kPackageStarts + J{kLetGo, "sleep 3000"} + kRunMain},
    {"the switch from the profile; the offer's time counts", kUpdateOn + Serve(kNewer) + kCancel + Set("自動ｱｯﾌﾟﾃﾞｰﾄ", "") +
     [](FakePlatform& f) { f.seconds_per_box = 2; f.profile[kProfileKey + "di04\\system\\自動ｱｯﾌﾟﾃﾞｰﾄ"] = "1.4"; }, Launch,
     J{kLauncherSet, "set di04\\system\\自動ｱｯﾌﾟﾃﾞｰﾄ=1.4"} + kOffered + J{"sleep 1000"} + kRunMain},
    {"download mode 1: the main program", kUpdateOn + Serve({1, 8, 1, 26, "h/", "a.exe"}), Launch, J{kLauncherSet} + kOffered + J{"sleep 3000"} + kRunMain},
    // The start-up.
    {"an error nothing traps", In("C:\\") + Failing("ListFiles", AppError(5, "拒否")), StartUp, {Box(kTitle, "-", "OK", "実行時エラー '5':\r\n\r\n拒否"), "end"}},
    {"refused, and the box fails", In("C:\\") + Failing("ShowMessage", kNoWindow) + [](FakePlatform& f) { f.arguments = "BOOT"; }, StartUp,
     {Box(kTitle, "-", "OK", "ハナミズ台帳ツールVer4を利用するためには\r\nMeridex V8以降のバージョンが必要です。"),
      Box(kTitle, "-", "OK", "ウィンドウ ハンドルが無効です。 1400 (CommandCheck)"), "end"}},
    // The settings from the default profile.
    {"synced: the case counts", Values("a", "A"), Sync, {"set di04A1\\system\\k=A"}},
    {"not synced: the profile's empty", Values("2", ""), Sync, {}},
    {"not filled: the user's own", Values("a", "A"), Fill("a"), {}},
    {"filled: the user's empty", Values("", "1"), Fill("1"), {"set di04A1\\system\\k=1"}},
    // Shell_WT and the error log.
    {"polled every 100 ms until no longer 259", [](FakePlatform& f) { f.polls = {{259, false}, {259, false}, {3, true}}; }, ShellWT(0), kStart + J{"sleep 100", "sleep 100"}},
    {"the start fails", Failing("StartProcess", kMissing), ShellWT(-1), {kStart[0], kTrapped}},
    {"no program path", Failing("StartProcess", kMissing), ShellWT(-1, ""),
     {Box("Get_Shell_PathName", "-", "OK", kNoProgramPathDescription), "start  show=7", kTrapped}},
    {"logged beside the launcher", In("D:\\"), LogDenied, {"append D:\\jiban.err: " + kLog, Box(kTitle, "-", "OK", kLog)}},
    {"the log cannot be written", Failing("AppendAnsiLine", AppError(75, "無効です。")), LogDenied,
     {"append C:\\Tools\\Ledger\\jiban.err: " + kLog, Box(kTitle, "-", "OK", "エラー処理が失敗しました。-無効です。")}},
};
// clang-format on

// What the launcher's own log says of a decision: its reason and the values compared, in order.
// clang-format off
const FlowCase kLogged[] = {
    {"the start-up, and an error nothing traps", In("C:\\") + Failing("ListFiles", AppError(5, "拒否")), StartUp,
     {"open C:\\Users\\u\\AppData\\Local\\Hanamizu\\di04\\launcher.log", "launcher 4.0.0.0 in C:, process 4242, settings di04",
      "command line \"boot\" accepted", "unhandled error 5: 拒否", "message \"" + kTitle + "\": 実行時エラー '5':    拒否"}},
    {"a replay", ServeBlock(true) + Set("更新ﾘｽﾄ連番", "2"), Check(-1),
     {"list http://u/di04.dat: HTTP 200, 170 bytes, 0 ms, saved as C:\\Temp\\di04.dat",
      "list verdict older sequence: the list's sequence 1 is older than 2, the highest accepted", "message \"確認\": 自動アップデートの処理が実行できません。  インターネット"}},
    {"no list", [](FakePlatform&) {}, Check(-1), {"list http://u/di04.dat failed (HTTP 0, 0 bytes, 0 ms): error 12007: サーバー名"}},
    {"a kept part that changed", ServeBlock(true) + Kept("MZ!p"), Check(1),
     {"list verdict trusted: signed for di04.dat, sequence 1 (highest accepted 0), expires never", "package http://p/setup.exe into " + kTarget,
      "resumed from 4 of 10 bytes", "received 6 bytes in 0 ms", "package check failed: expected 10 bytes, SHA-256 a36366c63836b549c52b86c71484d4203e3ea9f3fe5d094923f58f7a5c8c4f98; received 10 bytes, SHA-256 7c58c002d21928897f112d86431325b1a09a49fbd2f18e365a7bc780d8c6f38c",
      "once more, end to end", "whole file, end to end", "package check passed"}},
    {"kept from another address", Serve(kNewer) + Kept(kHead, "\"v1\"", "http://old/setup.exe"), Check(1),
     {"kept part of 4 bytes dropped: it is of another address, http://old/setup.exe", "whole file", "received 10 bytes",
      "package check passed: expected 10 bytes (the server's length; no signed block); received 10 bytes, SHA-256 ", "held package " + kTarget + " read again: 10 bytes"}},
    {"the rest of another version", Rest({4, true, "\"v2\"", 10}), Check(1),
     {"partial answer (HTTP 200) refused: it starts at 4 of 10, validator \"v2\"; asked for the rest from 4 of 10, validator \"v1\"", "whole file", "received 10 bytes"}},
    {"rewritten after its check", Serve(kNewer) + kRewritten, Check(-1), {"held package " + kTarget + " changed after its check: 10 bytes, SHA-256 "}},
    {"the package starts; no user information", kUpdateOn + Set("自動ｱｯﾌﾟﾃﾞｰﾄURL", "http://user:secret@u/") + Serve(kNewer, "http://user:secret@u/di04.dat"), Launch,
     {"main program " + kMain + ", version 8.1.25", "auto-update on (setting \"1\"), update address http://u/", "list http://u/di04.dat: HTTP 200",
      "versions: server 8.1.26, installed 8.1.25: newer, offered", "answered OK", "offer accepted", "package started: " + kTarget + "; the launcher ends"}},
    {"auto-update off, the main program ended since the look", [](FakePlatform& f) { f.polls = {{259, true}, {3, true}}; }, Launch,
     {"auto-update off (setting \"\"), update address " + std::string(kVendorUpdateUrl) + " (the vendor's)", "started \"" + kMain + "\" LanternfieldOn,水門,ポンプ", "ended after 100 ms: exit code 3"}},
};
// clang-format on

// Each row's scene and flow on a fresh fake with the main program 8.1.25 installed, then its
// check of what the fake holds.
template <size_t N>
void Play(const FlowCase (&rows)[N],
          const std::function<void(const FlowCase&, FakePlatform&)>& check) {
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform fake;
    fake.files = {{kMain, "MZ"}};
    fake.versions[kMain] = "8.1.0.25";
    row.scene(fake);
    try {
      row.flow(fake);
    } catch (const fakes::ProcessEnded&) {
    }
    check(row, fake);
  }
}

TEST(Flows, Logged) {
  Play(kLogged, [](const FlowCase& row, FakePlatform& fake) {
    const std::string log = testing::PrintToString(fake.log);
    EXPECT_EQ(FirstMissing(fake.log, row.journal), "") << log;
    EXPECT_EQ(log.find("secret"), std::string::npos) << log;
  });
}

TEST(Flows, Journals) {
  Play(kFlows,
       [](const FlowCase& row, FakePlatform& fake) { EXPECT_EQ(fake.journal, row.journal); });
}

}  // namespace
}  // namespace hanamizu
