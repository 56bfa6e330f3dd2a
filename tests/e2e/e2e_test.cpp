// The real launcher.exe under Wine, each outcome once, started as the host suite starts it in an
// installation of its own: each scenario is the transcript of what the user saw and what ran ("@"
// for the installation folder), with the settings and the exit code.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <filesystem>
#include <future>
#include <regex>
#include <set>
#include <sstream>

#include "harness.h"
#include "../in_order.h"

namespace hanamizu::probe {
namespace {

using Lines = std::vector<std::string>;
constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY, kHidden = FILE_ATTRIBUTE_HIDDEN;
const std::string kTitle = "ハナミズ台帳ツール", kPackage = "ハナミズ更新.exe";
const std::string kSplashCaption = "起動中・・・";
const std::string kUser = "Software\\VB and VBA Program Settings\\",
                  kProfile = ".DEFAULT\\" + kUser;
const std::string kSplash = "splash 起動中・・・|" + kTitle + " V4|起動中|";  // a frame, no caption
const std::string kMain =
    "main \"@\\Hanamizu.exe\" LanternfieldOn,水門,ポンプ,トンネル in @ show=1";
const std::string kLaunched = "ﾌﾟﾛｸﾞﾗﾑNo=3 ﾗﾝﾁｬｰ=2 exit 0";
const std::string kStopped = "ﾌﾟﾛｸﾞﾗﾑNo=3 ﾗﾝﾁｬｰ=- exit 0";
const std::string kOffer =
    "最新版への更新|現在使用中のプログラムはバージョン 8.1.25 です。\r\rサーバー上に最新バージョン"
    " 8.1.26 が更新されています。\r\r更新を実行しますか|OK|キャンセル [起動中]";
const std::string kLongTemp = "update\\" + Repeat(Repeat("長い一時フォルダー", 8) + "\\", 3) +
                              Repeat("長い一時フォルダー", 8);
const std::string kDownloading = " [" + kPackage + " ファイルをダウンロード中]";
const std::string kStarted = "package \"{local}\\hmz-*\\" + kPackage + "\" 1 in {local}\\hmz-*";
const std::string kReady =
    "確認|"
    "パッケージの更新を開始します。\r\r更新完了後、スタートメニューよりパッケージを起動してください"
    "。|OK" +
    kDownloading;
// An earlier download's folder where the package of a long update folder goes.
const std::string kEarlier = "\\hmz-0000000000000000";

struct Scenario {
  const char* name;
  // The publisher tool's options for the update list ({nginx}, {https}, {faults}: the servers;
  // {pkg}: the package as released; {key}: the tests' private key); none: auto-update off.
  std::string list = "";
  Lines transcript;  // boxes as caption|texts|buttons [the splash's status label]
  std::string command = "launcher.exe boot";  // "@" for the installation folder
  std::vector<std::pair<DWORD, std::string>> files = {{0, "PRT1.EXE"}, {0, "Hanamizu.exe"}};
  std::string oem = "", folder = "", app = "di04";
  std::string program_no = "3";  // in the default profile; read through a 256-byte buffer
  std::string temp = "update";   // TEMP, where the package goes
  std::string answer = "OK";     // the button pressed on a box that has it, else OK
  bool key_built_in = false;     // the vendor's build, with the tests' publisher key
  bool go_to_work = false;       // pressed once the bar moves; then launched again
  // PCs of an office one after another behind its squid, the system proxy, each fresh; the first
  // gets an earlier build, which then changes at the origin. Then the origin's answers for the
  // package: status, Cache-Control and Pragma as asked, the path.
  int office_pcs = 0;
  Lines log = {};  // parts of the launcher's own log's lines, in order
};

const Scenario kScenarios[] = {
    // clang-format off
    {.name = "RefusedTrailingBlank", .transcript = {kTitle + "|ハナミズ台帳ツールVer4を利用するためには\r\nMeridex V8以降のバージョンが必要です。|OK", kStopped},
     .command = "launcher.exe boot "},
    {.name = "NoToolModule", .transcript = {kTitle + "|ツールが正しくインストールされていません|OK", kStopped},
     .files = {{kHidden, "PRT2.EXE"}, {kFolder, "PRTX.EXE"}, {0, "Hanamizu.exe"}}},
    {.name = "NoMainProgram", .transcript = {kTitle + "|" + kTitle + "メインプログラムが存在しません|OK", "ﾌﾟﾛｸﾞﾗﾑNo=2 ﾗﾝﾁｬｰ=- exit 0"},
     .files = {{0, "PRT1.EXE"}, {kHidden, "Hanamizu.exe"}}, .program_no = Repeat("水", 127) + "aa"},
    {.name = "PathWithBlanks", .transcript = {"splash 起動中・・・|" + Repeat("台帳", 127) + " V4|起動中|", kMain, "ﾌﾟﾛｸﾞﾗﾑNo=" + Repeat("水", 127) + "a ﾗﾝﾁｬｰ=2 exit 0"},
     .command = "\"@\\launcher.exe\" boot", .files = {{0, "prt1.exe"}, {0, "Hanamizu.exe"}}, .oem = "[OEM]\r\nTITLE=" + Repeat("台帳", 150) + "\r\n[SETTING]\r\nREGISTRY=A1\r\n",
     .folder = "path with blanks", .app = "di04A1", .program_no = Repeat("水", 127) + "a"},
    // Read by the vendor's build: a list signed with its key, list and package over TLS.
    {.name = "UpdateAccepted", .list = "--version 8.1.26 --location {https}pkg/ --package-file {pkg} --sign {key}",
     .transcript = {kSplash, kOffer, kReady, kStarted, kLaunched},
     .oem = "[SETTING]\r\nREGISTRY=A1\r\n", .folder = "𠮷田 Zoë", .app = "di04A1", .temp = kLongTemp, .key_built_in = true,
     .log = {"launcher 4.0.0.0 in @, process ", "list https://127.0.0.1:PORT/UpdateAccepted/di04.dat: HTTP 200, ", "list verdict trusted: signed for di04.dat, sequence 1",
             "package check passed: expected ", "package started: {local}"}},
    // Gone to work at 32 KiB/s: the main program starts while the download goes on until the
    // program ends; the next launch fetches the rest.
    {.name = "GoToWork", .list = "--version 8.1.26 --location {nginx}slow/pkg/ --package-file {pkg}",
     .transcript = {kSplash, kOffer, "progress bar moving, window answering", "pressed 後で更新", kMain, kLaunched, kSplash, kOffer, kReady, kStarted, kLaunched},
     .temp = kLongTemp, .go_to_work = true,
     .log = {"the user goes to work at ", "started \"@\\Hanamizu.exe\"", " bytes arrived while the main program ran", "the main program has ended: the download stopped, its part kept", "resumed from ", "package started"}},
    {.name = "UpdateDeclined", .list = "--version 8.1.26 --location {nginx}pkg/", .transcript = {kSplash, kOffer, kMain, kLaunched}, .answer = "キャンセル",
     .log = {"answered Cancel", "offer declined"}},
    // The vendor's build refuses a list nobody signed.
    {.name = "UnsignedList", .list = "--version 8.1.26 --location {nginx}pkg/",
     .transcript = {kSplash, "確認|自動アップデートの処理が実行できません。\r\rインターネットに接続できていない、または自動アップデートの情報を取得できません。\r\r起動後、自動アップデートを無効に設定してください。|OK [起動中]", kMain, kLaunched},
     .key_built_in = true, .log = {"list verdict no block: ", "message \"確認\": 自動アップデートの処理が実行できません。  インターネット"}},
    // 200000 bytes trickle in over 2 s, then nothing: given up at the shipped limits, the windows
    // answering while the transfer stops.
    {.name = "PackageStalled", .list = "--version 8.1.26 --location {faults}hang/10000000/200000/2000/",
     .transcript = {kSplash, kOffer, "progress bar moving, window answering",
                    "確認|予期しないエラーが発生しました。\r\rダウンロードが止まりました (60 秒間に 65536 バイト未満) (http://127.0.0.1:PORT/hang/10000000/200000/2000/" + kPackage + ")|OK" + kDownloading,
                    kMain, kLaunched}},
    // An earlier build in squid fails the second PC's check and comes end to end (one that no block
    // pins always does: the flows' tests); the third PC's package comes from squid.
    {.name = "OfficeCache", .list = "--version 8.1.26 --location {nginx}office/OfficeCache/pkg/ --package-file {pkg}",
     .transcript = {kSplash, kOffer, kReady, kStarted, kLaunched, kSplash, kOffer, kReady, kStarted, kLaunched, kSplash, kOffer, kReady, kStarted, kLaunched,
                    "origin 200 \"max-age=259200\" \"\" /office/OfficeCache/pkg/" + kPackage, "origin 200 \"no-cache\" \"no-cache\" /office/OfficeCache/pkg/" + kPackage},
     .temp = kLongTemp, .office_pcs = 3},
    // clang-format on
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// Where a package goes when the update folder is too long to start it from.
const std::string kLocalRoot = [] {
  wchar_t* local = nullptr;
  SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local);
  const std::string root = Utf8(local) + "\\Hanamizu";
  CoTaskMemFree(local);
  return root;
}();
// The package started, from a folder of its own, or the empty text.
std::string Downloaded() {
  for (const auto& folder : std::filesystem::directory_iterator(Wide(kLocalRoot))) {
    const std::string name = "\\" + Utf8(folder.path().filename().wstring());
    if (name != kEarlier && name.starts_with("\\hmz-")) return kLocalRoot + name + "\\" + kPackage;
  }
  return "";
}

// The installation: the programs, oem.ini, the settings, an earlier package, and the update
// list served as the vendor's publisher writes it.
void Install(const Scenario& s, const std::string& dir, const std::string& update) {
  FreshFolder(dir);
  FreshFolder(kLocalRoot);
  std::filesystem::create_directories(L"\\\\?\\" + Wide(update));
  for (auto [attributes, name] : s.files) {
    const std::wstring path = Wide(dir + "\\" + name);
    if (attributes == kFolder) {
      CreateDirectoryW(path.c_str(), nullptr);
    } else {
      CopyFileW(Wide(Beside(name.starts_with("Hanamizu") ? name : "PRT1.EXE")).c_str(),
                path.c_str(), 0);
    }
    SetFileAttributesW(path.c_str(), attributes);
  }
  CopyFileW(Wide(Beside(s.key_built_in ? "launcher_signed.exe" : "launcher.exe")).c_str(),
            Wide(dir + "\\launcher.exe").c_str(), 0);
  WriteBytes(dir + "\\Hanamizu.control.txt", "exit_code=259\ndelay_ms=1500\n");  // a real 259
  std::filesystem::create_directories(Wide(kLocalRoot + kEarlier));
  WriteBytes(kLocalRoot + kEarlier + "\\" + kPackage, "an earlier package");
  if (!s.oem.empty()) WriteBytes(dir + "\\oem.ini", Utf8(Wide(s.oem), 932));
  RegDeleteTreeW(HKEY_CURRENT_USER, Wide(kUser).c_str());
  RegDeleteTreeW(HKEY_USERS, Wide(kProfile).c_str());
  const std::string settings = kUser + s.app + "\\system";
  SetSetting(HKEY_CURRENT_USER, settings, "ﾌﾟﾛｸﾞﾗﾑNo", "2");
  SetSetting(HKEY_USERS, kProfile + s.app + "\\system", "ﾌﾟﾛｸﾞﾗﾑNo", s.program_no);
  SetEnvironmentVariableW(L"TEMP", Wide(update).c_str());
  if (s.list.empty()) return;
  const std::string www = Server("www") + s.name;
  std::filesystem::create_directories(Wide(www));
  // A list of its own at every run: one written before would raise the sequence.
  std::filesystem::remove(Wide(www + "\\di04.dat"));
  std::string options = s.list;
  for (const auto& [from, to] : std::initializer_list<std::pair<std::string, std::string>>{
           {"{nginx}", Server("nginx")},
           {"{https}", Server("https")},
           {"{faults}", Server("faults")},
           {"{pkg}", "\"" + Server("www") + "pkg\\" + kPackage + "\""},
           {"{key}", "\"" + Beside("publisher.pem") + "\""}})
    options = Replace(options, from, to);
  Process tool("\"" + Beside("updatelist.exe") + "\" write \"" + www + "\\di04.dat\" --package " +
                   kPackage + " " + options,
               www);
  ASSERT_TRUE(tool.Ended(20000) && tool.ExitCode() == 0);
  const bool tls = s.list.find("{https}") != std::string::npos;
  SetSetting(HKEY_CURRENT_USER, settings, "自動ｱｯﾌﾟﾃﾞｰﾄ", "1");
  SetSetting(HKEY_CURRENT_USER, settings, "自動ｱｯﾌﾟﾃﾞｰﾄURL",
             Server(tls ? "https" : "nginx") + s.name + "/");
}

class EndToEnd : public ::testing::TestWithParam<Scenario> {};

TEST_P(EndToEnd, Scenario) {
  const Scenario& s = GetParam();
  TrustTestCertificate();
  // The package as released.
  const std::string released = ReadBytes(Beside("HanamizuSetup.exe"));
  const std::string pkg = Server("www") + "pkg\\" + kPackage;
  std::filesystem::create_directories(Wide(Server("www") + "pkg"));
  WriteBytes(pkg, released + (s.office_pcs ? "an earlier build" : ""));
  // On another drive than the one current for the host suite.
  const std::string dir = "D:\\e2e\\" + (s.folder.empty() ? s.name : s.folder);
  const std::string update = dir + "\\" + s.temp;
  const std::string main = dir + "\\Hanamizu.exe", settings = kUser + s.app + "\\system";
  Install(s, dir, update);
  const bool started = std::any_of(s.transcript.begin(), s.transcript.end(),
                                   [](auto& line) { return line.starts_with("package "); });

  const SystemProxy office(s.office_pcs ? Server("squid") : "");

  Lines seen;
  std::string package;
  for (int launch = 0; launch < std::max(1 + s.go_to_work, s.office_pcs); ++launch) {
    if (launch && s.office_pcs) {  // another PC, the package as released now
      WriteBytes(pkg, released);
      Install(s, dir, update);
    }
    DeleteFileW(Wide(dir + "\\Hanamizu.record.txt").c_str());
    Process launcher(Replace(s.command, "@", dir), "C:\\windows", dir + "\\launcher.exe");
    HWND splash = nullptr;
    ULONGLONG splash_at = GetTickCount64(), main_at = 0, bar_moved_at = 0;
    bool splash_gone_at_main = false, launcher_ran_at_main = false;
    bool bar_unanswered = false, pressed = false;  // asked for the download's progress
    std::set<DWORD_PTR> bar_positions;
    std::future<bool> blank_splash;
    size_t splash_line = 0;
    size_t bar_at = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
          for (HWND bar : Controls(splash, PROGRESS_CLASSW)) {
            DWORD_PTR position = 0;
            if (bar_positions.empty()) bar_at = seen.size();
            // A busy 2-core machine may hold one reply back a little; a thread that sits in the
            // transfer does not answer for the whole download. A bar destroyed since it was
            // listed is no hung window.
            if (SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 500, &position)) {
              if (bar_positions.insert(position).second) bar_moved_at = GetTickCount64();
            } else if (GetLastError() == ERROR_TIMEOUT && IsWindow(bar))
              bar_unanswered = true;
          }
          for (HWND window : Windows(launcher.id)) {
            if (Text(window) == kSplashCaption && !splash) {
              splash_line = seen.size();
              seen.push_back("splash " + Describe(splash = window));
              // As the demo's screenshot shows it, taken beside the watch: painted, not one colour
              // (where no box may come up over it meanwhile).
              if (s.list.empty())
                blank_splash = std::async(std::launch::async, [window] {
                  const std::string shot =
                      std::getenv("HANAMIZU_TEST_SERVERS") + std::string("/s.ppm");
                  SaveScreenshot(window, shot, true);
                  const std::string ppm = ReadBytes("Z:" + shot);  // after "P6 W H 255", RGB
                  bool blank = true;
                  for (size_t rgb = ppm.find("\n255\n") + 8; rgb + 3 <= ppm.size(); rgb += 3)
                    blank = blank && ppm.compare(rgb, 3, ppm, rgb - 3, 3) == 0;
                  return blank && IsWindow(window);  // a splash gone meanwhile shows nothing
                });
            } else if (Text(window) != kSplashCaption && !Describe(window).empty() &&
                       seen.size() < 20) {  // a box, not the shell's blank helper
              const auto labels = Controls(splash, L"Static");
              seen.push_back(Describe(window) +
                             (labels.empty() ? "" : " [" + Text(labels.back()) + "]"));
              // A download given up is said soon after its last progress.
              EXPECT_LT(GetTickCount64() - std::max(bar_moved_at, splash_at), 70000u);
              if (!Press(window, s.answer)) Press(window, "OK");
            }
          }
          if (s.go_to_work && !launch && bar_positions.size() > 1 && !pressed) {
            pressed = Press(splash, "後で更新");
            seen.push_back("pressed 後で更新");
          }
          if (!splash) splash_at = GetTickCount64();
          if (!main_at && !Record(main).empty()) {
            main_at = GetTickCount64();
            splash_gone_at_main = !IsWindow(splash);
            launcher_ran_at_main = !launcher.Ended();
          }
          return launcher.Ended();
        },
        std::chrono::seconds(120)));
    const ULONGLONG ended = GetTickCount64();
    if (blank_splash.valid() && blank_splash.get()) seen[splash_line] += " (blank)";
    // A download too quick to watch moves no bar here; after the first launch, and behind squid,
    // whether it moves is a matter of how quickly the rest comes.
    if (bar_positions.size() > 1 && !launch && !s.office_pcs) {
      seen.insert(seen.begin() + static_cast<ptrdiff_t>(bar_at),
                  std::string("progress bar moving, window ") +
                      (bar_unanswered ? "not answering" : "answering"));
    }
    // The package starts, from a folder of its own, as the last launcher ends.
    WaitUntil(
        [&] { return !Record(package = Downloaded()).empty(); },
        std::chrono::milliseconds((started && (launch == s.go_to_work || s.office_pcs)) * 5000));
    if (auto run = Record(main); !run.empty()) {
      seen.push_back("main " + run["command_line"] + " in " + run["current_directory"] +
                     " show=" + run["show_window"]);
      // Up three seconds at least and gone before the main program came, which the launcher
      // waited for.
      EXPECT_GE(std::stoull(run["start_tick_ms"]), splash_at + (pressed ? 0 : 3000));
      EXPECT_TRUE(splash_gone_at_main && launcher_ran_at_main);
      EXPECT_GE(ended, std::stoull(run["start_tick_ms"]) + 1500);
    }
    if (auto run = Record(package); !run.empty())
      seen.push_back("package " + run["command_line"] + " in " + run["current_directory"]);
    seen.push_back("ﾌﾟﾛｸﾞﾗﾑNo=" + Setting(HKEY_CURRENT_USER, settings, "ﾌﾟﾛｸﾞﾗﾑNo") +
                   " ﾗﾝﾁｬｰ=" + Setting(HKEY_CURRENT_USER, settings, "ﾗﾝﾁｬｰ") + " exit " +
                   std::to_string(launcher.ExitCode()));
  }
  std::istringstream origin(ReadBytes(Server("www") + "..\\origin.log"));
  for (std::string line; s.office_pcs && std::getline(origin, line);)  // bytes, status, ...
    if (line.find(s.name + std::string("/pkg/")) != std::string::npos)
      seen.push_back("origin" + line.substr(line.find(' ')));
  // The launcher's own log, its addresses without their ports.
  std::istringstream log_file(ReadBytes(kLocalRoot + "\\" + s.app + "\\launcher.log"));
  Lines log;
  for (std::string line; std::getline(log_file, line);) log.push_back(line);
  for (Lines* lines : {&seen, &log}) {
    for (auto& line : *lines) {
      line = std::regex_replace(Replace(Replace(line, kLocalRoot, "{local}"), dir, "@"),
                                std::regex("hmz-[0-9a-f]{16}"), "hmz-*");
      line = std::regex_replace(line, std::regex(":[0-9]+/"), ":PORT/");
    }
  }
  EXPECT_EQ(seen, s.transcript);
  EXPECT_EQ(FirstMissing(log, s.log), "") << testing::PrintToString(log);
  // Only a package as released starts; the earlier download's folder goes then.
  EXPECT_EQ(started ? ReadBytes(package) : released, released);
  EXPECT_EQ(std::filesystem::exists(Wide(kLocalRoot + kEarlier)), !started);
}

INSTANTIATE_TEST_SUITE_P(Launcher, EndToEnd, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hanamizu::probe
