#include "plain_start.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "launcher_process.h"
#include "stand_in_files.h"

namespace hanamizu::bench {

using namespace std::chrono_literals;

long long PlainStartMs(const BenchInstallation& installation) {
  WriteControl(installation.main_stem(), 0);
  RemoveRecord(installation.main_stem());
  const ULONGLONG start = GetTickCount64();
  const e2e::LauncherProcess main_program(installation.main_program(),
                                          "\"" + installation.main_program() + "\"",
                                          installation.directory);
  const StandInRecord record = WaitForRecord(installation.main_stem(), 20s);
  if (!main_program.WaitForExit(20s)) throw std::runtime_error("the stand-in did not end");
  return static_cast<long long>(record.start_tick_ms - start);
}

TickSteps MeasureTickSteps() {
  std::vector<ULONGLONG> steps;
  ULONGLONG last = GetTickCount64();
  const ULONGLONG end = last + 500;
  while (last < end) {
    const ULONGLONG now = GetTickCount64();
    if (now != last) steps.push_back(now - last);
    last = now;
  }
  std::sort(steps.begin(), steps.end());
  if (steps.empty()) return {};
  return {static_cast<double>(steps.front()), static_cast<double>(steps[steps.size() / 2])};
}

}  // namespace hanamizu::bench
