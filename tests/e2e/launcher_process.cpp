#include "launcher_process.h"

#include <stdexcept>
#include <utility>

#include "probe_text.h"

namespace hanamizu::e2e {

LauncherProcess::LauncherProcess(const std::string& executable, const std::string& command_line,
                                 const std::string& current_directory) {
  const std::wstring application = Wide(executable);
  std::wstring line = Wide(command_line);  // CreateProcessW may write into it
  const std::wstring directory = Wide(current_directory);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // No handles inherited: the child must not keep the test's output open.
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.c_str(), &startup, &info)) {
    throw std::runtime_error("cannot start " + executable + " (error " +
                             std::to_string(GetLastError()) + ")");
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  id_ = info.dwProcessId;
}

LauncherProcess::~LauncherProcess() {
  Close();
}

LauncherProcess::LauncherProcess(LauncherProcess&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), id_(std::exchange(other.id_, 0)) {}

LauncherProcess& LauncherProcess::operator=(LauncherProcess&& other) noexcept {
  if (this != &other) {
    Close();
    process_ = std::exchange(other.process_, nullptr);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

void LauncherProcess::Close() noexcept {
  if (!process_) return;
  if (Running()) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
  process_ = nullptr;
}

bool LauncherProcess::Running() const {
  return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool LauncherProcess::WaitForExit(std::chrono::milliseconds limit) const {
  return WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}

std::optional<DWORD> LauncherProcess::ExitCode() const {
  if (Running()) return std::nullopt;
  DWORD code = 0;
  if (!GetExitCodeProcess(process_, &code)) return std::nullopt;
  return code;
}

std::string BesideTestExecutable(const std::string& file_name) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw std::runtime_error("cannot find the test executable");
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  path.resize(path.find_last_of(L'\\') + 1);
  return Utf8(path) + file_name;
}

}  // namespace hanamizu::e2e
