// The real launcher.exe under Wine, each outcome once, started as the host suite starts it in an
// installation of its own: each scenario is the transcript of what the user saw and what ran ("@"
// for the installation folder), then the settings and the exit code.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <set>

#include "probe.h"

namespace hanamizu::probe {
namespace {

using Lines = std::vector<std::string>;
constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY, kHidden = FILE_ATTRIBUTE_HIDDEN;
// clang-format off
const std::string kTitle = "ハナミズ台帳ツール", kPackage = "ハナミズ更新.exe", kSplashCaption = "起動中・・・";
const std::string kUser = "Software\\VB and VBA Program Settings\\", kProfile = ".DEFAULT\\" + kUser;
const std::string kSplash = "splash 起動中・・・|" + kTitle + " V4|起動中|";  // the frame has no caption
const std::string kMain = "main \"@\\Hanamizu.exe\" LanternfieldOn,水門,ポンプ,トンネル in @ show=1";
const std::string kLaunched = "ﾌﾟﾛｸﾞﾗﾑNo=3 ﾗﾝﾁｬｰ=2 exit 0", kStopped = "ﾌﾟﾛｸﾞﾗﾑNo=3 ﾗﾝﾁｬｰ=- exit 0";
const std::string kRefused = kTitle + "|ハナミズ台帳ツールVer4を利用するためには\r\nMeridex V8以降のバージョンが必要です。|OK";
const std::string kOffer = "最新版への更新|現在使用中のプログラムはバージョン 8.1.25 です。\r\rサーバー上に最新バージョン 8.1.26 が更新されています。\r\r更新を実行しますか|OK|キャンセル";
const std::string kUnexpected = "確認|予期しないエラーが発生しました。\r\r", kStatus = " [起動中]";
const std::string kLong = "update\\" + Repeat("長い一時フォルダー", 8) + "\\" + Repeat("長い一時フォルダー", 8) + "\\" + Repeat("長い一時フォルダー", 8) + "\\" + Repeat("長い一時フォルダー", 8);
const std::string kUnusable = "確認|自動アップデートの処理が実行できません。\r\rインターネットに接続できていない、または自動アップデートの情報を取得できません。\r\r起動後、自動アップデートを無効に設定してください。|OK";
const std::string kNotReleased = "ダウンロードしたパッケージが発行元の署名した内容と一致しません (http://127.0.0.1:PORT/";
const std::string kCut = kUnexpected + "受信したデータが途中で切れています (100000 / SIZE バイト) (http://127.0.0.1:PORT/";
const std::string kStarted = "package \"@\\update\\" + kPackage + "\" 1 in @\\update";
const std::string kDownloading = " [" + kPackage + " ファイルをダウンロード中]";
const std::string kReady = "確認|パッケージの更新を開始します。\r\r更新完了後、スタートメニューよりパッケージを起動してください。|OK" + kDownloading;
// clang-format on

struct Scenario {
  const char* name;
  // None (auto-update off), an address, a body, or the publisher tool's options ({nginx},
  // {faults}).
  std::string list;
  Lines transcript;  // boxes as caption|text|buttons [the splash's status label]
  std::string command = "launcher.exe boot";  // "@" for the installation folder
  std::vector<std::pair<DWORD, std::string>> files = {{0, "PRT1.EXE"}, {0, "Hanamizu.exe"}};
  std::string oem = "", folder = "", app = "di04";
  std::string program_no = "3";  // in the default profile; read through a 256-byte buffer
  std::string temp = "update";   // TEMP, where the package goes
  bool key_built_in = false;     // the vendor's build, with the tests' publisher key
  int launches = 1;              // the earlier ones only have their boxes answered
};

const Scenario kScenarios[] = {
    // clang-format off
    {"RefusedCapitals", "", {kRefused, kStopped}, "launcher.exe BOOT"},
    {"RefusedTrailingBlank", "", {kRefused, kStopped}, "launcher.exe boot "},
    {"NoToolModule", "", {kTitle + "|ツールが正しくインストールされていません|OK", kStopped}, "launcher.exe boot",
     {{kHidden, "PRT2.EXE"}, {FILE_ATTRIBUTE_SYSTEM, "PRT3.EXE"}, {kFolder, "PRTX.EXE"}, {0, "Hanamizu.exe"}}},
    {"NoMainProgram", "", {kTitle + "|" + kTitle + "メインプログラムが存在しません|OK", "ﾌﾟﾛｸﾞﾗﾑNo=2 ﾗﾝﾁｬｰ=- exit 0"}, "launcher.exe boot",
     {{0, "PRT1.EXE"}, {kHidden, "Hanamizu.exe"}}, "", "", "di04", Repeat("水", 127) + "aa"},
    {"NormalRun", "", {kSplash, kMain, kLaunched}, "\"@\\launcher.exe\" boot"},
    {"PathWithBlanks", "", {"splash 起動中・・・|" + Repeat("台帳", 127) + " V4|起動中|", kMain, "ﾌﾟﾛｸﾞﾗﾑNo=" + Repeat("水", 127) + "a ﾗﾝﾁｬｰ=2 exit 0"}, "launcher.exe boot",
     {{0, "prt1.exe"}, {0, "Hanamizu.exe"}}, "[OEM]\r\nTITLE=" + Repeat("台帳", 150) + "\r\n[SETTING]\r\nREGISTRY=A1\r\n", "path with blanks", "di04A1", Repeat("水", 127) + "a"},
    {"UpdateAccepted", "--version 8.1.26 --location {nginx}pkg/", {kSplash, kOffer + kStatus, kReady, "package \"@\\update\\" + kPackage + "\" 1 in @\\update", kLaunched}, "launcher.exe boot", {{0, "PRT1.EXE"}, {0, "Hanamizu.exe"}}, "[SETTING]\r\nREGISTRY=A1\r\n", "𠮷田 Zoë", "di04A1"},
    {"LongTemp", "--version 8.1.26 --location {nginx}pkg/", {kSplash, kOffer + kStatus, kReady, "package \"@\\" + kLong + "\\" + kPackage + "\" 1 in @\\" + kLong, kLaunched}, "launcher.exe boot", {{0, "PRT1.EXE"}, {0, "Hanamizu.exe"}}, "", "", "di04", "3", kLong},
    {"UpdateDeclined", "--version 8.1.26 --location {nginx}pkg/", {kSplash, kOffer + kStatus, kMain, kLaunched}},
    {"SameVersion", "--version 8.1.25 --location {nginx}pkg/", {kSplash, kMain, kLaunched}},
    {"OtherMajorVersion", "--version 9.0.0 --location {nginx}pkg/", {kSplash, "確認|バージョン情報が正しくありません。　9|OK" + kStatus, kMain, kLaunched}},
    {"UnusableList", "<html>no list</html>", {kSplash, kUnusable + kStatus, kMain, kLaunched}},
    {"ServerDown", "http://127.0.0.1:1/", {kSplash, kUnexpected + "サーバーへの接続試行は失敗しました。 (http://127.0.0.1:PORT/di04.dat)|OK" + kStatus, kMain, kLaunched}},
    {"PackageMissing", "--version 8.1.26 --location {nginx}nowhere/", {kSplash, kOffer + kStatus, kUnexpected + "サーバーが応答 404 Not Found を返しました (http://127.0.0.1:PORT/nowhere/" + kPackage + ")|OK" + kDownloading, kMain, kLaunched}},
    // Half of the package trickles in over 3 s, then the connection drops.
    {"PackageCut", "--version 8.1.26 --location {faults}slow/1000000/500000/3000/", {kSplash, kOffer + kStatus, "progress bar moving, window answering, repainted",
     kUnexpected + "受信したデータが途中で切れています (500000 / 1000000 バイト) (http://127.0.0.1:PORT/slow/1000000/500000/3000/" + kPackage + ")|OK" + kDownloading, kMain, kLaunched}},
    // Signed lists ({pkg}: the package as released, {key}/{other}: private keys; {flip}: one byte
    // of the record changed after signing) read by the vendor's build; {https}: list and package
    // over TLS.
    {.name = "SignedUpdate", .list = "--version 8.1.26 --location {https}pkg/ --package-file {pkg} --sign {key}", .transcript = {kSplash, kOffer + kStatus, kReady, "package \"@\\update\\" + kPackage + "\" 1 in @\\update", kLaunched}, .key_built_in = true},
    {.name = "UnsignedList", .list = "--version 8.1.26 --location {nginx}pkg/", .transcript = {kSplash, kUnusable + kStatus, kMain, kLaunched}, .key_built_in = true},
    {.name = "OtherKey", .list = "--version 8.1.26 --location {nginx}pkg/ --package-file {pkg} --sign {other}", .transcript = {kSplash, kUnusable + kStatus, kMain, kLaunched}, .key_built_in = true},
    {.name = "ChangedRecord", .list = "--version 8.1.26 --location {nginx}pkg/ --package-file {pkg} --sign {key}{flip}", .transcript = {kSplash, kUnusable + kStatus, kMain, kLaunched}, .key_built_in = true},
    {.name = "ChangedPackage", .list = "--version 8.1.26 --location {nginx}altered/ --package-file {pkg} --sign {key}", .transcript = {kSplash, kOffer + kStatus, kUnexpected + kNotReleased + "altered/" + kPackage + ")|OK" + kDownloading, kMain, kLaunched}, .key_built_in = true},
    {.name = "LongerPackage", .list = "--version 8.1.26 --location {nginx}longer/ --package-file {pkg} --sign {key}", .transcript = {kSplash, kOffer + kStatus, kUnexpected + kNotReleased + "longer/" + kPackage + ")|OK" + kDownloading, kMain, kLaunched}, .key_built_in = true},
    // Cut at 100000 bytes the first time; then the server goes on from there, answers with the
    // whole file ignoring Range, or has a new version: the package is whole either way.
    {.name = "ResumedPackage", .list = "--version 8.1.26 --location {faults}partial/100000/pkg/ --package-file {pkg}",
     .transcript = {kOffer, kCut + "partial/100000/pkg/" + kPackage + ")|OK", kSplash, kOffer + kStatus, kReady, kStarted, kLaunched}, .launches = 2},
    {.name = "RangeIgnored", .list = "--version 8.1.26 --location {faults}norange/100000/pkg/ --package-file {pkg}",
     .transcript = {kOffer, kCut + "norange/100000/pkg/" + kPackage + ")|OK", kSplash, kOffer + kStatus, kReady, kStarted, kLaunched}, .launches = 2},
    {.name = "NewVersionMeanwhile", .list = "--version 8.1.26 --location {faults}newetag/100000/pkg/ --package-file {pkg}",
     .transcript = {kOffer, kCut + "newetag/100000/pkg/" + kPackage + ")|OK", kSplash, kOffer + kStatus, kReady, kStarted, kLaunched}, .launches = 2},
    {"DownloadModeOne", "--version 8.1.26 --mode 1 --location {nginx}pkg/", {kSplash, kOffer + kStatus, kMain, kLaunched}},
    // clang-format on
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

class EndToEnd : public ::testing::TestWithParam<Scenario> {};

TEST_P(EndToEnd, Scenario) {
  const Scenario& s = GetParam();
  ASSERT_EQ(GetACP(), 932u) << "the launcher's users have the Japanese code page";
  TrustTestCa();
  // The package as released, one byte changed, one byte longer; another publisher's key.
  const std::string released = ReadBytes(Beside("HanamizuSetup.exe"));
  const std::pair<const char*, std::string> served[] = {
      {"pkg", released},
      {"altered", released.substr(0, 99) + "!" + released.substr(100)},
      {"longer", released + "!"}};
  for (const auto& [folder, bytes] : served) {
    std::filesystem::create_directories(Wide(Server("www") + folder));
    WriteBytes(Server("www") + folder + "\\" + kPackage, bytes);
  }
  if (ReadBytes(Beside("other.pem")).empty())
    Process(Beside("updatelist.exe") + " keygen other.pem other.pub.pem", Beside("")).Ended(20000);
  // The installation, on another drive than the one current for the host suite.
  const std::string dir = "D:\\e2e\\" + (s.folder.empty() ? s.name : s.folder);
  const std::string update = dir + "\\" + s.temp, package = update + "\\" + kPackage;
  RemoveTree(dir);
  // The prefix takes paths beyond MAX_PATH, but not a folder whose parents are all missing.
  std::filesystem::create_directories(Wide(dir));
  std::filesystem::create_directories(L"\\\\?\\" + Wide(update));
  for (auto [attributes, name] : s.files) {
    const std::wstring path = Wide(dir + "\\" + name);
    const std::wstring from = Wide(Beside(name.starts_with("Hanamizu") ? name : "PRT1.EXE"));
    if (attributes == kFolder)
      CreateDirectoryW(path.c_str(), nullptr);
    else
      CopyFileW(from.c_str(), path.c_str(), 0);
    SetFileAttributesW(path.c_str(), attributes);
  }
  CopyFileW(Wide(Beside(s.key_built_in ? "launcher_signed.exe" : "launcher.exe")).c_str(),
            Wide(dir + "\\launcher.exe").c_str(), 0);
  WriteBytes(dir + "\\Hanamizu.control.txt", "exit_code=259\ndelay_ms=1500\n");  // a real 259
  WriteBytes(package, "an earlier package");
  if (!s.oem.empty()) WriteBytes(dir + "\\oem.ini", Utf8(Wide(s.oem), 932));
  RegDeleteTreeW(HKEY_CURRENT_USER, Wide(kUser).c_str());
  RegDeleteTreeW(HKEY_USERS, Wide(kProfile).c_str());
  const std::string settings = kUser + s.app + "\\system";
  SetSetting(HKEY_CURRENT_USER, settings, "ﾌﾟﾛｸﾞﾗﾑNo", "2");
  SetSetting(HKEY_USERS, kProfile + s.app + "\\system", "ﾌﾟﾛｸﾞﾗﾑNo", s.program_no);
  if (!s.list.empty()) {  // served as the vendor's publisher writes it
    const bool tls = s.list.find("{https}") != std::string::npos;
    const std::string www = Server("www") + s.name,
                      url = Server(tls ? "https" : "nginx") + s.name + "/";
    std::filesystem::create_directories(Wide(www));
    std::string options = s.list;
    for (const auto& [from, to] : std::initializer_list<std::pair<std::string, std::string>>{
             {"{nginx}", Server("nginx")},
             {"{https}", Server("https")},
             {"{faults}", Server("faults")},
             {"{flip}", ""},
             {"{pkg}", "\"" + Server("www") + "pkg\\" + kPackage + "\""},
             {"{key}", "\"" + Beside("publisher.pem") + "\""},
             {"{other}", "\"" + Beside("other.pem") + "\""}})
      options = Replace(options, from, to);
    Process tool("\"" + Beside("updatelist.exe") + "\" write \"" + www + "\\di04.dat\" --package " +
                     kPackage + " " + options,
                 www);
    ASSERT_TRUE(s.list[0] == '<' || s.list[0] == 'h' ||
                (tool.Ended(20000) && tool.ExitCode() == 0));
    if (s.list[0] == '<') WriteBytes(www + "\\di04.dat", s.list);
    if (s.list.ends_with("{flip}")) {  // ServerBuild 26 becomes 27
      const std::string list = ReadBytes(www + "\\di04.dat");
      WriteBytes(www + "\\di04.dat", list.substr(0, 10) + "\x1B" + list.substr(11));
    }
    SetSetting(HKEY_CURRENT_USER, settings, "自動ｱｯﾌﾟﾃﾞｰﾄ", "1");
    SetSetting(HKEY_CURRENT_USER, settings, "自動ｱｯﾌﾟﾃﾞｰﾄURL", s.list[0] == 'h' ? s.list : url);
  }
  SetEnvironmentVariableW(L"TEMP", Wide(update).c_str());

  Lines seen;
  for (int earlier = 1; earlier < s.launches; ++earlier) {  // an earlier attempt: its boxes, OK
    Process first(Replace(s.command, "@", dir), "C:\\windows", dir + "\\launcher.exe");
    std::set<HWND> answered;
    ASSERT_TRUE(WaitUntil(
        [&] {
          for (HWND window : Windows(first.id)) {
            if (Text(window) == kSplashCaption || Describe(window).empty() ||
                !answered.insert(window).second)
              continue;
            seen.push_back(Describe(window)), Press(window, "OK");
          }
          return first.Ended();
        },
        std::chrono::seconds(60)));
    DeleteFileW(Wide(dir + "\\Hanamizu.record.txt").c_str());
  }
  Process launcher(Replace(s.command, "@", dir), "C:\\windows", dir + "\\launcher.exe");
  HWND splash = nullptr;
  ULONGLONG splash_after = GetTickCount64(), main_seen = 0;
  bool splash_gone_at_main = false, running_at_main = false, bar_unanswered = false;
  bool invalidated = false, repainted = false;  // the splash, uncovered while the bar moves
  std::set<DWORD_PTR> bar_positions;            // a download's progress, asked of the bar
  size_t bar_at = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (HWND bar : Controls(splash, L"msctls_progress32")) {
          DWORD_PTR position = 0;
          if (bar_positions.empty()) bar_at = seen.size();
          if (invalidated && !repainted) repainted = !GetUpdateRect(splash, nullptr, FALSE);
          if (!invalidated) invalidated = InvalidateRect(splash, nullptr, TRUE);
          // A busy 2-core machine may hold one reply back a little; a thread that sits in
          // the transfer does not answer for the whole download. A bar destroyed since it
          // was listed is no hung window.
          if (SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 500, &position))
            bar_positions.insert(position);
          else if (GetLastError() == ERROR_TIMEOUT && IsWindow(bar))
            bar_unanswered = true;
        }
        for (HWND window : Windows(launcher.id)) {
          if (Text(window) == kSplashCaption && !splash) {
            seen.push_back("splash " + Describe(splash = window));
          } else if (Text(window) != kSplashCaption && !Describe(window).empty() &&
                     seen.size() < 9) {  // a box, not the shell's blank helper
            const auto labels = Controls(splash, L"Static");
            seen.push_back(Describe(window) +
                           (labels.empty() ? "" : " [" + Text(labels.back()) + "]"));
            if (s.name != std::string("UpdateDeclined") || !Press(window, "キャンセル"))
              Press(window, "OK");
          }
        }
        if (!splash) splash_after = GetTickCount64();
        if (!main_seen && !Record(dir + "\\Hanamizu.exe").empty()) {
          main_seen = GetTickCount64(), splash_gone_at_main = !IsWindow(splash),
          running_at_main = !launcher.Ended();
        }
        return launcher.Ended();
      },
      std::chrono::seconds(60)));
  const ULONGLONG ended = GetTickCount64();
  if (bar_positions.size() > 1) {  // a download too quick to watch moves no bar here
    seen.insert(seen.begin() + static_cast<ptrdiff_t>(bar_at),
                std::string("progress bar moving, window ") +
                    (bar_unanswered ? "not answering" : "answering") +
                    (repainted ? ", repainted" : ", not repainted"));
  }
  // The package starts as the launcher ends.
  const bool started =
      std::any_of(s.transcript.begin(), s.transcript.end(),
                  [](const std::string& line) { return line.starts_with("package "); });
  WaitUntil([&] { return !Record(package).empty(); }, std::chrono::milliseconds(started * 5000));
  for (const auto& [what, program] :
       {std::pair{"main ", dir + "\\Hanamizu.exe"}, {"package ", package}}) {
    auto run = Record(program);
    if (!run.empty()) {
      seen.push_back(what + run["command_line"] + " in " + run["current_directory"] +
                     (what[0] == 'm' ? " show=" + run["show_window"] : ""));
    }
  }
  seen.push_back("ﾌﾟﾛｸﾞﾗﾑNo=" + Setting(HKEY_CURRENT_USER, settings, "ﾌﾟﾛｸﾞﾗﾑNo") +
                 " ﾗﾝﾁｬｰ=" + Setting(HKEY_CURRENT_USER, settings, "ﾗﾝﾁｬｰ") + " exit " +
                 std::to_string(launcher.ExitCode()));
  // The shell was given a path too long for it in its short form.
  for (const std::string& path : {package, update}) {
    std::wstring brief(32768, L'\0');
    brief.resize(GetShortPathNameW(Wide("\\\\?\\" + path).c_str(), brief.data(), 32768));
    if (brief.size() > 4) {
      for (auto& line : seen) line = Replace(line, Utf8(brief.substr(4)), path);
    }
  }
  for (auto& line : seen)
    line = Replace(Replace(line, dir, "@"), std::to_string(released.size()), "SIZE");
  EXPECT_EQ(seen, s.transcript);
  // Only a downloaded package replaces the earlier one; a failed download leaves no file behind.
  EXPECT_EQ(ReadBytes(package), Record(package).empty()
                                    ? "an earlier package"
                                    : ReadBytes(Server("www") + "pkg\\" + kPackage));
  for (const auto& entry : std::filesystem::directory_iterator(L"\\\\?\\" + Wide(update))) {
    EXPECT_NE(entry.path().extension(), L".tmp") << "a download left its temporary file";
  }
  if (s.name != std::string("NormalRun")) return;
  // Up at least three seconds, gone before the main program came; the launcher waited for it.
  const ULONGLONG main_start = std::stoull(Record(dir + "\\Hanamizu.exe")["start_tick_ms"]);
  EXPECT_GE(main_start, splash_after + 3000);
  EXPECT_TRUE(splash_gone_at_main && running_at_main);
  EXPECT_GE(ended, main_start + 1500) << "the launcher did not wait for the main program";
}

INSTANTIATE_TEST_SUITE_P(Launcher, EndToEnd, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hanamizu::probe
