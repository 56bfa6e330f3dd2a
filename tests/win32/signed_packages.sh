#!/usr/bin/env bash
# Installers for the backend test of Authenticode signatures, made into OUT from the stand-in
# package: signed by certificate a, by certificate b (another key, the same subject), unsigned,
# and altered after a signed it (a byte of the DOS stub's text, which the signature covers);
# beside them, each certificate's key digest as openssl has it.
set -euo pipefail
package=$(realpath "$2")
rm -rf "$1" && mkdir "$1" && cd "$1"
for who in a b; do
  openssl req -x509 -newkey rsa:2048 -nodes -utf8 -days 3650 -keyout $who.key -out $who.pem \
    -subj "/C=JP/O=ハナミズ試験/CN=Hanamizu Test Publisher" -addext extendedKeyUsage=codeSigning
  openssl x509 -pubkey -noout -in $who.pem | openssl pkey -pubin -outform DER | sha256sum >$who.key.sha256
  osslsigncode sign -certs $who.pem -key $who.key -in "$package" -out signed-$who.exe
done
cp "$package" unsigned.exe
cp signed-a.exe altered.exe
printf X | dd of=altered.exe bs=1 seek=80 conv=notrunc status=none
