#pragma once

#include "platform/processes.h"
#include "platform/win32/win32_handles.h"

namespace hanamizu::win32 {

// Processes through CreateProcessW, OpenProcess and ShellExecuteA.
class Win32ProcessLauncher : public ProcessLauncher {
 public:
  uint32_t StartProcess(const std::string& command_line, int show_window) override;
  std::unique_ptr<WatchedProcess> OpenProcess(uint32_t process_id) override;
  void Sleep(int milliseconds) override;
  void ShellOpen(uintptr_t owner_window, const std::string& file, const std::string& parameters,
                 const std::string& directory, int show_command) override;

 private:
  // The last started process stays referenced until it is opened, so that its identifier
  // cannot pass to another process in between.
  KernelHandle last_started_;
  uint32_t last_started_id_ = 0;
};

}  // namespace hanamizu::win32
