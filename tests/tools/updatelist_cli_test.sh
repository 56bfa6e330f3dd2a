#!/usr/bin/env bash
# Runs the updatelist program: a Japanese list written and shown again, the exit codes.
set -euo pipefail
tool=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

"$tool" write "$work/リスト.dat" --mode 0 --version 8.1.26 \
  --location "http://127.0.0.1/更新/" --package "更新.exe" >/dev/null
# 18 fixed bytes, the location (17 ASCII, 2 two-byte, "/"), the name (2 two-byte, 4 ASCII).
size=$(wc -c <"$work/リスト.dat")
[[ $size -eq $((18 + 22 + 8)) ]] || fail "size $size"
tail -c 8 "$work/リスト.dat" | cmp -s - <(printf '\x8d\x58\x90\x56.exe') || fail "not Shift-JIS"

shown=$("$tool" show "$work/リスト.dat")
grep -qx 'PackageFile:     更新.exe' <<<"$shown" || fail "show: $shown"
grep -qx 'PackageLocation: http://127.0.0.1/更新/' <<<"$shown" || fail "show: $shown"
grep -qx 'version:         8.1.26' <<<"$shown" || fail "show: $shown"

status=0
"$tool" write "$work/bad.dat" --version 8.1.26 --location http://h --package s.exe \
  2>/dev/null || status=$?
[[ $status -eq 2 ]] || fail "bad location gave $status"
[[ ! -e $work/bad.dat ]] || fail "a bad list was written"
status=0
"$tool" show "$work/missing.dat" 2>/dev/null || status=$?
[[ $status -eq 1 ]] || fail "missing file gave $status"
status=0
"$tool" 2>/dev/null || status=$?
[[ $status -eq 2 ]] || fail "no arguments gave $status"
rm -rf "$work"
echo "updatelist: all checks passed"
