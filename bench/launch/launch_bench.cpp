// The in-Wine half of bench/run. Prints one line of "name value=..." pairs per measurement.
//   launch_bench clock
//   launch_bench launch <installation> <runs> <main program ms>
//   launch_bench update <installation> <update address/> <temp directory>

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "launch_timing.h"
#include "plain_start.h"
#include "probe_text.h"
#include "settings_registry.h"
#include "update_download.h"

namespace {

using namespace hanamizu::bench;

void Clock() {
  const TickSteps steps = MeasureTickSteps();
  std::printf("clock tick_step_min_ms=%.0f tick_step_median_ms=%.0f\n", steps.min_ms,
              steps.median_ms);
}

// The launcher looks at the running main program every 100 ms.
constexpr DWORD kLauncherPollMs = 100;

// Plain starts and launches take turns, so both see the same state of the machine. The main
// program's run grows by an even share of the launcher's poll from run to run: with one fixed
// length every run would end at the same point of that poll, and the exit gap with it.
void Launch(const BenchInstallation& installation, int runs, DWORD main_ms) {
  const hanamizu::e2e::SettingsSection settings{kSettingsApplication};
  settings.Clear();
  settings.SetUser("自動ｱｯﾌﾟﾃﾞｰﾄ", "0");
  for (int run = 1; run <= runs; ++run) {
    std::printf("plain run=%d start_ms=%lld\n", run, PlainStartMs(installation));
    std::fflush(stdout);
    const DWORD run_ms = main_ms + static_cast<DWORD>(run - 1) * kLauncherPollMs / runs;
    const LaunchSample s = MeasureLaunch(installation, run_ms);
    std::printf(
        "launch run=%d main_ms=%lu overhead_ms=%lld created_gap_ms=%.1f to_splash_ms=%.1f "
        "splash_ms=%.1f cpu_startup_ms=%.0f cpu_splash_ms=%.0f cpu_splash_tail_ms=%.0f "
        "splash_tail_ms=%.0f cpu_main_ms=%.0f exit_gap_ms=%.1f poll_median_ms=%.2f "
        "poll_max_ms=%.2f\n",
        run, static_cast<unsigned long>(run_ms), s.overhead_ms, s.created_gap_ms, s.to_splash_ms,
        s.splash_ms, s.cpu_startup_ms, s.cpu_splash_ms, s.cpu_splash_tail_ms, s.splash_tail_ms,
        s.cpu_main_ms, s.exit_gap_ms, s.poll_median_ms, s.poll_max_ms);
    std::fflush(stdout);
  }
}

void Update(const BenchInstallation& installation, const std::string& url,
            const std::string& temp_dir) {
  const DownloadSample s = MeasureUpdateDownload(installation, url, temp_dir);
  std::printf(
      "update package_bytes=%llu download_ms=%.1f cpu_ms=%.0f server_cpu_ms=%.0f "
      "offer_peak_working_set_kib=%llu "
      "peak_working_set_kib=%llu peak_pagefile_kib=%llu peak_rss_kib=%llu poll_median_ms=%.2f "
      "package_started=%d\n",
      s.package_bytes, s.download_ms, s.cpu_ms, s.server_cpu_ms, s.offer_peak_working_set_kib,
      s.peak_working_set_kib, s.peak_pagefile_kib, s.peak_rss_kib, s.poll_median_ms,
      s.package_started ? 1 : 0);
}

int Usage() {
  std::fputs(
      "usage: launch_bench clock\n"
      "       launch_bench launch <installation> <runs> <main program ms>\n"
      "       launch_bench update <installation> <update address/> <temp directory>\n",
      stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring mode = argv[1];
  try {
    if (mode == L"clock" && argc == 2) {
      Clock();
    } else if (mode == L"launch" && argc == 5) {
      Launch({hanamizu::e2e::Utf8(argv[2])}, _wtoi(argv[3]), static_cast<DWORD>(_wtoi(argv[4])));
    } else if (mode == L"update" && argc == 5) {
      Update({hanamizu::e2e::Utf8(argv[2])}, hanamizu::e2e::Utf8(argv[3]),
             hanamizu::e2e::Utf8(argv[4]));
    } else {
      return Usage();
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "launch_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
