#!/usr/bin/env bash
# Makes the signed stamp targets: an unstripped executable with a payload appended (PAYLOADED),
# and the same signed by osslsigncode (SIGNED), so that its payload lies before its certificate
# table. The key is a throwaway one, made for this run and removed with it.
# Usage: make-signed-target.sh EXECUTABLE PAYLOADED SIGNED [PAYLOAD_KIB]
set -euo pipefail
executable=$1 payloaded=$2 signed=$3 payload_kib=${4:-1024}
keys=$(mktemp -d "${TMPDIR:-/tmp}/instdll-sign.XXXXXX")
trap 'rm -rf "$keys"' EXIT
"$(dirname "$0")/throwaway-signer.sh" "$keys"
# About PAYLOAD_KIB, so that the file's length is a multiple of 8: the signer then pads nothing
# between the payload and its table.
size=$(stat -c %s "$executable")
{ cat "$executable"; head -c $((payload_kib * 1024 + (8 - size % 8) % 8)) /dev/urandom; } >"$payloaded"
rm -f "$signed"
osslsigncode sign -certs "$keys/cert.pem" -key "$keys/key.pem" -n "Zk stamp target" \
    -in "$payloaded" -out "$signed" >/dev/null
