// What only the real backend shows: time-outs and caching of downloads, the error log's bytes, the
// message boxes' icons and the splash window as laid out in its own process.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "common/error_log.h"
#include "fakes/fake_platform.h"
#include "launcher/splash.h"
#include "platform/win32/win32_platform.h"
#include "probe.h"

namespace hanamizu::win32 {
namespace {

using namespace probe;

TEST(Backend, DownloadsTimeOutAndAreNeverCached) {
  struct : ByteSink {
    void Write(std::string_view bytes) override { text += bytes; }
    std::string text;
  } sink;
  const std::string www = Server("www"), nginx = Server("nginx"), faults = Server("faults");
  std::string bytes;
  for (int i = 0; i < 70000; ++i) bytes += static_cast<char>(i * 7);
  WriteBytes(www + "更新 データ.bin", bytes);
  WriteBytes(www + "changes.txt", "before");
  WriteBytes(www + "empty", "");
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {{nginx + "更新 データ.bin", bytes}, {nginx + "redirect/changes.txt", "before"},
      {faults + "stall", "12030 サーバーへの接続は終了されました。 (" + faults + "stall)"}, {faults + "hang/1000/10", "10060 Windows error 10060 (" + faults + "hang/1000/10)"},
      {nginx + "empty", ""}, {nginx + "loop", "12156 転送が 10 回を超えました (" + nginx + "loop)"}, {"ftp://127.0.0.1/x", "12006 URL スキームを認識できなかったかサポートしていません。 (ftp://127.0.0.1/x)"}};
  // clang-format on
  Win32HttpClient http({2000, 1000});
  for (const auto& [url, outcome] : cases) {
    const auto start = GetTickCount64();
    try {
      sink.text.clear(), http.Download(url, sink);
    } catch (const AppError& error) {
      sink.text = std::to_string(error.number()) + " " + error.description();
    }
    EXPECT_EQ(sink.text, outcome);
    EXPECT_LT(GetTickCount64() - start, 10000u) << url << " took longer than its time-outs";
  }
  WriteBytes(www + "changes.txt", "after");
  sink.text.clear(), http.Download(nginx + "changes.txt", sink);
  EXPECT_EQ(sink.text, "after");
  struct : ByteSink {  // a full disk is the file's failure, not the server's
    void Write(std::string_view) override {
      throw AppError(112, "ディスクがいっぱいです。 (D:\\x)");
    }
  } full;
  EXPECT_THROW(
      try { http.Download(nginx + "changes.txt", full); } catch (const AppError& e) {
        EXPECT_EQ(e.description(), "ディスクがいっぱいです。 (D:\\x)");
        throw;
      },
      AppError);
}

TEST(Backend, ErrorLogLinesAreAppendedInShiftJis) {
  const std::string dir = "D:\\backend\\𠮷田 Zoë";
  std::filesystem::create_directories(Wide(dir));
  WriteBytes(dir + "\\jiban.err", "earlier\r\n");
  fakes::FakePlatform fake;
  Win32FileSystem files(dir);
  Win32SystemServices system;
  Platform platform{files, fake, fake, fake, system, fake, fake};
  for (int i = 0; i < 2; ++i) Write_ErrLog(platform, AppError(-5, "拒否"), "関数", "");
  SYSTEMTIME now;
  GetLocalTime(&now);
  // Two lines after the earlier one, each "yyyy/mm/dd hh:mm:ss" and the rest, in Shift-JIS.
  const std::string log = ReadBytes(dir + "\\jiban.err"),
                    line = Utf8(Wide(" 拒否[-5] (Func=関数) (Info=)\r\n"), 932);
  EXPECT_EQ(log.substr(0, 13) + log.substr(28, line.size()) + log.substr(47 + line.size()),
            "earlier\r\n" + std::to_string(now.wYear) + line + line);
}

// The edges that the launcher's own runs do not reach.
TEST(Backend, FilesProcessesAndEnvironmentAtTheirEdges) {
  const std::string dir = "D:\\backend\\edges", none = "D:\\no such folder\\x";
  std::filesystem::create_directories(Wide(dir + "\\Hanamizu.exe"));
  WriteBytes(dir + "\\oem.ini", "[OEM]\r\nTITLE=\r\n");
  SetFileAttributesW(Wide(dir + "\\oem.ini").c_str(), FILE_ATTRIBUTE_SYSTEM);
  SetEnvironmentVariableW(L"HANAMIZU_TEST", L"水門");
  Win32FileSystem files(dir);
  Win32SystemServices system;
  Win32ProcessLauncher processes;
  EXPECT_EQ(files.ReadFileStart(dir + "\\oem.ini", 5) +
                Win32IniReader().ReadProfileString("OEM", "TITLE", "x", dir + "\\oem.ini"),
            "[OEM]");
  EXPECT_EQ(files.FileVersion(Beside("PRT1.EXE")) +
                system.EnvironmentVariable("HANAMIZU_TEST").value_or("-") +
                system.EnvironmentVariable("HANAMIZU_NONE").value_or("-") +
                Utf8(ArgumentsOf(L"\"C:\\a b\\l.exe\"\tboot ")),
            "水門-boot ");
  EXPECT_FALSE(files.NormalFileExists(dir + "\\Hanamizu.exe") ||
               files.NormalFileExists(dir + "\\oem.ini"));
  EXPECT_TRUE(files.ListFiles(dir + "\\PRT*.EXE").empty() &&
              files.ListFiles(none + "\\PRT*.EXE").empty());
  // What a failure says: its number, what happened and where.
  const HANDLE in_use = CreateFileW(Wide(dir + "\\oem.ini").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  WriteBytes(dir + "\\empty.exe", "");
  const std::pair<std::function<void()>, std::string> failures[] = {
      // clang-format off
      {[&] { files.AppendAnsiLine(none, "x"); }, "3 パスが見つかりません。 (D:\\no such folder\\x)"},
      {[&] { files.CreatePendingFile(none); }, "3 パスが見つかりません。 (D:\\no such folder\\x)"},
      {[&] { files.ChangeDirectory(none); }, "3 パスが見つかりません。 (D:\\no such folder\\x)"},
      {[&] { processes.StartProcess("\"" + none + ".exe\" x", 1); }, "2 ファイルが見つかりません。 (D:\\no such folder\\x.exe)"},
      {[&] { processes.StartProcess("\"" + dir + "\\empty.exe\" x", 1); }, "193 D:\\backend\\edges\\empty.exe の EXE フォーマットが不正です。"},
      {[&] { files.CheckReplaceable(dir + "\\oem.ini"); }, "32 共有違反です。 (D:\\backend\\edges\\oem.ini)"},
      {[&] { files.CheckReplaceable(none); }, ""}, {[&] { files.CheckReplaceable(dir + "\\M.exe"); }, ""}};
  // clang-format on
  for (const auto& [operation, result] : failures) {
    try {
      operation();
      EXPECT_EQ("", result);
    } catch (const AppError& error) {
      EXPECT_EQ(std::to_string(error.number()) + " " + error.description(), result);
    }
  }
  CloseHandle(in_use);
  // A path longer than MAX_PATH, and a host name in its IDN form.
  const std::string deep =
      dir + "\\" + std::string(150, 'a') + "\\" + std::string(150, 'b') + "\\p.exe";
  std::filesystem::create_directories(L"\\\\?\\" + Wide(deep.substr(0, deep.rfind('\\'))));
  auto pending = files.CreatePendingFile(deep);
  pending->Write("long"), pending->Commit();
  EXPECT_EQ(files.ReadFileStart(deep, 10), "long");
  EXPECT_EQ(EncodeAddress("http://ハナミズ.例:8080/パス 1?q=水"),
            "http://xn--0ck5ao9d.xn--fsq:8080/%E3%83%91%E3%82%B9%201?q=%E6%B0%B4");
  // The show-window code reaches the program.
  CopyFileW(Wide(Beside("Hanamizu.exe")).c_str(), Wide(dir + "\\M.exe").c_str(), 0);
  processes.StartProcess(dir + "\\M.exe", SW_SHOWMINNOACTIVE);
  ASSERT_TRUE(WaitUntil([&] { return !Record(dir + "\\M.exe").empty(); }));
  EXPECT_EQ(Record(dir + "\\M.exe")["show_window"], std::to_string(SW_SHOWMINNOACTIVE));
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
    HICON drawn = nullptr;
    for (HWND control : Controls(found[0], L"Static")) {
      if (!drawn) drawn = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
    }
    EXPECT_EQ(drawn, system_icon ? LoadIconW(nullptr, system_icon) : nullptr) << shown;
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
  const HWND label = Controls(window, L"Static").back();
  const HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  PostMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  ui.DoEvents();
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)), font);
}

}  // namespace
}  // namespace hanamizu::win32
