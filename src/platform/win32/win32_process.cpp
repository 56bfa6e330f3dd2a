#include "platform/win32/win32_process.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

class Win32WatchedProcess : public WatchedProcess {
 public:
  explicit Win32WatchedProcess(KernelHandle process) : process_(std::move(process)) {}

  std::optional<uint32_t> ExitCode() override {
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
    return code;
  }
  bool HasEnded() override { return WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }

 private:
  KernelHandle process_;
};

}  // namespace

uint32_t Win32ProcessLauncher::StartProcess(const std::string& command_line, int show_window) {
  std::wstring command = Widen(command_line);  // CreateProcessW may write into it
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show_window);
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started)) {
    throw LastWin32Error();
  }
  KernelHandle thread(started.hThread);
  last_started_ = KernelHandle(started.hProcess);
  last_started_id_ = started.dwProcessId;
  return started.dwProcessId;
}

std::unique_ptr<WatchedProcess> Win32ProcessLauncher::OpenProcess(uint32_t process_id) {
  // SYNCHRONIZE as well: only the process object tells a real exit code of 259 from a run.
  KernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, TRUE, process_id));
  if (process_id == last_started_id_) {
    last_started_.reset();
    last_started_id_ = 0;
  }
  if (!process) return nullptr;
  return std::make_unique<Win32WatchedProcess>(std::move(process));
}

void Win32ProcessLauncher::Sleep(int milliseconds) {
  ::Sleep(static_cast<DWORD>(milliseconds));
}

void Win32ProcessLauncher::ShellOpen(uintptr_t owner_window, const std::string& file,
                                     const std::string& parameters, const std::string& directory,
                                     int show_command) {
  ShellExecuteA(reinterpret_cast<HWND>(owner_window), "open", Utf8ToAnsi(file).c_str(),
                Utf8ToAnsi(parameters).c_str(), Utf8ToAnsi(directory).c_str(), show_command);
}

}  // namespace hanamizu::win32
