#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/app_error.h"
#include "platform/processes.h"

namespace hanamizu::fakes {

// What one look at a watched process finds.
struct ProcessPoll {
  std::optional<uint32_t> exit_code;  // nothing: the query fails
  bool ended = true;                  // what the process object itself says
};

// Starts nothing: answers with scripted identifiers, polls and failures and records every call
// in "calls", in order ("Start ...", "Open ...", "Sleep ...", "ExitCode", "HasEnded", "Close",
// "ShellOpen ...").
class FakeProcessLauncher : public ProcessLauncher {
 public:
  std::optional<AppError> start_error;  // thrown by the next starts
  bool open_fails = false;
  uint32_t next_process_id = 4242;
  // Answers of the successive polls; once used up, every poll finds an ended process with 0.
  std::deque<ProcessPoll> polls;
  std::vector<std::string> calls;
  std::vector<std::string>* journal = nullptr;  // also receives starts, sleeps and shell opens
  std::function<void(int)> on_sleep;            // e.g. moves a fake clock
  int open_handles = 0;

  uint32_t StartProcess(const std::string& command_line, int show_window) override;
  std::unique_ptr<WatchedProcess> OpenProcess(uint32_t process_id) override;
  void Sleep(int milliseconds) override;
  void ShellOpen(uintptr_t owner_window, const std::string& file, const std::string& parameters,
                 const std::string& directory, int show_command) override;

  // The number of calls that start with prefix.
  int Count(const std::string& prefix) const;
};

}  // namespace hanamizu::fakes
