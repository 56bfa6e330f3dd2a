#!/usr/bin/env bash
# Peak memory of the launcher's download path for a large package (default 1 GiB), served by
# nginx on 127.0.0.1 and fetched under Wine into a file. Needs the windows preset built.
#   bench/download-memory.sh [size, e.g. 1G or 64M]
# The served file is sparse; the downloaded copy is deleted at the end.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
size=${1:-1G}
bench="$root/build/windows/download_bench.exe"
state="$root/build/bench-servers"
target_dir="$root/build/bench-download"
[[ -x $bench ]] || {
  echo "build the windows preset first: $bench is missing" >&2
  exit 1
}

cleanup() {
  rm -rf "$target_dir" "$state/www/package.bin"
  "$root/tests/servers/test-servers.sh" stop "$state"
}
trap cleanup EXIT

"$root/tests/servers/test-servers.sh" start "$state"
truncate -s "$size" "$state/www/package.bin"
mkdir -p "$target_dir"
port=$(cat "$state/nginx.port")
windows_target="Z:${target_dir//\//\\}\\package.exe"

for label in small large; do
  url="http://127.0.0.1:$port/package.bin"
  if [[ $label == small ]]; then
    # The same path with a 1 MiB file, for the baseline.
    truncate -s 1M "$state/www/small.bin"
    url="http://127.0.0.1:$port/small.bin"
  fi
  result=$("$root/scripts/wine-run" "$bench" "$url" "$windows_target")
  echo "$label: $result"
  rm -f "$target_dir/package.exe"
done
