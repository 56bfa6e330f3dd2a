#pragma once

// A program started for a test with an exact command line, ended when the test is done with it.

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

#include "bounded_wait.h"

namespace hanamizu::e2e {

class LauncherProcess {
 public:
  // Starts `executable` with `command_line` handed over byte for byte (it becomes the child's
  // GetCommandLineW), in `current_directory`. Throws when the process cannot be created.
  LauncherProcess(const std::string& executable, const std::string& command_line,
                  const std::string& current_directory);
  // Ends the process if it still runs: a failed test must not leave a launcher behind.
  ~LauncherProcess();
  LauncherProcess(LauncherProcess&& other) noexcept;
  LauncherProcess& operator=(LauncherProcess&& other) noexcept;
  LauncherProcess(const LauncherProcess&) = delete;
  LauncherProcess& operator=(const LauncherProcess&) = delete;

  DWORD id() const { return id_; }
  HANDLE handle() const { return process_; }
  bool Running() const;
  // Waits, bounded, for the end; returns whether the process has ended.
  bool WaitForExit(std::chrono::milliseconds limit = kDefaultWait) const;
  // The exit code once the process has ended; nothing while it runs.
  std::optional<DWORD> ExitCode() const;

 private:
  void Close() noexcept;

  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// The full path of a file beside this test executable.
std::string BesideTestExecutable(const std::string& file_name);

}  // namespace hanamizu::e2e
