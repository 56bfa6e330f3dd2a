// What only the real backend shows: time-outs and caching of downloads, files, processes and
// errors at their edges, the message boxes' icons and the splash window in its own process.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <sstream>

#include "common/app_error.h"
#include "harness.h"
#include "launcher/splash.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_messages.h"
#include "platform/win32/win32_platform.h"
#include "update/update_integrity.h"

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

// What arrives, and how the answer said it starts.
struct Received : ByteSink {
  void Start(const DownloadStart& answer) override {
    const auto number = [](std::optional<uint64_t> n) { return n ? std::to_string(*n) : "?"; };
    start = (answer.partial ? "part " : "whole ") + number(answer.offset) + "/" +
            number(answer.whole_length) + " " + answer.validator + ": ";
  }
  void Write(std::string_view bytes) override {
    if (disk_full) throw AppError(112, "ディスクがいっぱいです。 (D:\\x)");
    text += bytes;
  }
  std::string start, text;
  bool disk_full = false;
};

enum class How { kPlain, kDiskFull, kDeadline, kResumed };
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
  WriteBytes(www + "tls", "secure");
  TrustTestCertificate();
  // clang-format off
  const DownloadCase cases[] = {
      {"redirected", How::kPlain, nginx + "redirect/changes.txt", "before"},
      {"the file's own error", How::kDiskFull, nginx + "changes.txt", "112 ディスクがいっぱいです。 (D:\\x)"},
      {"not found", How::kPlain, nginx + "nowhere", "404 サーバーが応答 404 Not Found を返しました (" + nginx + "nowhere)"},
      {"no answer", How::kPlain, faults + "stall", "12030 サーバーへの接続は終了されました。 (" + faults + "stall)"},
      {"TLS to plain", How::kPlain, https + "downgrade/tls", "12040 安全な接続 (https) から安全でない接続への転送を拒否しました: " + nginx + "tls (" + https + "downgrade/tls)"},
      {"a certificate nobody trusts", How::kPlain, untrusted + "tls", "12045 " + distrusted + "Windows error 12045 (" + untrusted + "tls)"},
      {"slow, never stalled", How::kPlain, faults + "hang/300000/300000/3000", std::string(300000, 'c')},
      {"past the deadline", How::kDeadline, faults + "hang/1000/1000/3000", "12002 ダウンロードが 1 秒以内に終わりませんでした (" + faults + "hang/1000/1000/3000)"},
      // Asked for the rest from byte 2: only exactly that, up to the end, tells where it goes.
      {"asks for the rest of its version", How::kResumed, faults + "echo", "whole 0/? : bytes=2- \"v1\""},
      {"the rest", How::kResumed, say + "206&ETag=%22v1%22&Content-Range=bytes+2-5%2F6&body=fore", "part 2/6 \"v1\": fore"},
      {"the rest without its range", How::kResumed, say + "206&ETag=%22v1%22&body=fore", "part ?/? \"v1\": fore"},
      {"not up to the end", How::kResumed, say + "206&Content-Range=bytes+2-4%2F6&body=for", "part ?/? : for"},
      {"not in the form", How::kResumed, say + "206&Content-Range=bytes%3D2-5%2F6&body=fore", "part ?/? : fore"},
      {"a weak ETag names no version", How::kResumed, say + "200&ETag=W%2F%22v1%22&Content-Length=6&body=before", "whole 0/6 : before"},
      {"shorter than its length", How::kPlain, say + "200&Content-Length=6&body=befo", "12030 受信したデータが途中で切れています (4 / 6 バイト) (" + say + "200&Content-Length=6&body=befo)"},
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
                     .resume = row.how == How::kResumed ? ResumeFrom{2, "\"v1\""}
                                                        : std::optional<ResumeFrom>()});
      return (row.how == How::kResumed ? sink.start : "") + sink.text;
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
  const std::string log = dir + "\\jiban.err", package = dir + "\\setup.exe";
  const std::string running = dir + "\\running.exe";
  FreshFolder(dir);
  WriteBytes(log, "earlier\r\n");
  WriteBytes(package, "MZ");
  // An earlier package still running (its wizard left open), which nothing else holds open.
  CopyFileW(Wide(Beside("Hanamizu.exe")).c_str(), Wide(running).c_str(), FALSE);
  WriteBytes(dir + "\\running.control.txt", "delay_ms=20000\n");
  const Process wizard("\"" + running + "\"", dir);
  Win32FileSystem files(dir);
  Win32ProcessLauncher processes;
  FileHandle in_use;
  // clang-format off
  const std::tuple<const char*, std::function<std::string()>, std::string> cases[] = {
      {"the error log: ANSI lines ended by CR LF", [&] { files.AppendAnsiLine(log, "拒否 1"); files.AppendAnsiLine(log, "拒否 2"); return ReadBytes(log); }, "earlier\r\n" + Utf8(L"拒否 1\r\n拒否 2\r\n", 932)},
      // A host name in its IDN form; only path and query are percent-encoded.
      {"an address as the server expects it", [] { return EncodeAddress("http://ハナミズ.例:8080/パス 1?q=水"); }, "http://xn--0ck5ao9d.xn--fsq:8080/%E3%83%91%E3%82%B9%201?q=%E6%B0%B4"},
      {"no program", [&] { processes.StartProcess("\"" + none + ".exe\" x", 1); return ""; }, "2 ファイルが見つかりません。 (D:\\no such folder\\x.exe)"},
      {"a file in use", [&] { in_use = FileHandle(CreateFileW(Wide(package).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)); files.CheckReplaceable(package); return ""; }, "32 共有違反です。 (D:\\backend\\𠮷田 Zoë\\setup.exe)"},
      {"a package still running", [&] { files.CheckReplaceable(running); return ""; }, "32 共有違反です。 (" + running + ")"},
      {"a missing or free file", [&] { files.CheckReplaceable(none); files.CheckReplaceable(log); return "replaceable"; }, "replaceable"},
      {"a package that is not there", [&] { processes.ShellOpen(0, none + ".exe", "1", dir, 1); return ""; }, "3 パスが見つかりません。 (D:\\no such folder\\x.exe)"}};
  // clang-format on
  for (const auto& [name, operation, result] : cases) EXPECT_EQ(Outcome(operation), result) << name;
}

