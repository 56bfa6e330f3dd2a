# shellcheck shell=bash
# shellcheck disable=SC2154 # the variables come from bench/run
# bench/RESULTS.md from the raw lines of one run. Needs the variables that bench/run sets.

# "median (min–max)" of a key of the launch lines, of the plain lines, and so on.
s() { bench_summary "$raw" "$@"; }
# One figure of the medians, e.g. the ratio of two.
median() { s "$1" "$2" 3 | cut -d' ' -f1; }

bench_report() {
  local launches plain_runs rounds shared ratio spread
  launches=$(bench_count "$raw" launch)
  plain_runs=$(bench_count "$raw" plain)
  rounds=$(bench_count "$raw" update)
  shared="no: no other process was seen busy and the load average was below 0.5 at the start"
  if [[ -n $others ]] || awk -v l="${load_before%% *}" 'BEGIN { exit !(l >= 0.5) }'; then
    shared="**yes**: the run shared the machine with other work; its times are indicative only"
  fi
  # How much longer than main_ms the main program ran, shortest and longest.
  spread=$(bench_values "$raw" launch main_ms | sort -n | sed -n '1p;$p' |
    awk -v m="$main_ms" '{ v[NR] = $1 - m } END { printf "%d–%d", v[1], v[NR] }')
  ratio=$(awk -v a="$(median update mib_s)" -v b="$(median curl_null mib_s)" \
    'BEGIN { if (a > 0) printf "%.1f", b / a; else print "n/a" }')
  cat <<REPORT
# Benchmarks: launcher.exe under Wine

Written by \`bench/run\` from one run on $started_at. Figures are "median (min–max)"
over the number of runs given; the raw lines of the run are in \`build/bench-run/raw.txt\`.
Benchmarks measure and never fail on a number.

## Machine

| | |
|---|---|
| CPU | $(bench_cpu_model) |
| Cores | $(nproc) |
| Memory | $(bench_memory) |
| Kernel | $(uname -r) |
| Wine | $wine_version (prefix build/bench-wineprefix, LANG=ja_JP.UTF-8, private Xvfb) |
| Shared | $shared |
| Load average (1, 5, 15 min) | before: $load_before; after: $load_after |
| Other processes seen busy (≥ 5 % of a CPU over 1 s, looked for every ~2 s of the run) | ${others:-none} |

## Launch with auto-update off

$launches launches of \`launcher.exe boot\` (oem.ini \`REGISTRY=BENCH\`, settings under di04BENCH,
"自動ｱｯﾌﾟﾃﾞｰﾄ" = 0), each followed by the main-program stand-in running $((main_ms / 1000)) s plus
$spread ms (spread evenly over the launcher's 100 ms poll of the main program, so that the exit
gap meets every point of that poll); a plain CreateProcess of the same stand-in ran before each
launch ($plain_runs runs). The driver \`bench/launch/launch_bench.exe\` takes GetTickCount64 just
before CreateProcess and compares it with the stand-in's recorded \`start_tick_ms\`.

| Figure | ms |
|---|---|
| **Launch overhead**: launcher's CreateProcess → main program's recorded start, minus 3 s | $(s launch overhead_ms) |
| Plain CreateProcess of the stand-in → its recorded start | $(s plain start_ms) |
| Launcher's creation → main program's creation (Wine server times), minus 3 s | $(s launch created_gap_ms 1) |
| Launcher's CreateProcess → splash first seen visible | $(s launch to_splash_ms 1) |
| **Splash visible**: first seen → first seen gone | $(s launch splash_ms 1) |
| **Main program's end → launcher's end** (both process handles waited on) | $(s launch exit_gap_ms 1) |

The launcher looks at the running main program every 100 ms, so the last figure may lie anywhere
from 0 to about 100 ms, plus the launcher's own exit. The overhead is roughly the time to the
splash, plus what the splash stays beyond 3 s, plus one plain start.

Resolution: GetTickCount64 under Wine moves in steps of $(s clock tick_step_median_ms) ms (median
step; smallest $(s clock tick_step_min_ms) ms), so each tick-based figure is good to about one
step. The probe looked at the splash every $(s launch poll_median_ms 2) ms (median spacing per
run; the longest gap in a run was $(s launch poll_max_ms 1) ms), which bounds the splash figures.

## CPU time of the launcher

Same $launches launches. Wine 8 answers GetProcessTimes for another process with the caller's
own times, so the driver reads the launcher's Unix process instead: the sum of
\`/proc/<pid>/task/*/schedstat\` (nanoseconds), seen through drive Z:. Wine's server is not
counted. The reading at "splash seen" lands 10–30 ms after it, the time the driver needs to find
the Unix process.

| Phase | CPU ms |
|---|---|
| Start-up, until the splash is seen | $(s launch cpu_startup_ms) |
| Splash up (the three-second minimum) | $(s launch cpu_splash_ms) |
| of which the wait alone: from 1 s after the splash came to its end ($(s launch splash_tail_ms) ms) | $(s launch cpu_splash_tail_ms) |
| Main program running ~$((main_ms / 1000)) s, until the launcher's last reading before its end | $(s launch cpu_main_ms) |

## Package download

$rounds rounds, each: the launcher's own update download, then \`curl\` to /dev/null, \`curl\` to
a file on the same disk, and \`download_bench.exe\`, all from one nginx on 127.0.0.1 serving a
$package_size package (the HanamizuSetup.exe stand-in padded sparse to size). For the launcher:
"自動ｱｯﾌﾟﾃﾞｰﾄ" = 1 and "自動ｱｯﾌﾟﾃﾞｰﾄURL" naming the server (HKCU, di04BENCH), an update list one
build newer than the installed stand-in, TEMP pointing to the bench's directory; the driver
presses OK on the offer and times until the package-ready box appears (polled every
$(s update poll_median_ms 2) ms), then presses OK there too.

| Path | Time ms | MiB/s | Peak working set KiB | Peak pagefile KiB |
|---|---|---|---|---|
| **launcher.exe**: OK on the offer → package-ready box | $(s update download_ms) | $(s update mib_s 1) | $(s update peak_working_set_kib) | $(s update peak_pagefile_kib) |
| download_bench.exe: the same WinINet client and pending file, no UI | $(s download_bench ms) | $(s download_bench mib_s 1) | $(s download_bench peak_working_set_kib) | $(s download_bench peak_pagefile_kib) |
| curl -o /dev/null | $(s curl_null ms) | $(s curl_null mib_s 1) | | |
| curl -o file | $(s curl_file ms) | $(s curl_file mib_s 1) | | |

- curl to /dev/null was $ratio× as fast as the launcher (medians).
- The launcher's peak working set was $(s update offer_peak_working_set_kib) KiB with the offer up
  (before the download) and $(s update peak_working_set_kib) KiB with the package-ready box up;
  the Unix process's VmHWM agrees: $(s update peak_rss_kib) KiB. The launcher's figures are
  GetProcessMemoryInfo on its process handle before it exits.
- CPU over the download: launcher $(s update cpu_ms) ms, Wine server $(s update server_cpu_ms) ms
  (the server also answers the driver's polling).
- The downloaded package was started (its stand-in recorded a start) in
  $(bench_values "$raw" update package_started | grep -c '^1')/$rounds rounds.
- \`download_bench.exe\` (bench/download_memory) measures \`Win32HttpClient::Download\` into
  \`Win32FileSystem::CreatePendingFile\`, the same calls that the update check's download makes, in
  a process of its own without the splash window or the message boxes; its time comes from its
  own clock (10 ms steps), its memory from GetProcessMemoryInfo on itself.

## Size and imports

\`build/windows/launcher.exe\`: $launcher_bytes bytes ($((launcher_bytes / 1024)) KiB), with the
C++ runtime linked in statically. Imported DLLs (\`x86_64-w64-mingw32-objdump -p\`), and where
the bench prefix has them:

| DLL | In the prefix |
|---|---|
${dll_rows}
$(if grep -q 'not in system32' <<<"$dll_rows"; then
    echo "Not every import is a system DLL: see the rows above."
  else
    echo "All are system DLLs: each is in C:\\windows\\system32 of a fresh prefix; nothing ships beside the launcher."
  fi)
REPORT
}
