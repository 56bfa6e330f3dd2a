#pragma once

#include "platform/processes.h"

namespace hanamizu::win32 {

// Processes through CreateProcessW and ShellExecuteW.
class Win32ProcessLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<WatchedProcess> StartProcess(const std::string& command_line,
                                               int show_window) override;
  void Sleep(int milliseconds) override;
  void ShellOpen(uintptr_t owner_window, const std::string& file, const std::string& parameters,
                 const std::string& directory, int show_command) override;
};

}  // namespace hanamizu::win32
