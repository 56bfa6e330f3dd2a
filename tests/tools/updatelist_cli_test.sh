#!/usr/bin/env bash
# The publisher's tool as the publisher runs it: a Japanese list written in Shift-JIS, byte for
# byte, and shown again; every refused argument exits with 2 and writes nothing; a file that
# cannot be read or written exits with 1.
set -euo pipefail
tool=$1
rm -rf "$2" && mkdir -p "$2" && cd "$2"
fail() { echo "FAIL: $*" >&2 && exit 1; }

"$tool" write リスト.dat --mode -2 --version 8.1.26 --location http://127.0.0.1/更新/ \
  --package 更新.exe >/dev/null
[[ ! -e リスト.dat.tmp ]] || fail "the written list's temporary file is left"
cmp リスト.dat <(printf '\xfe\xff\x08\0\0\0\x01\0\0\0\x1a\0\0\0\x16\0http://127.0.0.1/%s/\x08\0%s.exe' \
  $'\x8d\x58\x90\x56' $'\x8d\x58\x90\x56') || fail "not the record's bytes"
[[ $("$tool" show リスト.dat | sed -n 2p\;7p\;8p) == $'DownloadMode:    -2\nPackageFile:     更新.exe\nversion:         8.1.26' ]] ||
  fail "show: $("$tool" show リスト.dat)"
head -c 20 リスト.dat >cut.dat
"$tool" show cut.dat | grep -qx 'note: the file ends inside the record; .*' || fail "cut list"

long=$(printf 'a%.0s' {1..65532}).exe
while read -r code args; do
  status=0
  "$tool" $args >/dev/null 2>&1 || status=$?
  [[ $status == "$code" && ! -e out.dat && ! -e out.dat.tmp ]] || fail "$args: exit $status"
done <<ARGS
2 write out.dat --version 8.1 --location http://h/ --package a.exe
2 write out.dat --version 8.1.x --location http://h/ --package a.exe
2 write out.dat --version 8.1.2 --location http://h --package a.exe
2 write out.dat --version 8.1.2 --location ftp://h/ --package a.exe
2 write out.dat --version 8.1.2 --location http://h/ --package $long
2 write out.dat --version 8.1.2 --location http://h/ --package CON.exe
2 write out.dat --mode 32768 --version 8.1.2 --location http://h/ --package a.exe
2 write out.dat --version 8.1.2 --location http://h/
1 write no/such/dir.dat --version 8.1.2 --location http://h/ --package a.exe
1 show missing.dat
2 show
ARGS
echo "updatelist: all checks passed"
