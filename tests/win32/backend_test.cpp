// What only the real backend shows: time-outs and caching of downloads, files, processes and
// errors at their edges, the message boxes' icons and the splash window in its own process.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "common/app_error.h"
#include "launcher/splash.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"
#include "probe.h"

namespace hanamizu::win32 {
namespace {

using namespace probe;

TEST(Backend, DownloadsTimeOutAndAreNeverCached) {
  // What arrives (or the error), and for a watched download how its progress went.
  struct : ByteSink, DownloadProgress {
    void Start(const DownloadStart& answer) override { start = answer; }
    void Write(std::string_view bytes) override {
      if (full)
        throw AppError(112, "ディスクがいっぱいです。 (D:\\x)");  // the file's, not the server's
      text += bytes;
    }
    void Progress(uint64_t received, std::optional<uint64_t> announced) override {
      ++calls, last = std::to_string(received) + "/" + std::to_string(announced.value_or(0));
    }
    DownloadStart start;
    std::string text, last;
    bool full = false;
    int calls = 0;
  } sink;
  const std::string www = Server("www"), nginx = Server("nginx"), faults = Server("faults"),
                    https = Server("https");
  WriteBytes(www + "changes.txt", "before"), WriteBytes(www + "empty", ""),
      WriteBytes(www + "tls", "secure");
  TrustTestCa();
  const std::string kDistrusted = "サーバーの証明書を信頼できないため接続しませんでした: ";
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {{nginx + "redirect/changes.txt", "before"}, {"full " + nginx + "changes.txt", "112 ディスクがいっぱいです。 (D:\\x)"},
      {faults + "stall", "12030 サーバーへの接続は終了されました。 (" + faults + "stall)"}, {faults + "hang/1000/10", "10060 Windows error 10060 (" + faults + "hang/1000/10)"},
      {nginx + "empty", ""}, {nginx + "loop", "12156 転送が 10 回を超えました (" + nginx + "loop)"}, {"ftp://127.0.0.1/x", "12006 URL スキームを認識できなかったかサポートしていません。 (ftp://127.0.0.1/x)"},
      {https + "tls", "secure"}, {https + "downgrade/tls", "12040 安全な接続 (https) から安全でない接続への転送を拒否しました: " + nginx + "tls (" + https + "downgrade/tls)"},
      {Server("wrongname") + "tls", "12038 " + kDistrusted + "SSL 証明書の一般名 (ホスト名フィールド) が不適切です。 (" + Server("wrongname") + "tls)"},
      {Server("untrusted") + "tls", "12057 " + kDistrusted + "Windows error 12057 (" + Server("untrusted") + "tls)"},
      {"watch " + faults + "slow/2000/2000/1000", std::string(2000, 'c') + " in several steps up to 2000/2000"},
      {"deadline " + faults + "slow/1000/1000/3000", "12002 ダウンロードが 1 秒以内に終わりませんでした (" + faults + "slow/1000/1000/3000)"},
      // The rest from byte 2 while the server's validator is the one given; else the whole file.
      {"resume " + nginx + "changes.txt", "from 2 of 6: fore"}, {"stale " + nginx + "changes.txt", "from 0 of 6: before"},
      {"past " + nginx + "changes.txt", "416 サーバーが応答 416 Requested Range Not Satisfiable を返しました (" + nginx + "changes.txt)"},
      {faults + "slow/100/15/4000", "12002 ダウンロードが止まりました (2 秒間に 64 バイト未満) (" + faults + "slow/100/15/4000)"}};
  // clang-format on
  Win32HttpClient http({.connect_ms = 2000,
                        .receive_ms = 1000,
                        .deadline_ms = 1000,
                        .stall_window_ms = 2000,
                        .stall_bytes = 64});
  for (const auto& [line, outcome] : cases) {
    const auto start = GetTickCount64();
    const std::string how =
        line.find(' ') == std::string::npos ? "" : line.substr(0, line.find(' '));
    const std::string url = line.substr(how.empty() ? 0 : how.size() + 1);
    sink.text.clear(), sink.calls = 0, sink.full = how == "full";
    try {
      std::optional<ResumeFrom> resume;
      if (how == "resume" || how == "stale" || how == "past")
        http.Download(url, sink),
            resume = {how == "past" ? 6u : 2u, how == "stale" ? "\"0-0\"" : sink.start.validator},
            sink.text.clear();
      http.Download(url, sink,
                    {.whole_deadline = how == "deadline", .progress = &sink, .resume = resume});
      if (resume)
        sink.text = "from " + std::to_string(sink.start.offset) + " of " +
                    std::to_string(sink.start.whole_length.value_or(0)) + ": " + sink.text;
      if (how == "watch")
        sink.text += (sink.calls >= 3 ? " in several steps up to " : " in one go, ") + sink.last;
    } catch (const AppError& error) {
      sink.text = std::to_string(error.number()) + " " + error.description();
    }
    EXPECT_EQ(sink.text, outcome);
    EXPECT_LT(GetTickCount64() - start, 10000u) << url << " took longer than its time-outs";
  }
  WriteBytes(www + "changes.txt", "after");
  sink.text.clear(), sink.full = false, http.Download(nginx + "changes.txt", sink);
  EXPECT_EQ(sink.text, "after");
}

// The edges that the launcher's own runs do not reach: what each call gives, or what its failure
// says (its number, what happened and where).
TEST(Backend, FilesProcessesAndEnvironmentAtTheirEdges) {
  // clang-format off
  const std::string dir = "D:\\backend\\𠮷田 Zoë", none = "D:\\no such folder\\x", log = dir + "\\jiban.err";
  RemoveTree(dir), std::filesystem::create_directories(Wide(dir + "\\Hanamizu.exe"));
  WriteBytes(dir + "\\oem.ini", "[OEM]\r\nTITLE=\r\n"), WriteBytes(log, "earlier\r\n"), WriteBytes(dir + "\\empty.exe", "");
  SetFileAttributesW(Wide(dir + "\\oem.ini").c_str(), FILE_ATTRIBUTE_SYSTEM);
  CopyFileW(Wide(Beside("Hanamizu.exe")).c_str(), Wide(dir + "\\M.exe").c_str(), 0);
  SetEnvironmentVariableW(L"HANAMIZU_TEST", L"水門");
  HANDLE in_use = nullptr;
  SYSTEMTIME today;
  GetLocalTime(&today);
  Win32FileSystem files(dir);
  Win32SystemServices system;
  Win32ProcessLauncher processes;
  const auto env = [&](const char* name) { return system.EnvironmentVariable(name).value_or("-"); };
  const std::pair<std::function<std::string()>, std::string> cases[] = {
      {[&] { return files.ReadFileStart(dir + "\\oem.ini", 5) + Win32IniReader().ReadProfileString("OEM", "TITLE", "x", dir + "\\oem.ini"); }, "[OEM]"},
      {[&] { return files.FileVersion(Beside("PRT1.EXE")) + env("HANAMIZU_TEST") + env("HANAMIZU_NONE") + Utf8(ArgumentsOf(L"\"C:\\a b\\l.exe\"\tboot ")); }, "水門-boot "},
      {[&] { return std::to_string(files.NormalFileExists(dir + "\\Hanamizu.exe") + files.NormalFileExists(dir + "\\oem.ini") +
                                   files.ListFiles(dir + "\\PRT*.EXE").size() + files.ListFiles(none + "\\PRT*.EXE").size()); }, "0"},
      // The error log's lines in the ANSI code page, each ended by CR LF, on today's date.
      {[&] { return files.AppendAnsiLine(log, "拒否 1"), files.AppendAnsiLine(log, "拒否 2"), ReadBytes(log); }, "earlier\r\n" + Utf8(L"拒否 1\r\n拒否 2\r\n", 932)},
      {[&] { const LocalTime t = system.LocalNow(); return std::to_string(t.year * 10000 + t.month * 100 + t.day); }, std::to_string(today.wYear * 10000 + today.wMonth * 100 + today.wDay)},
      // A host name in its IDN form; only path and query are percent-encoded.
      {[&] { return EncodeAddress("http://ハナミズ.例:8080/パス 1?q=水"); }, "http://xn--0ck5ao9d.xn--fsq:8080/%E3%83%91%E3%82%B9%201?q=%E6%B0%B4"},
      {[&] { return files.AppendAnsiLine(none, "x"), ""; }, "3 パスが見つかりません。 (D:\\no such folder\\x)"},
      {[&] { return files.CreatePendingFile(none), ""; }, "3 パスが見つかりません。 (D:\\no such folder\\x)"},
      {[&] { return files.ChangeDirectory(none), ""; }, "3 パスが見つかりません。 (D:\\no such folder\\x)"},
      {[&] { return processes.StartProcess("\"" + none + ".exe\" x", 1), ""; }, "2 ファイルが見つかりません。 (D:\\no such folder\\x.exe)"},
      {[&] { return processes.StartProcess("\"" + dir + "\\empty.exe\" x", 1), ""; }, "193 D:\\backend\\𠮷田 Zoë\\empty.exe の EXE フォーマットが不正です。"},
      {[&] { in_use = CreateFileW(Wide(dir + "\\oem.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             return files.CheckReplaceable(dir + "\\oem.ini"), ""; }, "32 共有違反です。 (D:\\backend\\𠮷田 Zoë\\oem.ini)"},
      {[&] { return files.CheckReplaceable(none), files.CheckReplaceable(dir + "\\M.exe"), "replaceable"; }, "replaceable"},
      // A download's part and what identifies it, kept across launches; its age from its last write.
      {[&] { auto first = files.OpenPartialFile(dir + "\\p.exe");
             first->Restart({"http://h/p.exe", "\"v\"", 4}), first->Write("MZ"), first.reset(), WriteBytes(dir + "\\p.exe", "earlier");
             ULARGE_INTEGER at;
             GetSystemTimeAsFileTime(reinterpret_cast<FILETIME*>(&at));
             at.QuadPart -= 8 * 864'000'000'000ULL;  // 100 ns units
             SetFileTime(FileHandle(CreateFileW(Wide(dir + "\\p.exe.part").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr)).get(),
                         nullptr, nullptr, reinterpret_cast<FILETIME*>(&at));
             auto kept = files.OpenPartialFile(dir + "\\p.exe");
             const PartInfo info = kept->Info().value_or(PartInfo{});
             const std::string seen = info.url + " " + info.validator + " " + std::to_string(info.length.value_or(0)) + " " +
                                      std::to_string(static_cast<int>(kept->AgeDays() + 0.5)) + " " + kept->Read(1, 5);
             kept->Continue(info), kept->Write("!!"), kept->Commit();
             return seen + " " + ReadBytes(dir + "\\p.exe") + std::to_string(GetFileAttributesW(Wide(dir + "\\p.exe.part.txt").c_str()) == INVALID_FILE_ATTRIBUTES); },
       "http://h/p.exe \"v\" 4 8 Z MZ!!1"},
      // The show-window code reaches the program.
      {[&] { processes.StartProcess(dir + "\\M.exe", SW_SHOWMINNOACTIVE);
             return WaitUntil([&] { return !Record(dir + "\\M.exe").empty(); }), Record(dir + "\\M.exe")["show_window"]; }, "7"}};
  // clang-format on
  for (const auto& [operation, result] : cases) {
    try {
      EXPECT_EQ(operation(), result);
    } catch (const AppError& error) {
      EXPECT_EQ(std::to_string(error.number()) + " " + error.description(), result);
    }
  }
  CloseHandle(in_use);
}

TEST(Backend, MessageBoxesShowTheSystemsIcons) {
  const std::tuple<MessageIcon, MessageButtons, LPCWSTR, std::string> cases[] = {
      {MessageIcon::kNone, MessageButtons::kOk, nullptr, "OK"},
      {MessageIcon::kInformation, MessageButtons::kOk, IDI_ASTERISK, "OK"},
      {MessageIcon::kExclamation, MessageButtons::kOkCancel, IDI_EXCLAMATION, "OK|キャンセル"}};
  for (const auto& [icon, buttons, system_icon, shown] : cases) {
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
// Image1 (a 32-pixel icon), Label1 and lblKidochu where the design puts them, the labels in bold
// ＭＳ Ｐゴシック of 11.25 points; its events handled when the launcher lets them through.
TEST(Backend, SplashWindow) {
  Win32UserInterface ui;
  const auto splash = fSprash_Load(ui, "");
  splash->ShowModeless();
  const HWND window = reinterpret_cast<HWND>(splash->Handle());
  const LONG kinds = WS_CAPTION | WS_DISABLED | WS_THICKFRAME | WS_SYSMENU | WS_MAXIMIZEBOX;
  RECT outer, r;
  GetWindowRect(window, &outer), GetClientRect(window, &r);
  std::ostringstream seen;
  seen << ((GetWindowLongW(window, GWL_STYLE) & kinds) == (WS_CAPTION | WS_DISABLED))
       << !!(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME) << " "
       << GetSystemMetrics(SM_CXSCREEN) - outer.right - outer.left << ","
       << GetSystemMetrics(SM_CYSCREEN) - outer.bottom - outer.top << " " << r.right << "x"
       << r.bottom;
  for (const wchar_t* kind : {L"Button", L"Static"}) {
    for (HWND control : Controls(window, kind)) {
      GetWindowRect(control, &r);
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
      seen << " " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
      ICONINFO icon{};
      BITMAP bitmap{};
      LOGFONTW font{};
      if (GetIconInfo(reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0)), &icon)) {
        GetObjectW(icon.hbmColor, sizeof bitmap, &bitmap);
        seen << " " << bitmap.bmWidth << "x" << bitmap.bmHeight;
        DeleteObject(icon.hbmColor), DeleteObject(icon.hbmMask);
      } else if (GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)),
                            sizeof font, &font)) {
        seen << " " << Utf8(font.lfFaceName) << " " << int{font.lfCharSet} << " " << font.lfWeight
             << " " << font.lfHeight;
      }
    }
  }
  EXPECT_EQ(
      seen.str(),
      "11 -1,0 375x107 4,0,369,101 12,16,44,48 32x32 60,24,353,41 ＭＳ Ｐゴシック 128 700 -15 "
      "24,68,349,85 ＭＳ Ｐゴシック 128 700 -15");
  // A download's bar below the status label: half way, running on its own, gone.
  splash->ShowProgress(5, 10);
  const std::vector<HWND> bars = Controls(window, PROGRESS_CLASSW);
  ASSERT_EQ(bars.size(), 1u);
  GetWindowRect(bars[0], &r), MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
  std::ostringstream bar;
  bar << r.left << "," << r.top << "," << r.right << "," << r.bottom << " "
      << SendMessageW(bars[0], PBM_GETPOS, 0, 0);
  splash->ShowProgress(7, std::nullopt);
  const LRESULT running = SendMessageW(bars[0], PBM_GETPOS, 0, 0);
  splash->ShowProgress(7, std::nullopt);
  bar << " " << (SendMessageW(bars[0], PBM_GETPOS, 0, 0) != running);
  splash->HideProgress();
  EXPECT_EQ(bar.str() + " " + std::to_string(Controls(window, PROGRESS_CLASSW).size()),
            "24,87,349,96 500 1 0");
  const HWND label = Controls(window, L"Static").back();
  const HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  PostMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  ui.DoEvents();
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)), font);
}

}  // namespace
}  // namespace hanamizu::win32
