#include "fakes/fake_processes.h"

namespace hanamizu::fakes {
namespace {

class FakeWatchedProcess : public WatchedProcess {
 public:
  explicit FakeWatchedProcess(FakeProcessLauncher& launcher) : launcher_(launcher) {
    ++launcher_.open_handles;
  }
  ~FakeWatchedProcess() override {
    --launcher_.open_handles;
    launcher_.calls.push_back("Close");
  }

  std::optional<uint32_t> ExitCode() override {
    launcher_.calls.push_back("ExitCode");
    // Each exit-code query begins a new poll.
    if (launcher_.polls.empty()) {
      current_ = ProcessPoll{};
      current_.exit_code = 0;
    } else {
      current_ = launcher_.polls.front();
      launcher_.polls.pop_front();
    }
    return current_.exit_code;
  }
  bool HasEnded() override {
    launcher_.calls.push_back("HasEnded");
    return current_.ended;
  }

 private:
  FakeProcessLauncher& launcher_;
  ProcessPoll current_;
};

}  // namespace

uint32_t FakeProcessLauncher::StartProcess(const std::string& command_line, int show_window) {
  calls.push_back("Start " + command_line + " show=" + std::to_string(show_window));
  if (journal) journal->push_back(calls.back());
  if (start_error) throw *start_error;
  return next_process_id;
}

std::unique_ptr<WatchedProcess> FakeProcessLauncher::OpenProcess(uint32_t process_id) {
  calls.push_back("Open " + std::to_string(process_id));
  if (open_fails) return nullptr;
  return std::make_unique<FakeWatchedProcess>(*this);
}

void FakeProcessLauncher::Sleep(int milliseconds) {
  calls.push_back("Sleep " + std::to_string(milliseconds));
  if (journal) journal->push_back(calls.back());
  if (on_sleep) on_sleep(milliseconds);
}

void FakeProcessLauncher::ShellOpen(uintptr_t owner_window, const std::string& file,
                                    const std::string& parameters, const std::string& directory,
                                    int show_command) {
  calls.push_back("ShellOpen owner=" + std::to_string(owner_window) + " file=" + file +
                  " parameters=" + parameters + " directory=" + directory +
                  " show=" + std::to_string(show_command));
  if (journal) journal->push_back(calls.back());
}

int FakeProcessLauncher::Count(const std::string& prefix) const {
  int count = 0;
  for (const auto& call : calls) count += call.rfind(prefix, 0) == 0 ? 1 : 0;
  return count;
}

}  // namespace hanamizu::fakes
