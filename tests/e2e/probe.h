#pragma once

// What the Windows-side tests, the demo and the benchmarks use to drive real programs: processes,
// windows and buttons, the stand-ins' records, settings and the test servers; text in UTF-8.

#include <windows.h>
#include <wincrypt.h>

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

inline std::string Repeat(const std::string& text, int times) {
  return times > 0 ? text + Repeat(text, times - 1) : "";
}

// A file beside the running executable.
inline std::string Beside(const std::string& name) {
  wchar_t path[MAX_PATH];
  const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return Utf8(self.substr(0, self.rfind(L'\\') + 1)) + name;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream file(std::filesystem::path(Wide(path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(std::filesystem::path(Wide(path)), std::ios::binary) << bytes;
}

// Deeper than MAX_PATH too.
inline void RemoveTree(const std::string& path) {
  const std::wstring full = L"\\\\?\\" + Wide(path);
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((full + L"\\*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      DeleteFileW((full + L"\\" + found.cFileName).c_str());
    else if (found.cFileName[0] != L'.')  // not "." or ".."
      RemoveTree(path + "\\" + Utf8(found.cFileName));
  }
  FindClose(search), RemoveDirectoryW(full.c_str());
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

// "-" when there is none.
inline std::string Setting(HKEY root, const std::string& key, const std::string& name) {
  wchar_t value[1024] = L"-";
  DWORD size = sizeof value;
  RegGetValueW(root, Wide(key).c_str(), Wide(name).c_str(), RRF_RT_REG_SZ, nullptr, value, &size);
  return Utf8(value);
}

// The ctest fixture's server (tests/servers/servers.py) as http(s)://127.0.0.1:PORT/, or with
// "www" and "tls" its folders; the fixture's folder is seen through Wine's drive Z:.
inline std::string Server(const std::string& name) {
  wchar_t unix_path[MAX_PATH] = {};
  GetEnvironmentVariableW(L"HANAMIZU_TEST_SERVERS", unix_path, MAX_PATH);
  std::string state = "Z:" + Utf8(unix_path) + "/";
  std::replace(state.begin(), state.end(), '/', '\\');
  if (name == "www" || name == "tls") return state + name + "\\";
  const std::string port = ReadBytes(state + name + ".port");
  if (port.empty()) throw std::runtime_error("no test servers: run through ctest");
  const bool tls = name != "nginx" && name != "faults";
  return (tls ? "https" : "http") + std::string("://127.0.0.1:") + port.substr(0, port.find('\n')) +
         "/";
}

// The fixture's CA, trusted by the current user of this Wine prefix, the tests' own.
inline void TrustTestCa() {
  const std::string der = ReadBytes(Server("tls") + "ca.der");
  const HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  CertAddEncodedCertificateToStore(
      store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
      static_cast<DWORD>(der.size()), CERT_STORE_ADD_USE_EXISTING, nullptr);
  CertCloseStore(store, 0);
}

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

}  // namespace hanamizu::probe