// A download's part: one launcher's alone, what identifies it kept across launches; once it has
// taken the target's name, held from writers until it is let go.
TEST(Backend, PartialFile) {
  const std::string dir = "D:\\backend\\part", target = dir + "\\p.exe";
  FreshFolder(dir);
  Win32FileSystem files(dir);
  auto first = files.OpenPartialFile(target);
  first->Restart({"http://h/p.exe", "\"v\"", 4});
  first->Write("MZ");
  std::thread([&] {
    try {
      files.OpenPartialFile(target);
      ADD_FAILURE() << "opened twice";
    } catch (const AppError& error) {
      EXPECT_EQ(error.condition(), Condition::kDownloadInProgress);
    }
  }).join();
  first.reset();
  WriteBytes(target, "earlier");
  auto kept = files.OpenPartialFile(target);
  EXPECT_EQ(kept->Info(), (PartInfo{"http://h/p.exe", "\"v\"", 4}));
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

// A package's own signature as the system verifies it through the handle that holds it, of
// installers signed as the tests were built (signed_packages.sh): state, result, and the signer's
// key as openssl digests it and its subject (both certificates have one). Wine checks no chain to
// a trusted root (Windows says 800b0109 of these self-signed certificates).
TEST(Backend, PackageSignature) {
  const std::string made = Beside("signed-packages\\"), dir = "D:\\backend\\signed";
  const auto signer = [&](const char* who) {
    return " " + ReadBytes(made + who + ".key.sha256").substr(0, 64) +
           " C=JP, O=ハナミズ試験, CN=Hanamizu Test Publisher";
  };
  FreshFolder(dir);
  Win32FileSystem files(dir);
  const std::tuple<const char*, std::string> cases[] = {{"signed-a", "3 0" + signer("a")},
                                                        {"signed-b", "3 0" + signer("b")},
                                                        {"unsigned", "0 800b0100"},
                                                        {"altered", "1 80096010"}};
  for (const auto& [name, outcome] : cases) {
    SCOPED_TRACE(name);
    auto part = files.OpenPartialFile(dir + "\\" + name + ".exe");
    part->Restart({});
    part->Write(ReadBytes(made + name + ".exe"));
    const CodeSignature signature = part->Commit()->Signature();
    std::ostringstream seen;
    seen << static_cast<int>(signature.state) << " " << std::hex << signature.result;
    if (!signature.signer.empty())
      seen << " " << DigestHex(signature.signer_key) << " " << signature.signer;
    EXPECT_EQ(seen.str(), outcome);
  }
}

// Security software holds a file just written for a moment: its rename waits, for 10 s at most,
// the windows answering; one held longer is the error naming it.
TEST(Backend, FileHeldForAMoment) {
  const std::string dir = "D:\\backend\\held", list = dir + "\\di04.dat";
  FreshFolder(dir);
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

// The log, its folders made: two launchers appending in turns, past its bound and the rename as the
// previous log, give whole lines, each stamped, none lost. A folder in its place: none.
TEST(Backend, LogFile) {
  const std::string dir = "D:\\backend\\log", log = dir + Repeat("\\𠮷田 ログ", 40) + "\\a";
  FreshFolder(dir);
  Win32FileSystem files(dir);
  std::multiset<std::string> written, seen;
  const auto one = files.OpenLog(log + ".log"), two = files.OpenLog(log + ".log");
  ASSERT_TRUE(one && two);
  for (int i = 0; i < 12000; ++i)
    (i % 2 ? one : two)->Append(*written.insert(std::to_string(i) + Repeat("ハ", 30)));
  const std::regex stamped(R"(\d{4}(-\d\d){2} \d\d(:\d\d){2}\.\d{3} [+-]\d\d:\d\d (.*)\r)");
  for (const char* name : {".previous.log", ".log"}) {
    std::istringstream lines(ReadBytes("\\\\?\\" + log + name));
    EXPECT_LT(lines.str().size(), 1u << 20);
    std::smatch match;
    for (std::string line; std::getline(lines, line);)
      seen.insert(std::regex_match(line, match, stamped) ? match[3].str() : "!" + line);
  }
  EXPECT_EQ(seen, written);
  EXPECT_FALSE(files.OpenLog(dir));
}

TEST(Backend, MessageBoxesShowTheSystemsIcons) {
  const std::tuple<const char*, MessageIcon, LPCWSTR> cases[] = {
      {"information", MessageIcon::kInformation, IDI_ASTERISK},
      {"exclamation", MessageIcon::kExclamation, IDI_EXCLAMATION}};
  for (const auto& [name, icon, system_icon] : cases) {
    SCOPED_TRACE(name);
    std::thread box(
        [&] { Win32UserInterface().ShowMessage("本文", "題", MessageButtons::kOk, icon); });
    std::vector<HWND> found;
    ASSERT_TRUE(WaitUntil([&] { return !(found = Windows(GetCurrentProcessId())).empty(); }));
    const HWND shown = Controls(found[0], L"Static").front();
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(shown, STM_GETICON, 0, 0)),
              LoadIconW(nullptr, system_icon));
    Press(found[0], "OK");
    box.join();
  }
}

