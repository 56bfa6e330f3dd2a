# shellcheck shell=bash
# Figures from the benchmarks' raw lines: "<name> key=value key=value ...", one per measurement.

# The values of one key on the lines of one name, one per line.
bench_values() {
  local file=$1 name=$2 key=$3
  awk -v name="$name" -v key="$key" '$1 == name {
    for (i = 2; i <= NF; i++) { split($i, kv, "="); if (kv[1] == key) print kv[2] }
  }' "$file"
}

# How many lines of one name.
bench_count() { awk -v name="$2" '$1 == name { n++ } END { print n + 0 }' "$1"; }

# "median (min–max)" of one key, with the given number of decimals; a lone value stands alone.
bench_summary() {
  local file=$1 name=$2 key=$3 decimals=${4:-0}
  bench_values "$file" "$name" "$key" | sort -g | awk -v d="$decimals" '
    { v[NR] = $1 }
    END {
      if (NR == 0) { print "n/a"; exit }
      m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      if (NR == 1) { printf "%.*f\n", d, m; exit }
      printf "%.*f (%.*f–%.*f)\n", d, m, d, v[1], d, v[NR]
    }'
}

# Appends mib_s=... to each line of one name from its bytes and milliseconds keys.
bench_add_rate() {
  local file=$1 name=$2 bytes_key=$3 ms_key=$4
  awk -v name="$name" -v bk="$bytes_key" -v mk="$ms_key" '
    $1 == name {
      for (i = 2; i <= NF; i++) { split($i, kv, "="); f[kv[1]] = kv[2] }
      if (f[mk] > 0) $0 = $0 sprintf(" mib_s=%.1f", f[bk] / 1048576 / (f[mk] / 1000))
    }
    { print }' "$file" >"$file.tmp" && mv "$file.tmp" "$file"
}
