# shellcheck shell=bash
# What the benchmarks ran on, and who else was using it.

# The model name with its family and model numbers: some machines name only "AMD EPYC".
bench_cpu_model() {
  awk -F'\t*: ' '/^model name/ { name = $2 } /^cpu family/ { family = $2 } /^model\t/ { model = $2 }
    END { printf "%s (family %s, model %s)\n", name, family, model }' /proc/cpuinfo
}
bench_memory() { awk '/^MemTotal/ { printf "%.1f GiB\n", $2 / 1048576 }' /proc/meminfo; }

# Looks about every two seconds, until killed, for processes busy with at least 5 % of a CPU over
# one second that this run did not start: its own carry BENCH_RUN_MARK in their environment.
# Kernel threads (no environment) do this run's disk writes and are left out. One "name %" a line.
bench_watch_others() {
  local pid cpu comm environment
  while :; do
    LC_ALL=C top -b -n 2 -d 1 -w 200 | awk '
      /^top -/ { pass++ }
      pass == 2 && started && $9 + 0 >= 5 { print $1, $9, $12 }
      pass == 2 && /^ *PID/ { started = 1 }' |
      while read -r pid cpu comm; do
        environment=$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null) || continue
        [[ -z $environment ]] && continue
        grep -qx "BENCH_RUN_MARK=$BENCH_RUN_MARK" <<<"$environment" && continue
        echo "$comm $cpu"
      done
    sleep 1
  done
}

# "name (up to N %), ..." from what bench_watch_others wrote.
bench_others_summary() {
  awk '{ if (!($1 in peak) || $2 > peak[$1]) peak[$1] = $2 }
    END { for (name in peak) { printf "%s%s (up to %s %%)", sep, name, peak[name]; sep = ", " } }' "$1"
}

bench_load() { cut -d' ' -f1-3 /proc/loadavg; }
