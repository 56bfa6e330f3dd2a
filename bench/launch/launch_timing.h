#pragma once

// One launch with auto-update off, watched from outside: how long the launcher adds before the
// main program starts, how long the splash stays, what CPU the launcher burns while it waits,
// and how soon it ends after the main program.

#include <windows.h>

#include "bench_installation.h"

namespace hanamizu::bench {

struct LaunchSample {
  long long overhead_ms = 0;  // start tick before CreateProcess → main program's start tick, − 3 s
  double created_gap_ms = 0;      // launcher's creation → main program's creation, − 3 s
  double to_splash_ms = 0;        // CreateProcess → splash first seen visible
  double splash_ms = 0;           // splash first seen visible → first seen gone
  double cpu_startup_ms = 0;      // launcher CPU until the splash was seen
  double cpu_splash_ms = 0;       // ... while the splash was up (the three-second wait)
  double cpu_splash_tail_ms = 0;  // ... of that, from one second after it was seen to its end
  double splash_tail_ms = 0;      // how long that tail was
  double cpu_main_ms = 0;         // ... from the splash's end to the launcher's last reading
  double exit_gap_ms = 0;         // main program's end → launcher's end
  double poll_median_ms = 0;      // spacing of the driver's looks at the splash
  double poll_max_ms = 0;
};

// The main-program stand-in runs for main_ms before it exits.
LaunchSample MeasureLaunch(const BenchInstallation& installation, DWORD main_ms);

}  // namespace hanamizu::bench
