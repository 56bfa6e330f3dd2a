#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace hanamizu {

// Shell_WT's pause before each look at the started program, in milliseconds.
inline constexpr int kPollPauseMs = 100;
// The exit code a process reports while it is still running.
inline constexpr uint32_t kStillActive = 259;

// What Get_Shell_PathName reports when it finds no program path to quote.
inline constexpr int32_t kNoProgramPathError = 5;
inline constexpr char kNoProgramPathDescription[] =
    "コマンドラインに実行ファイル (.exe) のパスがありません。";

// The command line with its program path in double quotes: the whole text when it has no
// blank, otherwise up to the first blank-separated word that ends in ".exe" (any case). When
// there is no such word, says so (caption "Get_Shell_PathName") and gives the text unchanged.
std::string Get_Shell_PathName(Platform& platform, const std::string& command_line);

// A program started as Shell_WT starts it (its path quoted by Get_Shell_PathName), looked at
// until it has ended; each look lets the launcher's windows handle their events. A start that
// fails is reported as Shell_WT reports it, and the run counts as ended.
class WatchedRun {
 public:
  WatchedRun(Platform& platform, const std::string& command_line, int window_style);
  WatchedRun(const WatchedRun&) = delete;
  WatchedRun& operator=(const WatchedRun&) = delete;
  bool Started() const { return started_; }
  bool Ended();  // one look, without a pause
  void Wait();   // a look every kPollPauseMs until it has ended

 private:
  Platform& platform_;
  std::unique_ptr<WatchedProcess> process_;
  double start_ = 0;
  bool started_ = false;
};

// Starts command_line with the show-window code window_style and waits until the program has
// ended, letting the launcher's windows handle their events every 100 ms meanwhile. 0 once it
// has ended, whatever its exit code; -1 after a start that failed, which has been reported.
int16_t Shell_WT(Platform& platform, const std::string& command_line, int window_style);

}  // namespace hanamizu
