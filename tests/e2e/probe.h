#pragma once

// What the Windows-side tests, the demo and the benchmarks use to drive real programs: processes,
// another process's windows and buttons, the stand-ins' records, settings and the test servers.
// Text is UTF-8, converted here independently of the launcher.

#include <windows.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace hanamizu::probe {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide, UINT code_page = CP_UTF8);
std::string Repeat(const std::string& text, int times);
std::string Beside(const std::string& name);  // a file beside the running executable
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
void RemoveTree(const std::string& path);  // deeper than MAX_PATH too
// A stand-in's NAME.record.txt beside it, as key=value pairs; empty while there is none.
std::map<std::string, std::string> Record(const std::string& program);
void SetSetting(HKEY root, const std::string& key, const std::string& name,
                const std::string& value);
std::string Setting(HKEY root, const std::string& key, const std::string& name);  // "-": absent
// The ctest fixture's server (tests/servers/servers.py) as http://127.0.0.1:PORT/, or with "www"
// nginx's document root.
std::string Server(const std::string& name);

// Polls until the condition holds or the bound has passed; says whether it held.
template <class Condition>
bool WaitUntil(Condition&& condition, std::chrono::milliseconds bound = std::chrono::seconds(20)) {
  for (const auto end = std::chrono::steady_clock::now() + bound; !condition();) {
    if (std::chrono::steady_clock::now() > end) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// A program started with an exact command line; ended with the object if it still runs.
class Process {
 public:
  Process(const std::string& command_line, const std::string& directory,
          const std::string& program = "");  // its path, when the command line may not name it
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  DWORD id() const { return id_; }
  HANDLE handle() const { return handle_; }
  bool Ended(DWORD wait_ms = 0) const { return WaitForSingleObject(handle_, wait_ms) == 0; }
  DWORD ExitCode() const;

 private:
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
};

// Visible top-level windows of a process; the visible controls of a class in a window, top to
// bottom, then left to right.
std::vector<HWND> Windows(DWORD process_id);
std::vector<HWND> Controls(HWND window, const wchar_t* class_name);
std::string Text(HWND window);  // readable while the owner is busy
// Caption, texts and buttons, each after a "|"; port numbers read ":PORT".
std::string Describe(HWND window);
bool Press(HWND box, const std::string& button);

}  // namespace hanamizu::probe
