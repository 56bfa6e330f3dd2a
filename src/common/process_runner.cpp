#include "common/process_runner.h"

#include <memory>
#include <vector>

#include "common/app_error.h"
#include "common/error_message.h"
#include "common/launch_log.h"
#include "common/text.h"

namespace hanamizu {
namespace {

// Words between single blanks: two blanks in a row hold an empty word, nothing is trimmed.
std::vector<std::u16string> SplitAtBlanks(const std::u16string& text) {
  std::vector<std::u16string> words;
  size_t start = 0;
  for (;;) {
    const size_t blank = text.find(u' ', start);
    words.push_back(text.substr(start, blank - start));
    if (blank == std::u16string::npos) return words;
    start = blank + 1;
  }
}

bool EndsInExe(const std::u16string& word) {
  return word.size() >= 4 && ToLowerLatin(word.substr(word.size() - 4)) == u".exe";
}

std::string QuoteProgramPath(const std::string& command_line) {
  const std::u16string text = Utf8ToUtf16(command_line);
  if (text.empty()) throw AppError(kNoProgramPathError, kNoProgramPathDescription);
  const std::vector<std::u16string> words = SplitAtBlanks(text);
  if (words.size() == 1) return "\"" + command_line + "\"";
  size_t end = 0;  // characters up to and including the current word
  for (const auto& word : words) {
    end += word.size();
    if (EndsInExe(word)) {
      return "\"" + Utf16ToUtf8(text.substr(0, end)) + "\"" + Utf16ToUtf8(text.substr(end));
    }
    ++end;  // the blank after the word
  }
  throw AppError(kNoProgramPathError, kNoProgramPathDescription);
}

void ReportShellError(Platform& platform, const AppError& error) {
  platform.log.Write("Shell_WT failed: " + ErrorWords(error));
  ShowStandardError(platform.ui, error, "Shell_WT");
}

}  // namespace

std::string Get_Shell_PathName(Platform& platform, const std::string& command_line) {
  return WithTrap([&] { return QuoteProgramPath(command_line); },
                  [&](const AppError& error) {
                    platform.log.Write("Get_Shell_PathName failed: " + ErrorWords(error));
                    platform.ui.ShowMessage(error.description(), "Get_Shell_PathName",
                                            MessageButtons::kOk, MessageIcon::kNone);
                    return command_line;
                  });
}

WatchedRun::WatchedRun(Platform& platform, const std::string& command_line, int window_style)
    : platform_(platform) {
  WithTrap(
      [&] {
        const std::string quoted = Get_Shell_PathName(platform, command_line);
        process_ = platform.processes.StartProcess(quoted, window_style);
        platform.log.Write("started " + quoted);
        start_ = platform.system.MonotonicSeconds();
        started_ = true;
      },
      [&](const AppError& error) { ReportShellError(platform, error); });
}

bool WatchedRun::Ended() {
  if (!process_) return true;
  const auto ended = [&](const std::string& how) {
    platform_.log.Write("ended after " +
                        std::to_string(Milliseconds(start_, platform_.system.MonotonicSeconds())) +
                        " ms: " + how);
    process_.reset();
    return true;
  };
  // A failed query leaves the exit code at 0, which ends the wait.
  const std::optional<uint32_t> code = process_->ExitCode();
  const uint32_t exit_code = code.value_or(0);
  platform_.ui.DoEvents();
  if (exit_code != kStillActive) {
    return ended(code ? "exit code " + std::to_string(exit_code)
                      : std::string("its exit code could not be read"));
  }
  // A program may itself exit with 259; only the process object tells it apart. It may also
  // have ended since the look: its exit code is read again.
  if (process_->HasEnded()) {
    return ended("exit code " + std::to_string(process_->ExitCode().value_or(exit_code)));
  }
  return false;
}

void WatchedRun::Wait() {
  while (process_) {
    platform_.processes.Sleep(kPollPauseMs);
    Ended();
  }
}

int16_t Shell_WT(Platform& platform, const std::string& command_line, int window_style) {
  WatchedRun run(platform, command_line, window_style);
  if (!run.Started()) return -1;
  return WithTrap(
      [&]() -> int16_t {
        run.Wait();
        return 0;
      },
      [&](const AppError& error) -> int16_t {
        ReportShellError(platform, error);
        return -1;
      });
}

}  // namespace hanamizu
