#include "launch_timing.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>

#include "bench_process.h"
#include "launcher_process.h"
#include "platform/win32/win32_handles.h"
#include "poll_log.h"
#include "stand_in_files.h"
#include "unix_process.h"
#include "ui_probe.h"

namespace hanamizu::bench {
namespace {

using namespace std::chrono_literals;

constexpr double kMinimumMs = 3000;
constexpr double kSplashLimitMs = 60000;
// The splash's first second holds its painting and the settings; after it, only the wait.
constexpr double kTailStartMs = 1000;
constexpr DWORD kCpuSampleMs = 50;

std::string Unexpected(const e2e::LauncherProcess& launcher, const std::string& what) {
  const auto box = e2e::FindMessageBox(launcher.id());
  return what + (box ? " (message box: " + box->text + ")" : "");
}

double Cpu(const UnixProcess& process) {
  const std::optional<double> cpu = process.CpuMs();
  if (!cpu) throw std::runtime_error("the launcher's Unix process has gone");
  return *cpu;
}

// Watches the splash come and go; fills the splash figures and gives the CPU time at its end.
double WatchSplash(const e2e::LauncherProcess& launcher, std::optional<UnixProcess>& unix_launcher,
                   double start, LaunchSample& sample) {
  PollLog polls;
  std::optional<double> seen, tail_start;
  double cpu_seen = 0, cpu_tail = 0;
  for (;;) {
    const bool up = !e2e::VisibleWindowsOfClass(launcher.id(), kSplashClass).empty();
    const double now = NowMs();
    polls.Mark(now);
    if (up && !seen) {
      seen = now;
      // Searching /proc takes 10-30 ms: the reading lands that much after the splash was seen,
      // and the gap is left out of the poll spacing, which matters only around the changes.
      unix_launcher = UnixProcess::Find("launcher.exe");
      if (!unix_launcher) throw std::runtime_error("cannot find the launcher's Unix process");
      cpu_seen = Cpu(*unix_launcher);
      polls.Skip();
    }
    if (up && seen && !tail_start && now - *seen >= kTailStartMs) {
      tail_start = now;
      cpu_tail = Cpu(*unix_launcher);
    }
    if (!up && seen) {
      const double cpu_gone = Cpu(*unix_launcher);
      sample.to_splash_ms = *seen - start;
      sample.splash_ms = now - *seen;
      sample.cpu_startup_ms = cpu_seen;
      sample.cpu_splash_ms = cpu_gone - cpu_seen;
      if (tail_start) {
        sample.cpu_splash_tail_ms = cpu_gone - cpu_tail;
        sample.splash_tail_ms = now - *tail_start;
      }
      sample.poll_median_ms = polls.MedianGap();
      sample.poll_max_ms = polls.MaxGap();
      return cpu_gone;
    }
    if (!launcher.Running()) throw std::runtime_error(Unexpected(launcher, "launcher ended"));
    if (now - start > kSplashLimitMs) {
      throw std::runtime_error(Unexpected(launcher, "no splash came and went"));
    }
    Sleep(kPollMs);
  }
}

}  // namespace

LaunchSample MeasureLaunch(const BenchInstallation& installation, DWORD main_ms) {
  WriteControl(installation.main_stem(), main_ms);
  RemoveRecord(installation.main_stem());
  LaunchSample sample;
  const ULONGLONG start_tick = GetTickCount64();
  const double start = NowMs();
  const e2e::LauncherProcess launcher(installation.launcher(), installation.launcher_command_line(),
                                      installation.directory);
  std::optional<UnixProcess> unix_launcher;
  const double cpu_gone = WatchSplash(launcher, unix_launcher, start, sample);

  const StandInRecord record = WaitForRecord(installation.main_stem(), 20s);
  sample.overhead_ms = static_cast<long long>(record.start_tick_ms - start_tick) -
                       static_cast<long long>(kMinimumMs);
  // Opened while it still runs: its handle then signals the moment it ends.
  const win32::KernelHandle main_program(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, record.process_id));
  if (!main_program) throw std::runtime_error("cannot open the main program's process");
  sample.created_gap_ms =
      CreationMs(main_program.get()) - CreationMs(launcher.handle()) - kMinimumMs;

  // /proc forgets a process that has ended: the last reading before the end stands for the total.
  double cpu_last = cpu_gone;
  const double limit = NowMs() + main_ms + 30000;
  while (WaitForSingleObject(main_program.get(), kCpuSampleMs) == WAIT_TIMEOUT) {
    cpu_last = std::max(cpu_last, unix_launcher->CpuMs().value_or(0));
    if (NowMs() > limit) throw std::runtime_error("the main program did not end");
  }
  const double main_end = NowMs();
  while (WaitForSingleObject(launcher.handle(), kPollMs) == WAIT_TIMEOUT) {
    cpu_last = std::max(cpu_last, unix_launcher->CpuMs().value_or(0));
    if (NowMs() - main_end > 30000) throw std::runtime_error("the launcher did not end");
  }
  sample.exit_gap_ms = NowMs() - main_end;
  sample.cpu_main_ms = cpu_last - cpu_gone;
  return sample;
}

}  // namespace hanamizu::bench
