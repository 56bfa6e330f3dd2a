#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace hanamizu {

// A started process; the object owns what the system keeps of it and lets go at its end.
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
  // Starts a whole command line with a show-window code and gives the process to watch.
  virtual std::unique_ptr<WatchedProcess> StartProcess(const std::string& command_line,
                                                       int show_window) = 0;
  virtual void Sleep(int milliseconds) = 0;
  // Starts a file with the shell's "open" verb and returns once it has started; a failure is an
  // error, of the condition kCancelled when the user declined to let it run.
  virtual void ShellOpen(uintptr_t owner_window, const std::string& file,
                         const std::string& parameters, const std::string& directory,
                         int show_command) = 0;
};

}  // namespace hanamizu
