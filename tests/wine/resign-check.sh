#!/usr/bin/env bash
# Checks on the Linux side a file that WriteUserParams stamped from a signed target: it carries
# no signature, its header checksum is right, and osslsigncode signs it again and verifies that
# signature. Usage: resign-check.sh STAMPED
set -euo pipefail
stamped=$1
[ -f "$stamped" ] || { echo "resign-check: $stamped is missing" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/instdll-resign.XXXXXX")
trap 'rm -rf "$work"' EXIT

# verify fails on an unsigned file, after printing the checksums.
osslsigncode verify -in "$stamped" >"$work/unsigned.txt" 2>&1 && {
    echo "resign-check: the stamped file still carries a signature" >&2; exit 1; }
grep -q "No signature found" "$work/unsigned.txt" ||
    { cat "$work/unsigned.txt" >&2; echo "resign-check: not a well-formed unsigned file" >&2; exit 1; }
# It prints one checksum when the header's is right, the header's and its own when not.
checksum=$(sed -n 's/^PE checksum *: *//p' "$work/unsigned.txt")
[ -n "$checksum" ] ||
    { cat "$work/unsigned.txt" >&2; echo "resign-check: wrong header checksum" >&2; exit 1; }

"$(dirname "$0")/throwaway-signer.sh" "$work"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$stamped" \
    -out "$work/resigned.exe" >"$work/sign.txt" 2>&1 ||
    { cat "$work/sign.txt" >&2; echo "resign-check: osslsigncode cannot sign it again" >&2; exit 1; }
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/resigned.exe" >"$work/verify.txt" 2>&1 ||
    { cat "$work/verify.txt" >&2; echo "resign-check: the new signature does not verify" >&2; exit 1; }
echo "resign-check: unsigned, checksum $checksum, signed again and verified"
