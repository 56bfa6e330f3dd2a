#pragma once

// What the demo, the benchmarks and the Windows-side tests use to drive real programs: processes,
// windows and buttons, the stand-ins' records and settings; text in UTF-8.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace hanamizu::probe {

inline std::wstring Wide(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                  wide.data(), static_cast<int>(wide.size())));
  return wide;
}

inline std::string Utf8(const std::wstring& wide, UINT code_page = CP_UTF8) {
  std::string text(wide.size() * 4, '\0');
  text.resize(WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()),
                                  text.data(), static_cast<int>(text.size()), nullptr, nullptr));
  return text;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream file(std::filesystem::path(Wide(path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(std::filesystem::path(Wide(path)), std::ios::binary) << bytes;
}

// A stand-in's NAME.record.txt beside it, as key=value pairs; empty while there is none.
inline std::map<std::string, std::string> Record(const std::string& program) {
  std::map<std::string, std::string> record;
  std::istringstream lines(ReadBytes(program.substr(0, program.rfind('.')) + ".record.txt"));
  for (std::string line; std::getline(lines, line);)
    record[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  return record;
}

inline void SetSetting(HKEY root, const std::string& key, const std::string& name,
                       const std::string& value) {
  const std::wstring data = Wide(value);
  RegSetKeyValueW(root, Wide(key).c_str(), Wide(name).c_str(), REG_SZ, data.c_str(),
                  static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

// The current user's proxy for WinINet while it lives, as an office's PCs are set up: every
// address through the one at url ("http://127.0.0.1:PORT/"), loopback too ("<-loopback>",
// docs/windows.md), or none; then none, as in the prefixes of the tests and the benchmarks. A
// program reads it as it starts.
struct SystemProxy {
  explicit SystemProxy(const std::string& url) {
    if (!url.empty()) {
      SetSetting(HKEY_CURRENT_USER, kKey, "ProxyServer", url.substr(7, url.find('/', 7) - 7));
      SetSetting(HKEY_CURRENT_USER, kKey, "ProxyOverride", "<-loopback>");
    }
    Enable(!url.empty());
  }
  ~SystemProxy() { Enable(0); }
  SystemProxy(const SystemProxy&) = delete;
  SystemProxy& operator=(const SystemProxy&) = delete;
  static void Enable(DWORD on) {
    RegSetKeyValueW(HKEY_CURRENT_USER, Wide(kKey).c_str(), L"ProxyEnable", REG_DWORD, &on,
                    sizeof on);
  }
  static constexpr char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
};

// Polls until the condition holds or the bound has passed; says whether it held.
template <class Condition>
bool WaitUntil(Condition&& condition, std::chrono::milliseconds bound = std::chrono::seconds(20)) {
  for (const auto end = std::chrono::steady_clock::now() + bound; !condition();) {
    if (std::chrono::steady_clock::now() > end) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// A program started with an exact command line (and its path, when the command line may not
// name it); ended with the object if it still runs.
struct Process {
  Process(const std::string& command_line, const std::string& directory,
          const std::string& program = "") {
    std::wstring line = Wide(command_line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.empty() ? nullptr : Wide(program).c_str(), line.data(), nullptr,
                        nullptr, FALSE, 0, nullptr, Wide(directory).c_str(), &startup, &started)) {
      throw std::runtime_error("cannot start " + command_line);
    }
    CloseHandle(started.hThread);
    handle = started.hProcess, id = started.dwProcessId;
  }
  ~Process() {
    if (!Ended()) TerminateProcess(handle, 1), Ended(5000);
    CloseHandle(handle);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  bool Ended(DWORD wait_ms = 0) const { return WaitForSingleObject(handle, wait_ms) == 0; }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(handle, &code);
    return code;
  }
  HANDLE handle = nullptr;
  DWORD id = 0;
};

// The visible windows under a window (the desktop: top-level ones) of a process, or any, and of a
// class, or any; controls top to bottom, then left to right.
inline std::vector<HWND> Children(HWND parent, DWORD process_id, const wchar_t* class_name) {
  std::vector<HWND> found;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    DWORD owner = 0;
    wchar_t name[64] = {};
    GetWindowThreadProcessId(child, &owner), GetClassNameW(child, name, 64);
    if (IsWindowVisible(child) && (!process_id || owner == process_id) &&
        (!class_name || _wcsicmp(name, class_name) == 0)) {
      found.push_back(child);
    }
  }
  if (process_id) return found;  // windows in their order on the screen, front first
  std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
    RECT ra, rb;
    GetWindowRect(a, &ra), GetWindowRect(b, &rb);
    return std::tie(ra.top, ra.left) < std::tie(rb.top, rb.left);
  });
  return found;
}
inline std::vector<HWND> Windows(DWORD process_id) {
  return Children(GetDesktopWindow(), process_id, nullptr);
}
inline std::vector<HWND> Controls(HWND window, const wchar_t* class_name) {
  return Children(window, 0, class_name);
}

// Readable while the owner is busy.
inline std::string Text(HWND window) {
  wchar_t text[4096];
  return Utf8(std::wstring(text, std::max(InternalGetWindowText(window, text, 4096), 0)));
}

// Caption, texts and buttons, each after a "|"; port numbers read ":PORT".
inline std::string Describe(HWND window) {
  std::string description = Text(window);
  for (HWND label : Controls(window, L"Static")) {
    if ((GetWindowLongW(label, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
      description += "|" + Text(label);
  }
  for (HWND button : Controls(window, L"Button")) description += "|" + Text(button);
  return std::regex_replace(description, std::regex(":[0-9]+/"), ":PORT/");
}

inline bool Press(HWND box, const std::string& button) {
  for (HWND control : Controls(box, L"Button")) {
    if (Text(control) != button) continue;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
    return WaitUntil([&] { return !IsWindow(box); });
  }
  return false;
}

// Waits until the window and its controls are visible and nothing in it is left to paint, and
// have stayed so a moment (the X server shows what Wine drew a little later), for 3 s at most:
// then a screenshot shows it as a user sees it. Says whether it got there.
inline bool WaitPainted(HWND window) {
  const auto painted = [&] {
    if (!IsWindowVisible(window) || GetUpdateRect(window, nullptr, FALSE)) return false;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (!IsWindowVisible(child) || GetUpdateRect(child, nullptr, FALSE)) return false;
    }
    return true;
  };
  auto since = std::chrono::steady_clock::now();
  return WaitUntil(
      [&] {
        if (!painted()) since = std::chrono::steady_clock::now();
        return std::chrono::steady_clock::now() - since > std::chrono::milliseconds(1500);
      },
      std::chrono::seconds(3));
}

// A screenshot of the window once it is painted (its client area alone, or with its frame), as
// the X server under Wine shows it (ImageMagick's import), in a file whose extension names the
// format (.png, .ppm): Wine's own reads of the screen miss what message boxes draw. Says whether
// the file was written.
inline bool SaveScreenshot(HWND window, const std::string& unix_path, bool client_only) {
  WaitPainted(window);
  RECT r;
  GetWindowRect(window, &r);
  if (client_only) {
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  }
  const std::string crop = std::to_string(r.right - r.left) + "x" +
                           std::to_string(r.bottom - r.top) + "+" + std::to_string(r.left) + "+" +
                           std::to_string(r.top);
  // Started as Wine starts a program of the system it runs on, whose handle tells nothing of
  // its end: the picture is written beside its name and renamed once whole, so that it is there
  // whole or not at all however slowly it is written.
  const std::wstring file = Wide("Z:" + unix_path);
  std::filesystem::remove(file);
  const size_t dot = unix_path.rfind('.');
  const std::string partial = unix_path.substr(0, dot) + "-partial" + unix_path.substr(dot);
  std::wstring command =
      Wide("Z:\\bin\\sh -c \"/usr/bin/import -window root -depth 8 -crop " + crop + " '" + partial +
           "' && mv '" + partial + "' '" + unix_path + "'\"");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, L"C:\\",
                      &startup, &started)) {
    return false;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return WaitUntil([&] { return std::filesystem::exists(file); });
}

}  // namespace hanamizu::probe
