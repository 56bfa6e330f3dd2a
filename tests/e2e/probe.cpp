#include "probe.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace hanamizu::probe {

std::wstring Wide(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                  wide.data(), static_cast<int>(wide.size())));
  return wide;
}

std::string Utf8(const std::wstring& wide, UINT code_page) {
  std::string text(wide.size() * 4, '\0');
  text.resize(WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()),
                                  text.data(), static_cast<int>(text.size()), nullptr, nullptr));
  return text;
}

std::string Repeat(const std::string& text, int times) {
  return times > 0 ? text + Repeat(text, times - 1) : "";
}

std::string Beside(const std::string& name) {
  wchar_t path[MAX_PATH];
  const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return Utf8(self.substr(0, self.rfind(L'\\') + 1)) + name;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(std::filesystem::path(Wide(path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(std::filesystem::path(Wide(path)), std::ios::binary) << bytes;
}

void RemoveTree(const std::string& path) {
  const std::wstring full = L"\\\\?\\" + Wide(path);
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((full + L"\\*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      RemoveTree(path + "\\" + Utf8(name));
    else
      DeleteFileW((full + L"\\" + name).c_str());
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  RemoveDirectoryW(full.c_str());
}

std::map<std::string, std::string> Record(const std::string& program) {
  std::map<std::string, std::string> record;
  std::istringstream lines(ReadBytes(program.substr(0, program.rfind('.')) + ".record.txt"));
  for (std::string line; std::getline(lines, line);) {
    record[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  }
  return record;
}

void SetSetting(HKEY root, const std::string& key, const std::string& name,
                const std::string& value) {
  const std::wstring data = Wide(value);
  RegSetKeyValueW(root, Wide(key).c_str(), Wide(name).c_str(), REG_SZ, data.c_str(),
                  static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

std::string Setting(HKEY root, const std::string& key, const std::string& name) {
  wchar_t value[1024];
  DWORD size = sizeof value;
  const LSTATUS status = RegGetValueW(root, Wide(key).c_str(), Wide(name).c_str(), RRF_RT_REG_SZ,
                                      nullptr, value, &size);
  return status ? "-" : Utf8(value);
}

std::string Server(const std::string& name) {
  // The fixture's directory on the Unix side, seen through Wine's drive Z:.
  wchar_t unix_path[MAX_PATH] = {};
  GetEnvironmentVariableW(L"HANAMIZU_TEST_SERVERS", unix_path, MAX_PATH);
  std::string state = "Z:" + Utf8(unix_path) + "/";
  std::replace(state.begin(), state.end(), '/', '\\');
  if (name == "www") return state + "www\\";
  const std::string port = ReadBytes(state + name + ".port");
  if (port.empty()) throw std::runtime_error("no test servers: run through ctest");
  return "http://127.0.0.1:" + port.substr(0, port.find('\n')) + "/";
}

Process::Process(const std::string& command_line, const std::string& directory,
                 const std::string& program) {
  std::wstring line = Wide(command_line);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.empty() ? nullptr : Wide(program).c_str(), line.data(), nullptr,
                      nullptr, FALSE, 0, nullptr, Wide(directory).c_str(), &startup, &started)) {
    throw std::runtime_error("cannot start " + command_line);
  }
  CloseHandle(started.hThread);
  handle_ = started.hProcess, id_ = started.dwProcessId;
}

Process::~Process() {
  if (!Ended()) TerminateProcess(handle_, 1), Ended(5000);
  CloseHandle(handle_);
}

DWORD Process::ExitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(handle_, &code);
  return code;
}

std::vector<HWND> Windows(DWORD process_id) {
  std::pair<DWORD, std::vector<HWND>> search{process_id, {}};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto& [id, found] = *reinterpret_cast<decltype(search)*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == id && IsWindowVisible(window)) found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.second;
}

std::vector<HWND> Controls(HWND window, const wchar_t* class_name) {
  std::vector<HWND> found;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[64] = {};
    GetClassNameW(child, name, 64);
    if (IsWindowVisible(child) && _wcsicmp(name, class_name) == 0) found.push_back(child);
  }
  std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
    RECT ra, rb;
    GetWindowRect(a, &ra), GetWindowRect(b, &rb);
    return std::tie(ra.top, ra.left) < std::tie(rb.top, rb.left);
  });
  return found;
}

std::string Text(HWND window) {
  wchar_t text[4096];
  return Utf8(std::wstring(text, std::max(InternalGetWindowText(window, text, 4096), 0)));
}

std::string Describe(HWND window) {
  std::string description = Text(window);
  for (HWND label : Controls(window, L"Static")) {
    if ((GetWindowLongW(label, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
      description += "|" + Text(label);
  }
  for (HWND button : Controls(window, L"Button")) description += "|" + Text(button);
  return std::regex_replace(description, std::regex(":[0-9]+/"), ":PORT/");
}

bool Press(HWND box, const std::string& button) {
  for (HWND control : Controls(box, L"Button")) {
    if (Text(control) != button) continue;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
    return WaitUntil([&] { return !IsWindow(box); });
  }
  return false;
}

}  // namespace hanamizu::probe
