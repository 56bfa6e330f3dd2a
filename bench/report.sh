# shellcheck shell=bash
# shellcheck disable=SC2154 # the variables come from bench/run
# The reports of bench/run, from the raw lines of its run in $raw: "name key=value ...".

# The values of one key on the lines of one name.
values() {
  awk -v n="$1" -v k="$2=" '$1 == n {
    for (i = 2; i <= NF; i++) if (index($i, k) == 1) print substr($i, length(k) + 1) }' "$raw"
}
# "median (min–max)" of them with $3 decimals; a lone value stands alone.
s() {
  values "$1" "$2" | sort -g | awk -v d="${3:-0}" '{ v[NR] = $1 } END {
    if (!NR) { print "n/a"; exit }
    format = NR > 1 ? "%.*f (%.*f–%.*f)\n" : "%.*f\n"
    printf format, d, NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2, d, v[1], d, v[NR]
  }'
}
cpu_model() {
  awk -F'\t*: ' '/^model name/ { n = $2 } /^cpu family/ { f = $2 } /^model\t/ { m = $2 }
    END { printf "%s (family %s, model %s)", n, f, m }' /proc/cpuinfo
}

# The processes that the watcher saw busy, each with its peak.
busy_others() {
  awk '$2 > peak[$1] { peak[$1] = $2 }
    END { for (n in peak) { printf "%s%s (up to %s %%)", sep, n, peak[n]; sep = ", " } }' \
    "$work/others.txt"
}

