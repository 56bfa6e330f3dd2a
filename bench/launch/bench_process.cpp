#include "bench_process.h"

#include <psapi.h>

#include <stdexcept>
#include <string>

namespace hanamizu::bench {
namespace {

double FileTimeMs(const FILETIME& time) {
  const ULARGE_INTEGER value{{time.dwLowDateTime, time.dwHighDateTime}};
  return static_cast<double>(value.QuadPart) / 10000.0;  // 100 ns units
}

}  // namespace

double NowMs() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / frequency;
}

double CreationMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
    throw std::runtime_error("GetProcessTimes failed (error " + std::to_string(GetLastError()) +
                             ")");
  }
  return FileTimeMs(created);
}

MemoryPeaks Memory(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) {
    throw std::runtime_error("GetProcessMemoryInfo failed (error " +
                             std::to_string(GetLastError()) + ")");
  }
  return {counters.WorkingSetSize / 1024, counters.PeakWorkingSetSize / 1024,
          counters.PeakPagefileUsage / 1024};
}

}  // namespace hanamizu::bench
