#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace hanamizu {

// A started process, opened for queries.
class WatchedProcess {
 public:
  virtual ~WatchedProcess() = default;
  // The exit code, 259 while the process runs; nothing when the query fails.
  virtual std::optional<uint32_t> ExitCode() = 0;
  // Whether the process itself has ended, whatever its exit code says.
  virtual bool HasEnded() = 0;
};

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts a whole command line with a show-window code; returns the process identifier.
  virtual uint32_t StartProcess(const std::string& command_line, int show_window) = 0;
  // Opens a process by identifier; nothing when that fails (e.g. it has already gone).
  virtual std::unique_ptr<WatchedProcess> OpenProcess(uint32_t process_id) = 0;
  virtual void Sleep(int milliseconds) = 0;
  // Starts a file with the shell's "open" verb; failures are not reported.
  virtual void ShellOpen(uintptr_t owner_window, const std::string& file,
                         const std::string& parameters, const std::string& directory,
                         int show_command) = 0;
};

}  // namespace hanamizu