// Disabled, with a fixed frame and no boxes, centred; client 5625 x 1605 twips at 96 DPI; Frame1,
// Image1 (a 32-pixel icon), Label1 and lblKidochu where the design puts them, the labels in bold
// ＭＳ Ｐゴシック of 11.25 points. A download's bar and the button under it make the window taller
// and enabled until the bar goes; a click or Esc on the button or the window counts.
TEST(Backend, SplashWindow) {
  Win32UserInterface ui;
  const auto splash = fSprash_Load(ui, "");
  splash->ShowModeless();
  const HWND window = reinterpret_cast<HWND>(splash->Handle());
  const auto layout = [&] {
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
    return seen.str();
  };
  const std::string design = layout();
  EXPECT_EQ(design, "11 -1,0 375x107 4,0,369,101 12,16,44,48 60,24,353,41 24,68,349,85");
  const std::vector<HWND> labels = Controls(window, L"Static");
  ICONINFO icon{};
  BITMAP bitmap{};
  GetIconInfo(reinterpret_cast<HICON>(SendMessageW(labels[0], STM_GETICON, 0, 0)), &icon);
  GetObjectW(icon.hbmColor, sizeof bitmap, &bitmap);
  DeleteObject(icon.hbmColor);
  DeleteObject(icon.hbmMask);
  std::ostringstream seen;
  seen << bitmap.bmWidth << "x" << bitmap.bmHeight;
  for (HWND label : {labels[1], labels[2]}) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), sizeof font, &font);
    seen << " " << Utf8(font.lfFaceName) << " " << int{font.lfCharSet} << " " << font.lfWeight
         << " " << font.lfHeight;
  }
  EXPECT_EQ(seen.str(), "32x32 ＭＳ Ｐゴシック 128 700 -15 ＭＳ Ｐゴシック 128 700 -15");
  for (const auto& [name, on_button, press] : {std::tuple{"click", true, BM_CLICK},
                                               {"Esc on the button", true, WM_KEYDOWN},
                                               {"Esc on the window", false, WM_KEYDOWN}}) {
    SCOPED_TRACE(name);
    splash->ShowProgress(5, 10);
    EXPECT_EQ(layout(),
              "01 -1,-36 375x143 4,0,369,137 134,104,239,129 12,16,44,48 60,24,353,41 "
              "24,68,349,85 24,87,349,96");
    const HWND button = Controls(window, L"Button").at(1);
    EXPECT_EQ(Text(button), kLaterButtonText);
    EXPECT_EQ(SendMessageW(Controls(window, PROGRESS_CLASSW).at(0), PBM_GETPOS, 0, 0), 500);
    EXPECT_FALSE(splash->LaterPressed());
    PostMessageW(on_button ? button : window, press, VK_ESCAPE, 0);
    HandleWaitingMessages();
    EXPECT_TRUE(splash->LaterPressed());
    splash->HideProgress();
    EXPECT_EQ(layout(), design);
    EXPECT_FALSE(splash->LaterPressed());
  }
}

}  // namespace
}  // namespace hanamizu::win32
