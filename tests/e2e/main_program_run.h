#pragma once

// Follows a launcher from the splash window to its end while the main program stand-in runs, and
// gives what was seen on the way. Used wherever a launch ends in the normal run.

#include <optional>
#include <string>

#include "launcher_process.h"
#include "splash_watch.h"
#include "standin_record.h"

namespace hanamizu::e2e {

struct MainProgramRun {
  StandInRecord record;
  // Whether the splash window had been destroyed when the main program had just started.
  bool splash_gone_at_start = false;
  // Whether the launcher was still running when the main program had just started.
  bool launcher_running_at_start = false;
  // Whether the main program had ended when the launcher was seen to end.
  bool main_ended_before_launcher = false;
};

// Waits, bounded, for the main program at `main_program` to start and for the launcher to end,
// looking at the splash window all along. Fails the test and gives nothing when the launcher
// shows a message box instead, ends without the main program, or takes too long.
std::optional<MainProgramRun> FollowMainProgramRun(const LauncherProcess& launcher,
                                                   SplashWatch& splash,
                                                   const std::string& main_program);

}  // namespace hanamizu::e2e
