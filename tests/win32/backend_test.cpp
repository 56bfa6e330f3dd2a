// What only the real backend shows: time-outs and caching of downloads, files, processes and
// errors at their edges, the message boxes' icons and the splash window in its own process.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "common/app_error.h"
#include "harness.h"
#include "launcher/splash.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"

namespace hanamizu::win32 {
namespace {

using namespace probe;

// What a call gives, or the error it throws as "number description".
std::string Outcome(const std::function<std::string()>& call) {
  try {
    return call();
  } catch (const AppError& error) {
    return std::to_string(error.number()) + " " + error.description();
  }
}

// What arrives, and for a watched download how its progress went.
struct Received : ByteSink, DownloadProgress {
  void Start(const DownloadStart& answer) override {
    const auto number = [](std::optional<uint64_t> n) { return n ? std::to_string(*n) : "?"; };
    start = (answer.partial ? "part " : "whole ") + number(answer.offset) + "/" +
            number(answer.whole_length) + " " + answer.validator + ": ";
  }
  void Write(std::string_view bytes) override {
    if (disk_full) throw AppError(112, "ディスクがいっぱいです。 (D:\\x)");
    text += bytes;
  }
  void Progress(uint64_t received, std::optional<uint64_t> announced) override {
    ++calls;
    last = std::to_string(received) + "/" + std::to_string(announced.value_or(0));
  }
  std::string start, text, last;
  bool disk_full = false;
  int calls = 0;
};

enum class How { kPlain, kDiskFull, kWatched, kDeadline, kResumed };
struct DownloadCase {
  const char* name;
  How how;
  std::string url, outcome;
};

TEST(Backend, DownloadsTimeOutAndAreNeverCached) {
  const std::string www = Server("www"), nginx = Server("nginx"), faults = Server("faults");
  const std::string https = Server("https"), untrusted = Server("untrusted");
  const std::string distrusted = "サーバーの証明書を信頼できないため接続しませんでした: ";
  const std::string say = faults + "say?status=";
  WriteBytes(www + "changes.txt", "before");
  WriteBytes(www + "empty", "");
  WriteBytes(www + "tls", "secure");
  TrustTestCa();
  // clang-format off
  const DownloadCase cases[] = {
      {"redirected", How::kPlain, nginx + "redirect/changes.txt", "before"},
      {"the file's own error", How::kDiskFull, nginx + "changes.txt", "112 ディスクがいっぱいです。 (D:\\x)"},
      {"not found", How::kPlain, nginx + "nowhere", "404 サーバーが応答 404 Not Found を返しました (" + nginx + "nowhere)"},
      {"no answer", How::kPlain, faults + "stall", "12030 サーバーへの接続は終了されました。 (" + faults + "stall)"},
      {"silent after a part", How::kPlain, faults + "hang/1000/10/0", "10060 Windows error 10060 (" + faults + "hang/1000/10/0)"},
      {"empty", How::kPlain, nginx + "empty", ""},
      {"redirected round", How::kPlain, nginx + "loop", "12156 転送が 10 回を超えました (" + nginx + "loop)"},
      {"not http", How::kPlain, "ftp://127.0.0.1/x", "12006 URL スキームを認識できなかったかサポートしていません。 (ftp://127.0.0.1/x)"},
      {"over TLS", How::kPlain, https + "tls", "secure"},
      {"TLS to plain", How::kPlain, https + "downgrade/tls", "12040 安全な接続 (https) から安全でない接続への転送を拒否しました: " + nginx + "tls (" + https + "downgrade/tls)"},
      {"a CA nobody trusts", How::kPlain, untrusted + "tls", "12057 " + distrusted + "Windows error 12057 (" + untrusted + "tls)"},
      {"progress in steps", How::kWatched, faults + "slow/2000/2000/1000", std::string(2000, 'c') + " 2000/2000"},
      {"past the deadline", How::kDeadline, faults + "slow/1000/1000/3000", "12002 ダウンロードが 1 秒以内に終わりませんでした (" + faults + "slow/1000/1000/3000)"},
      {"stalled", How::kPlain, faults + "slow/100/15/4000", "12002 ダウンロードが止まりました (2 秒間に 64 バイト未満) (" + faults + "slow/100/15/4000)"},
      // Asked for the rest from byte 2: only exactly that, up to the end, tells where it goes.
      {"the rest", How::kResumed, say + "206&ETag=%22v1%22&Content-Range=bytes+2-5%2F6&body=fore", "part 2/6 \"v1\": fore"},
      {"the rest without its range", How::kResumed, say + "206&ETag=%22v1%22&body=fore", "part ?/? \"v1\": fore"},
      {"the rest of no known length", How::kResumed, say + "206&Content-Range=bytes+2-5%2F*&body=fore", "part ?/? : fore"},
      {"not up to the end", How::kResumed, say + "206&Content-Range=bytes+2-4%2F6&body=for", "part ?/? : for"},
      {"not in the form", How::kResumed, say + "206&Content-Range=bytes%3D2-5%2F6&body=fore", "part ?/? : fore"},
      {"a weak ETag names no version", How::kResumed, say + "200&ETag=W%2F%22v1%22&Content-Length=6&body=before", "whole 0/6 : before"},
      {"chunked, cut", How::kResumed, say + "200&Transfer-Encoding=chunked&body=4%0D%0AMZ!p%0D%0A", "whole 0/? : MZ!p"},
      {"no length, closed", How::kResumed, say + "200&body=MZ!p", "whole 0/? : MZ!p"}};
  // clang-format on
  Win32HttpClient http({.connect_ms = 2000,
                        .receive_ms = 1000,
                        .deadline_ms = 1000,
                        .stall_window_ms = 2000,
                        .stall_bytes = 64});
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    const auto start = GetTickCount64();
    Received sink;
    sink.disk_full = row.how == How::kDiskFull;
    const std::string seen = Outcome([&] {
      http.Download(row.url, sink,
                    {.whole_deadline = row.how == How::kDeadline,
                     .progress = row.how == How::kWatched ? &sink : nullptr,
                     .resume = row.how == How::kResumed ? ResumeFrom{2, "\"v1\""}
                                                        : std::optional<ResumeFrom>()});
      return (row.how == How::kResumed ? sink.start : "") + sink.text +
             (sink.calls >= 3 ? " " + sink.last : "");
    });
    EXPECT_EQ(seen, row.outcome);
    EXPECT_LT(GetTickCount64() - start, 10000u) << "longer than its time-outs";
  }
  WriteBytes(www + "changes.txt", "after");
  Received sink;
  http.Download(nginx + "changes.txt", sink);
  EXPECT_EQ(sink.text, "after");
}

// The edges that the launcher's own runs do not reach: what each call gives, or what its failure
// says (its number, what happened and where).
TEST(Backend, FilesProcessesAndEnvironmentAtTheirEdges) {
  const std::string dir = "D:\\backend\\𠮷田 Zoë", none = "D:\\no such folder\\x";
  const std::string log = dir + "\\jiban.err", ini = dir + "\\oem.ini";
  RemoveTree(dir);
  std::filesystem::create_directories(Wide(dir));
  WriteBytes(ini, "[OEM]\r\nTITLE=\r\n");
  SetFileAttributesW(Wide(ini).c_str(), FILE_ATTRIBUTE_SYSTEM);
  WriteBytes(log, "earlier\r\n");
  WriteBytes(dir + "\\empty.exe", "");
  CopyFileW(Wide(Beside("Hanamizu.exe")).c_str(), Wide(dir + "\\M.exe").c_str(), 0);
  SetEnvironmentVariableW(L"HANAMIZU_TEST", L"水門");
  SYSTEMTIME today;
  GetLocalTime(&today);
  Win32FileSystem files(dir);
  Win32SystemServices system;
  Win32ProcessLauncher processes;
  const auto env = [&](const char* name) { return system.EnvironmentVariable(name).value_or("-"); };
  FileHandle in_use;
  // clang-format off
  const std::tuple<const char*, std::function<std::string()>, std::string> cases[] = {
      {"an empty INI value", [&] { return Win32IniReader().ReadProfileString("OEM", "TITLE", "x", ini); }, ""},
      {"no version; the environment; the arguments", [&] { return files.FileVersion(Beside("PRT1.EXE")) + env("HANAMIZU_TEST") + env("HANAMIZU_NONE") + Utf8(ArgumentsOf(L"\"C:\\a b\\l.exe\"\tboot ")); }, "水門-boot "},
      {"the error log: ANSI lines ended by CR LF", [&] { files.AppendAnsiLine(log, "拒否 1"); files.AppendAnsiLine(log, "拒否 2"); return ReadBytes(log); }, "earlier\r\n" + Utf8(L"拒否 1\r\n拒否 2\r\n", 932)},
      {"today", [&] { const LocalTime t = system.LocalNow(); return std::to_string(t.year * 10000 + t.month * 100 + t.day); }, std::to_string(today.wYear * 10000 + today.wMonth * 100 + today.wDay)},
      // A host name in its IDN form; only path and query are percent-encoded.
      {"an address as the server expects it", [] { return EncodeAddress("http://ハナミズ.例:8080/パス 1?q=水"); }, "http://xn--0ck5ao9d.xn--fsq:8080/%E3%83%91%E3%82%B9%201?q=%E6%B0%B4"},
      {"a file into no folder", [&] { files.CreatePendingFile(none); return ""; }, "3 パスが見つかりません。 (D:\\no such folder\\x)"},
      {"no program", [&] { processes.StartProcess("\"" + none + ".exe\" x", 1); return ""; }, "2 ファイルが見つかりません。 (D:\\no such folder\\x.exe)"},
      {"no program in the file", [&] { processes.StartProcess("\"" + dir + "\\empty.exe\" x", 1); return ""; }, "193 D:\\backend\\𠮷田 Zoë\\empty.exe の EXE フォーマットが不正です。"},
      {"a file in use", [&] { in_use = FileHandle(CreateFileW(Wide(ini).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)); files.CheckReplaceable(ini); return ""; }, "32 共有違反です。 (D:\\backend\\𠮷田 Zoë\\oem.ini)"},
      {"a missing or free file", [&] { files.CheckReplaceable(none); files.CheckReplaceable(dir + "\\M.exe"); return "replaceable"; }, "replaceable"},
      {"a package that is not there", [&] { processes.ShellOpen(0, none + ".exe", "1", dir, 1); return ""; }, "3 パスが見つかりません。 (D:\\no such folder\\x.exe)"},
      {"the show-window code reaches the program", [&] { processes.StartProcess(dir + "\\M.exe", SW_SHOWMINNOACTIVE); WaitUntil([&] { return !Record(dir + "\\M.exe").empty(); }); return Record(dir + "\\M.exe")["show_window"]; }, "7"}};
  // clang-format on
  for (const auto& [name, operation, result] : cases) EXPECT_EQ(Outcome(operation), result) << name;
}

// A download's part: one launcher's alone, what identifies it kept across launches, its age from
// its last write; once it has taken the target's name, held from writers until it is let go.
TEST(Backend, PartialFile) {
  const std::string dir = "D:\\backend\\part", target = dir + "\\p.exe";
  RemoveTree(dir);
  std::filesystem::create_directories(Wide(dir));
  Win32FileSystem files(dir);
  auto first = files.OpenPartialFile(target);
  first->Restart({"http://h/p.exe", "\"v\"", 4});
  first->Write("MZ");
  std::thread([&] {
    EXPECT_EQ(Outcome([&] { return files.OpenPartialFile(target) ? "opened twice" : ""; }),
              "32 更新パッケージは別のランチャーがダウンロード中です (" + target + ")");
  }).join();
  first.reset();
  WriteBytes(target, "earlier");
  ULARGE_INTEGER at;
  GetSystemTimeAsFileTime(reinterpret_cast<FILETIME*>(&at));
  at.QuadPart -= 8 * 864'000'000'000ULL;  // 100 ns units
  SetFileTime(FileHandle(CreateFileW(Wide(target + ".part").c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                     nullptr, OPEN_EXISTING, 0, nullptr))
                  .get(),
              nullptr, nullptr, reinterpret_cast<FILETIME*>(&at));
  auto kept = files.OpenPartialFile(target);
  EXPECT_EQ(kept->Info(), (PartInfo{"http://h/p.exe", "\"v\"", 4}));
  EXPECT_EQ(static_cast<int>(kept->AgeDays() + 0.5), 8);
  EXPECT_EQ(kept->Read(1, 5), "Z");
  kept->Continue(*kept->Info());
  kept->Write("!!");
  std::unique_ptr<HeldFile> held = kept->Commit();
  const auto writable = [&] {
    return !!FileHandle(CreateFileW(Wide(target).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  };
  EXPECT_FALSE(writable());
  held.reset();
  EXPECT_TRUE(writable());
  EXPECT_EQ(ReadBytes(target), "MZ!!");
  EXPECT_EQ(GetFileAttributesW(Wide(target + ".part.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Security software holds a file just written for a moment: its rename waits, for 10 s at most,
// the windows answering; one held longer is the error naming it.
TEST(Backend, FileHeldForAMoment) {
  const std::string dir = "D:\\backend\\held", list = dir + "\\di04.dat";
  RemoveTree(dir);
  std::filesystem::create_directories(Wide(dir));
  WriteBytes(list, "earlier");
  Win32FileSystem files(dir);
  const std::tuple<const char*, DWORD, std::string> cases[] = {
      {"3 s", 3000, "new"}, {"30 s", 30000, "5 アクセスが拒否されました。 (" + list + ")"}};
  for (const auto& [name, held_ms, outcome] : cases) {
    SCOPED_TRACE(name);
    const KernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread scanner([&, held_ms = held_ms] {
      const FileHandle held(CreateFileW(Wide(list).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
      WaitForSingleObject(done.get(), held_ms);
    });
    Sleep(100);
    const auto start = GetTickCount64();
    EXPECT_EQ(Outcome([&] {
                auto file = files.CreatePendingFile(list);
                file->Write("new");
                file->Commit();
                return ReadBytes(list);
              }),
              outcome);
    EXPECT_NEAR(static_cast<double>(GetTickCount64() - start), std::min(held_ms, 10000ul), 1500);
    SetEvent(done.get());
    scanner.join();
  }
}

TEST(Backend, MessageBoxesShowTheSystemsIcons) {
  const std::tuple<MessageIcon, MessageButtons, LPCWSTR, std::string> cases[] = {
      {MessageIcon::kNone, MessageButtons::kOk, nullptr, "OK"},
      {MessageIcon::kInformation, MessageButtons::kOk, IDI_ASTERISK, "OK"},
      {MessageIcon::kExclamation, MessageButtons::kOkCancel, IDI_EXCLAMATION, "OK|キャンセル"}};
  for (const auto& [icon, buttons, system_icon, shown] : cases) {
    SCOPED_TRACE(shown);
    std::thread box([&] { Win32UserInterface().ShowMessage("本文", "題", buttons, icon); });
    std::vector<HWND> found;
    ASSERT_TRUE(WaitUntil([&] { return !(found = Windows(GetCurrentProcessId())).empty(); }));
    const HWND first = Controls(found[0], L"Static").front();  // the icon, if there is one
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(first, STM_GETICON, 0, 0)),
              system_icon ? LoadIconW(nullptr, system_icon) : nullptr);
    EXPECT_EQ(Describe(found[0]), "題|本文|" + shown);
    Press(found[0], "OK");
    box.join();
  }
}

// Disabled, with a fixed frame and no boxes, centred; client 5625 x 1605 twips at 96 DPI; Frame1,
// Image1 (a 32-pixel icon), Label1, lblKidochu and a download's bar where the design puts them,
// the labels in bold ＭＳ Ｐゴシック of 11.25 points; its events handled when the launcher lets
// them through.
TEST(Backend, SplashWindow) {
  Win32UserInterface ui;
  const auto splash = fSprash_Load(ui, "");
  splash->ShowModeless();
  splash->ShowProgress(5, 10);
  const HWND window = reinterpret_cast<HWND>(splash->Handle());
  const LONG kinds = WS_CAPTION | WS_DISABLED | WS_THICKFRAME | WS_SYSMENU | WS_MAXIMIZEBOX;
  RECT r;
  GetWindowRect(window, &r);
  std::ostringstream seen;
  seen << ((GetWindowLongW(window, GWL_STYLE) & kinds) == (WS_CAPTION | WS_DISABLED))
       << !!(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME) << " "
       << GetSystemMetrics(SM_CXSCREEN) - r.right - r.left << ","
       << GetSystemMetrics(SM_CYSCREEN) - r.bottom - r.top;
  GetClientRect(window, &r);
  seen << " " << r.right << "x" << r.bottom;
  for (const wchar_t* kind : {L"Button", L"Static", PROGRESS_CLASSW}) {
    for (HWND control : Controls(window, kind)) {
      GetWindowRect(control, &r);
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
      seen << " " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
  }
  const std::vector<HWND> labels = Controls(window, L"Static");
  ICONINFO icon{};
  BITMAP bitmap{};
  GetIconInfo(reinterpret_cast<HICON>(SendMessageW(labels[0], STM_GETICON, 0, 0)), &icon);
  GetObjectW(icon.hbmColor, sizeof bitmap, &bitmap);
  DeleteObject(icon.hbmColor);
  DeleteObject(icon.hbmMask);
  seen << " " << bitmap.bmWidth << "x" << bitmap.bmHeight;
  for (HWND label : {labels[1], labels[2]}) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), sizeof font, &font);
    seen << " " << Utf8(font.lfFaceName) << " " << int{font.lfCharSet} << " " << font.lfWeight
         << " " << font.lfHeight;
  }
  EXPECT_EQ(seen.str(),
            "11 -1,0 375x107 4,0,369,101 12,16,44,48 60,24,353,41 24,68,349,85 24,87,349,96 32x32 "
            "ＭＳ Ｐゴシック 128 700 -15 ＭＳ Ｐゴシック 128 700 -15");
  // The bar half way, running on its own while nothing is announced, gone.
  const HWND bar = Controls(window, PROGRESS_CLASSW).at(0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 500);
  splash->ShowProgress(7, std::nullopt);
  const LRESULT running = SendMessageW(bar, PBM_GETPOS, 0, 0);
  splash->ShowProgress(7, std::nullopt);
  EXPECT_NE(SendMessageW(bar, PBM_GETPOS, 0, 0), running);
  splash->HideProgress();
  EXPECT_TRUE(Controls(window, PROGRESS_CLASSW).empty());
  const HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  PostMessageW(labels[2], WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  ui.DoEvents();
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(labels[2], WM_GETFONT, 0, 0)), font);
}

}  // namespace
}  // namespace hanamizu::win32
