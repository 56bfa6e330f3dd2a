#include "platform/win32/win32_process.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

// Owns the handle that creating the process gave.
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

// The program of a command line: its first quoted part, or its first word.
std::string ProgramOf(const std::string& command_line) {
  if (command_line.starts_with('"')) return command_line.substr(1, command_line.find('"', 1) - 1);
  return command_line.substr(0, command_line.find(' '));
}

// The shell takes no "\\?\" path; one too long for MAX_PATH goes in its short form, where the
// volume keeps short names.
std::wstring ShellPath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (wide.size() < MAX_PATH) return wide;
  const std::wstring long_form = FilePath(path);
  std::wstring short_form(GetShortPathNameW(long_form.c_str(), nullptr, 0), L'\0');
  short_form.resize(GetShortPathNameW(long_form.c_str(), short_form.data(),
                                      static_cast<DWORD>(short_form.size())));
  if (short_form.starts_with(L"\\\\?\\UNC\\")) short_form.replace(0, 8, L"\\\\");
  if (short_form.starts_with(L"\\\\?\\")) short_form.erase(0, 4);
  return short_form.empty() || short_form.size() >= MAX_PATH ? wide : short_form;
}

}  // namespace

std::unique_ptr<WatchedProcess> Win32ProcessLauncher::StartProcess(const std::string& command_line,
                                                                   int show_window) {
  std::wstring command = Widen(command_line);  // CreateProcessW may write into it
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show_window);
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started)) {
    throw FileError(ProgramOf(command_line));
  }
  KernelHandle thread(started.hThread);
  return std::make_unique<Win32WatchedProcess>(KernelHandle(started.hProcess));
}

void Win32ProcessLauncher::Sleep(int milliseconds) {
  ::Sleep(static_cast<DWORD>(milliseconds));
}

// Returns once the program has started (or the shell has failed), so that the launcher may end
// right after; the shell shows no error of its own, the launcher says it.
void Win32ProcessLauncher::ShellOpen(uintptr_t owner_window, const std::string& file,
                                     const std::string& parameters, const std::string& directory,
                                     int show_command) {
  const std::wstring path = ShellPath(file), arguments = Widen(parameters);
  const std::wstring folder = ShellPath(directory);
  SHELLEXECUTEINFOW shell{};
  shell.cbSize = sizeof shell;
  shell.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  shell.hwnd = reinterpret_cast<HWND>(owner_window);
  shell.lpVerb = L"open";
  shell.lpFile = path.c_str();
  shell.lpParameters = arguments.c_str();
  shell.lpDirectory = folder.c_str();
  shell.nShow = show_command;
  if (ShellExecuteExW(&shell)) return;
  if (GetLastError() == ERROR_CANCELLED) {
    throw AppError(ERROR_CANCELLED, "パッケージの起動が取り消されました", Condition::kCancelled);
  }
  throw FileError(file);
}

}  // namespace hanamizu::win32