memory_report() {
  cat <<REPORT
# Download memory

\`bench/run memory $size\`: nginx on 127.0.0.1 serves a sparse file; \`download_bench.exe\`
fetches it under $(wine --version 2>/dev/null) with the launcher's WinINet client into the part
beside the target that takes its name on completion, then reports \`GetProcessMemoryInfo\` on itself.

| Package | Time | Peak working set | Peak pagefile usage |
|---|---|---|---|
$(awk '{ for (i = 2; i <= NF; i++) { split($i, kv, "="); f[kv[1]] = kv[2] }
  printf "| %d MiB | %d ms | %d KiB | %d KiB |\n", f["bytes"] / 1048576, f["ms"],
    f["peak_working_set_kib"], f["peak_pagefile_kib"] }' "$raw")

The download streams through a few buffers that go round (at most 4 MiB waiting for the file),
so the peak should not grow with the package. Measured on $(nproc) cores of $(cpu_model), load average $load_before at the start.
REPORT
}

# Today's launcher against an earlier one, launched in turns in the same run.
earlier_report() {
  [[ -n ${earlier_commit:-} ]] || return 0
  cat <<TABLE
### Against the launcher of $earlier_commit

$(values launch_earlier run | wc -l) launches of the launcher built from $earlier_commit, in an installation of its own, in
turns with today's (each first in every other run). CPU to the main program: the launcher's Unix
process from its start until the splash has gone.

| Launcher | Size bytes | Overhead ms | CPU to the main program ms | Start-up CPU (to the splash) ms |
|---|---|---|---|---|
| today's | $(stat -c %s "$bin/launcher.exe") | $(s launch overhead_ms) | $(s launch cpu_to_main_ms) | $(s launch cpu_startup_ms) |
| $earlier_commit | $(stat -c %s "$earlier/build/launcher.exe") | $(s launch_earlier overhead_ms) | $(s launch_earlier cpu_to_main_ms) | $(s launch_earlier cpu_startup_ms) |
TABLE
}

results_report() {
  local others launches rounds spread ratio to_file hashed
  local shared="no: no other process was seen busy and the load average was below 0.5 at the start"
  others=$(busy_others)
  [[ -n $others ]] || awk "BEGIN { exit !(${load_before%% *} >= 0.5) }" &&
    shared="**yes**: the run shared the machine with other work; its times are indicative only"
  launches=$(values launch run | wc -l) rounds=$(values update download_ms | wc -l)
  # How much longer than main_ms the main program ran, shortest and longest.
  spread=$(values launch main_ms | sort -n | awk -v m="$main_ms" 'NR == 1 { a = $1 }
    END { print a - m "–" $1 - m }')
  ratio=$(awk -v a="$(s update mib_s 3)" -v b="$(s curl_null mib_s 3)" \
    'BEGIN { if (a + 0 > 0) printf "%.1f", b / a; else printf "n/a" }')
  to_file=$(awk -v a="$(s update_plain file_mib_s 3)" -v b="$(s curl_file mib_s 3)" \
    'BEGIN { if (b + 0 > 0) printf "%.2f", a / b; else printf "n/a" }')
  hashed=$(awk -v a="$(s update mib_s 3)" -v b="$(s curl_hash mib_s 3)" \
    'BEGIN { if (b + 0 > 0) printf "%.2f", a / b; else printf "n/a" }')
  cat <<REPORT
# Benchmarks: launcher.exe under Wine

Written by \`bench/run\` on $started_at. Figures are "median (min–max)" over the runs
given; the raw lines are in \`build/bench-run/raw.txt\`. Benchmarks measure and never fail on a
number.

## Machine

| | |
|---|---|
| CPU | $(cpu_model) |
| Cores | $(nproc) |
| Memory | $(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) |
| Kernel | $(uname -r) |
| Wine | $(wine --version 2>/dev/null) (prefix build/bench-wineprefix, LANG=ja_JP.UTF-8, private Xvfb) |
| Shared | $shared |
| Load average (1, 5, 15 min) | before: $load_before; after: $load_after |
| Other processes busy (≥ 5 % of a CPU over 1 s, looked for every ~2 s) | ${others:-none} |

## Launch with auto-update off

$launches launches of \`launcher.exe boot\` (settings under di04BENCH, "自動ｱｯﾌﾟﾃﾞｰﾄ" = 0), after
one of each launcher that is not counted (the first launch in a prefix loads Wine's DLLs); the
main-program stand-in runs $((main_ms / 1000)) s plus $spread ms, spread over the launcher's
100 ms poll of it, with a plain CreateProcess of the stand-in before each launch
($(values plain run | wc -l) runs). \`bench/launch_bench.cpp\` takes GetTickCount64 just before
CreateProcess and compares it with the stand-in's recorded \`start_tick_ms\`.

| Figure | ms |
|---|---|
| **Launch overhead**: launcher's CreateProcess → main program's recorded start, minus 3 s | $(s launch overhead_ms) |
| Plain CreateProcess of the stand-in → its recorded start | $(s plain start_ms) |
| Launcher's creation → main program's creation (Wine server times), minus 3 s | $(s launch created_gap_ms 1) |
| Launcher's CreateProcess → splash first seen visible | $(s launch to_splash_ms 1) |
| **Splash visible**: first seen → first seen gone | $(s launch splash_ms 1) |
| **Main program's end → launcher's end** (0 to ~100 ms by the poll, plus the exit) | $(s launch exit_gap_ms 1) |

GetTickCount64 moves in steps of $(s clock tick_step_median_ms) ms (median; smallest
$(s clock tick_step_min_ms) ms). The probe looked at the splash every $(s launch poll_median_ms 2) ms
(median per run; longest gap in a run $(s launch poll_max_ms 1) ms).

$(earlier_report)

## CPU time of the launcher

Same launches. Wine 8 answers GetProcessTimes for another process with the caller's own times, so
this is the sum of \`/proc/<pid>/task/*/schedstat\` of the launcher's Unix process, read through
drive Z:, without Wine's server. The "splash seen" reading lands 10–30 ms after it.

| Phase | CPU ms |
|---|---|
| Start-up, until the splash is seen | $(s launch cpu_startup_ms) |
| Splash up (the three-second minimum) | $(s launch cpu_splash_ms) |
| of which the wait alone: 1 s after the splash came → its end ($(s launch splash_tail_ms) ms) | $(s launch cpu_splash_tail_ms) |
| Main program running ~$((main_ms / 1000)) s, until the launcher's last reading before its end | $(s launch cpu_main_ms) |

## Package download

$rounds rounds of: the launcher's own update download with a signed list and without one, \`curl\` to /dev/null, \`curl\` to a file
on the same disk, \`download_bench.exe\`, all from nginx on 127.0.0.1 serving a $package_size
package (the HanamizuSetup.exe stand-in, sparse). The launcher ("自動ｱｯﾌﾟﾃﾞｰﾄ" = 1, an update
list one build newer than the stand-in, TEMP in the bench's directory) is timed from pressing OK
on the offer until the package-ready box appears (looked for every $(s update poll_median_ms 2) ms).

| Path | Time ms | MiB/s | Peak working set KiB | Peak pagefile KiB |
|---|---|---|---|---|
| **launcher.exe**: OK on the offer → package-ready box | $(s update download_ms) | $(s update mib_s 1) | $(s update peak_working_set_kib) | $(s update peak_pagefile_kib) |
| launcher.exe, a list without the block (nothing to hash) | $(s update_plain download_ms) | $(s update_plain mib_s 1) | $(s update_plain peak_working_set_kib) | $(s update_plain peak_pagefile_kib) |
| the same, its file alone: the part appears → the package has its name | $(s update_plain file_ms) | $(s update_plain file_mib_s 1) | | |
| download_bench.exe: the same download calls, no UI | $(s download_bench ms) | $(s download_bench mib_s 1) | $(s download_bench peak_working_set_kib) | $(s download_bench peak_pagefile_kib) |
| curl -o /dev/null | $(s curl_null ms) | $(s curl_null mib_s 1) | | |
| curl -o file | $(s curl_file ms) | $(s curl_file mib_s 1) | | |
| curl \| tee file \| sha256sum | $(s curl_hash ms) | $(s curl_hash mib_s 1) | | |

- curl to /dev/null was $ratio× as fast as the launcher (medians).
- With nothing to hash, the launcher wrote the package at $to_file× the speed of \`curl -o file\`
  (medians, the file's own time; from OK to the next box it adds closing the offer, the beep
  and the box).
- The update list carries the package's size and SHA-256, so the launcher hashes the package as
  it arrives (CNG) before it takes its name: it reached $hashed× the speed of the same work by
  the host's tools, \`curl | tee file | sha256sum\` (medians).
- The launcher's figures are GetProcessMemoryInfo on its handle before it exits. Its peak working
  set with the offer up was $(s update offer_peak_working_set_kib) KiB; the VmHWM of its Unix
  process $(s update peak_rss_kib) KiB.
- CPU over the download: launcher $(s update cpu_ms) ms, Wine server $(s update server_cpu_ms) ms
  (it also answers the polling).
- The downloaded package was started in $(values update package_started | grep -c '^1')/$rounds rounds with the signed list,
  $(values update_plain package_started | grep -c '^1')/$rounds without.
- \`download_bench.exe\` runs \`Win32HttpClient::Download\` into \`Win32FileSystem::OpenPartialFile\`
  in a process of its own; its figures come from itself.

## Size and imports

\`$build/launcher.exe\`: $(stat -c %s "$bin/launcher.exe") bytes, C++ runtime linked in
statically. Its imports (\`x86_64-w64-mingw32-objdump -p\`), each looked for in
C:\\windows\\system32 of the bench prefix:

| DLL | In the prefix |
|---|---|
$(x86_64-w64-mingw32-objdump -p "$bin/launcher.exe" | sed -n 's/.*DLL Name: //p' |
  while read -r dll; do
    where="**not in system32**"
    [[ -n $(find "$WINEPREFIX/drive_c/windows/system32" -maxdepth 1 -iname "$dll") ]] &&
      where=system32
    echo "| $dll | $where |"
  done)
REPORT
  echo
  log_report
}

# What the launcher's log adds to a launch: log_bench.exe's line.
log_heading="## The launcher's log"
log_report() {
  local others
  others=$(busy_others)
  cat <<REPORT
$log_heading

\`log_bench.exe\` (written by \`bench/run${mode:+ $mode}\` on $started_at; load average before: $load_before,
after: $load_after; other processes busy: ${others:-none}) opens the log where the launcher keeps
it, \`%LOCALAPPDATA%\\Hanamizu\\di04BENCH\\launcher.log\` of the bench prefix (ext4), appends the
$(values log_bench lines) lines of a whole update run ($(values log_bench bytes) bytes with their stamps: the start, oem.ini and
the settings, the list's address, answer and block, the verdict and versions, the offer's text in
Japanese, the download's figures, the check, the package, the main program's command line and
exit code) and lets it go: $(values log_bench launches) launches in one process, each timed with \`steady_clock\`
(QueryPerformanceCounter). The target is at most 1 ms per launch.

| Figure | ms |
|---|---|
| **Per launch, mean** | $(values log_bench mean_ms) |
| **Per launch, median** | $(values log_bench median_ms) |
| 99th percentile; longest | $(values log_bench p99_ms); $(values log_bench max_ms) |
| The first launch (the log's folders made) | $(values log_bench first_ms) |
| Median of the opening; of the lines; of the release | $(values log_bench open_ms); $(values log_bench append_ms); $(values log_bench release_ms) |

The launches wrote $(awk -v b="$(values log_bench bytes)" -v n="$(values log_bench launches)" 'BEGIN { printf "%.1f", b * n / 1e6 }') MB, so the log was renamed as the previous one
$(values log_bench rotations) times (those launches took $(values log_bench rotation_ms) ms, median); at the end the log held $(values log_bench log_bytes) bytes and the
previous one $(values log_bench previous_bytes).
REPORT
}

# An office's PCs behind one squid: what the origin served for them, and how long the first PC's
# download took, the second's and the rest's; "median (min–max)" over the rounds.
office_heading="## An office behind one caching proxy"
office_figure() { # $1: the lines' name, $2: the key, $3 and $4: the PCs from and to, $5: decimals
  awk -v n="$1" -v k="$2" -v from="$3" -v to="$4" '$1 == n { delete f
      for (i = 2; i <= NF; i++) { split($i, kv, "="); f[kv[1]] = kv[2] }
      if (f["pc"] >= from && f["pc"] <= to) print f[k] }' "$raw" |
    sort -g | awk -v d="${5:-0}" '{ v[NR] = $1 } END {
      if (!NR) { print "n/a"; exit }
      format = NR > 1 ? "%.*f (%.*f–%.*f)" : "%.*f"
      printf format, d, NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2, d, v[1], d, v[NR] }'
}
office_row() { # $1: the lines' name, $2: the launcher's
  local n=$office_pcs
  echo "| $2 | $(office_figure "$1" origin_bodies "$n" "$n") |" \
    "$(office_figure "$1" origin_bytes "$n" "$n" | awk '{ printf "%.0f", $1 / 1048576 }') |" \
    "$(office_figure "$1" download_ms 1 1) | $(office_figure "$1" download_ms 2 2) |" \
    "$(office_figure "$1" download_ms 3 "$n") |"
}
office_report() {
  local others
  others=$(busy_others)
  cat <<REPORT
$office_heading

\`bench/run office\` (written on $started_at; load average before: $load_before, after:
$load_after; other processes busy: ${others:-none}). $office_rounds rounds of $office_pcs PCs one after another, each a fresh one
(no settings, no part, no log), that run \`launcher.exe boot\` with auto-update on behind one squid
on 127.0.0.1, cold at the start of each round (a memory cache; the bench prefix's system proxy, with
\`<-loopback>\`), accept the offer and take a $office_size package (the HanamizuSetup.exe stand-in,
sparse) that the list's block pins. nginx, the origin, serves it under /cached/ with an hour's
freshness, as a vendor's CDN would, and counts the bodies and bytes it served. Download: OK on the
offer → package-ready box; the figures are "median (min–max)" over the rounds.

| Launcher | Bodies from the origin for $office_pcs PCs | MiB from the origin | PC 1 download ms (squid cold) | PC 2 download ms (squid warm) | PCs 3–$office_pcs download ms |
|---|---|---|---|---|---|
$(office_row office "today's")
$([[ -z ${earlier_commit:-} ]] || office_row office_earlier "$earlier_commit (before the core asked caches)")
REPORT
}
