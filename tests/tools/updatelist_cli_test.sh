#!/usr/bin/env bash
# The publisher's tool as the publisher runs it: a Japanese list written and shown again; every
# refused argument exits with 2, a file that cannot be read or written with 1, and neither leaves a
# file.
set -euo pipefail
tool=$1
rm -rf "$2" && mkdir -p "$2" && cd "$2"
fail() { echo "FAIL: $*" >&2 && exit 1; }

"$tool" write リスト.dat --mode -2 --version 8.1.26 --location http://127.0.0.1/更新/ \
  --package 更新.exe >/dev/null
[[ $(ls) == リスト.dat ]] || fail "the list leaves a file beside it"
shown=$'DownloadMode:    -2\nPackageFile:     更新.exe\nversion:         8.1.26'
[[ $("$tool" show リスト.dat | sed -n 2p\;7p\;8p) == "$shown" ]] || fail "show a Japanese list"

# Keys as OpenSSL makes them; a list signed for a package verifies, for an altered one it does not.
"$tool" keygen key.pem key.pub.pem >/dev/null &&
  [[ $(openssl pkey -in key.pem -pubout) == $(cat key.pub.pem) ]] || fail "keygen"
printf 'MZ package' >pkg.exe
w=(write signed.dat --version 8.1.26 --location http://h/ --package pkg.exe --package-file pkg.exe)
"$tool" "${w[@]}" --sign key.pem >/dev/null
v=(--key key.pub.pem --product signed.dat)
"$tool" verify signed.dat pkg.exe "${v[@]}" >/dev/null || fail "verify a signed list"
printf 'MZ packagf' >altered.exe
"$tool" verify signed.dat altered.exe "${v[@]}" >altered.out 2>&1 &&
  fail "an altered package"
grep -q "does not match: the package's SHA-256 is" altered.out || fail "$(cat altered.out)"

# A list signed again takes the next sequence; verify says which rule a launcher with the key finds
# broken: the expiry, the name it is served under (di04.dat unless given), an older sequence than a
# list given.
"$tool" "${w[@]}" --sign key.pem --expires 2020-01-31 >/dev/null
"$tool" "${w[@]/signed.dat/newer.dat}" --sign key.pem --sequence 3 >/dev/null
"$tool" "${w[@]/signed.dat/rolled.dat}" --sign key.pem --rollout 30 >/dev/null
[[ $("$tool" show rolled.dat | grep Rollout) == "Rollout:         30 %" ]] || fail "show a rollout"
"$tool" write moved.dat --version 8.1.27 --location http://h/ --package pkg.exe \
  --package-file altered.exe --sign key.pem --sequence 4 >/dev/null
shown=$'Product:         signed.dat\nSequence:        2\nExpires:         2020-01-31 00:00:00 UTC'
[[ $("$tool" show signed.dat | grep -E '^(Product|Sequence|Expires)') == "$shown" ]] ||
  fail "show a signed list"
while IFS='|' read -r args said; do
  [[ $("$tool" verify $args --key key.pub.pem 2>&1 || true) == *"$said"* ]] ||
    fail "verify $args: $said"
done <<RULES
signed.dat pkg.exe --product signed.dat|the list expired on 2020-01-31 00:00:00 UTC
newer.dat pkg.exe|signed for newer.dat, not di04.dat
newer.dat pkg.exe --product newer.dat --previous signed.dat|is what newer.dat says
rolled.dat pkg.exe --product rolled.dat|for rolled.dat, rollout 30 %
moved.dat altered.exe --product moved.dat --previous newer.dat|address http://h/pkg.exe served other bytes
signed.dat pkg.exe --product signed.dat --previous newer.dat|sequence 2 is older than 3, the highest accepted
RULES
"$tool" keygen other.pem key.pub.pem >/dev/null 2>&1 && fail "a key overwritten"
[[ $(stat -c %a key.pem) == 600 ]] || fail "the private key is for others to read too"
# Nothing is written through a link: a key refuses it (and leaves no half of a pair), a list
# replaces the link itself.
ln -s stolen.pem link.pem && ln -s stolen.pem link.pub.pem && ln -s stolen.pem link.dat
files=$(ls -A)
for keys in "link.pem new.pub.pem" "new.pem link.pub.pem"; do
  ! "$tool" keygen $keys >/dev/null 2>&1 && [[ $(ls -A) == "$files" ]] ||
    fail "keygen $keys through a link"
done
"$tool" write link.dat --version 8.1.2 --location http://h/ --package a.exe >/dev/null &&
  [[ ! -L link.dat && ! -e stolen.pem ]] || fail "a list through a link"

mkdir taken.dat && files=$(ls -A)
while read -r code args; do
  status=0
  "$tool" $args >/dev/null 2>&1 || status=$?
  [[ $status == "$code" && $(ls -A) == "$files" ]] || fail "$args: exit $status"
done <<ARGS
2 write out.dat --version 8.1.x --location http://h/ --package a.exe
2 write out.dat --version 8.1.2 --location http://h --package a.exe
2 write out.dat --version 8.1.2 --location http://h/ --package CON.exe
2 write out.dat --mode 32768 --version 8.1.2 --location http://h/ --package a.exe
2 write out.dat --version 8.1.2 --location http://h/ --package a.exe --package-file pkg.exe --rollout 101
2 write out.dat --version 8.1.2 --location http://h/ --package a.exe --sign key.pem
2 write out.dat --version 8.1.2 --location http://h/ --package a.exe --package-file pkg.exe --sign key.pub.pem
1 write no/such/dir.dat --version 8.1.2 --location http://h/ --package a.exe
1 write taken.dat --version 8.1.2 --location http://h/ --package a.exe
ARGS
echo "updatelist: all checks passed"
