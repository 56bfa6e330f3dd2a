#!/usr/bin/env bash
# The commit of a downloaded package (rename and hold) and its second hash through the held
# handle, for a package of SIZE MiB (default 256), ROUNDS times (default 5), under Wine.
#   bench/commit.sh [SIZE [ROUNDS]]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${BENCH_BUILD:-build/windows} work=$PWD/build/bench-commit
cmake --build "$build" -j2 --target commit_bench >/dev/null
rm -rf "$work" && mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
scripts/wine-run "$build/commit_bench.exe" "Z:${work//\//\\}" "${1:-256}" "${2:-5}" 2>/dev/null
