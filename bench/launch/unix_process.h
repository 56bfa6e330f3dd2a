#pragma once

// A Wine process seen from Linux. Wine 8 answers GetProcessTimes for another process with the
// caller's own CPU times, so the launcher's CPU time is read where Linux keeps it: in /proc of
// its Unix process, which drive Z: shows.

#include <optional>
#include <string>

namespace hanamizu::bench {

class UnixProcess {
 public:
  // The one live Unix process named `comm` (e.g. "launcher.exe") that runs in this Wine prefix.
  static std::optional<UnixProcess> Find(const std::string& comm);

  unsigned pid() const { return pid_; }
  // CPU time of its threads in milliseconds (schedstat: nanoseconds); nothing once it has gone.
  std::optional<double> CpuMs() const;
  // Its peak resident set (VmHWM) in KiB; nothing once it has gone.
  std::optional<unsigned long long> PeakRssKib() const;

 private:
  explicit UnixProcess(unsigned pid) : pid_(pid) {}
  unsigned pid_;
};

}  // namespace hanamizu::bench
