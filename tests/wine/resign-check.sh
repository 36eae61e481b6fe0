#!/usr/bin/env bash
# Checks on the Linux side a file that WriteUserParams stamped from a signed target: the file
# itself says it is well-formed, carries no signature and holds its right header checksum
# (instdll_pe_check, from the host preset), and osslsigncode signs it again and verifies that
# signature, through options every osslsigncode in Debian accepts.
# ORIGINAL is the signed target it was stamped from, which the checker must refuse: a checker
# that passes every file proves nothing.
# Usage: resign-check.sh STAMPED ORIGINAL
# INSTDLL_PE_CHECK: the checker (default build/host/bin/instdll_pe_check of this checkout).
set -euo pipefail
stamped=$1 original=$2
checker=${INSTDLL_PE_CHECK:-$(cd "$(dirname "$0")/../.." && pwd)/build/host/bin/instdll_pe_check}
[ -f "$stamped" ] || { echo "resign-check: $stamped is missing" >&2; exit 1; }
[ -x "$checker" ] ||
    { echo "resign-check: $checker is missing (scripts/build.sh host)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/instdll-resign.XXXXXX")
trap 'rm -rf "$work"' EXIT

if "$checker" "$original" >/dev/null 2>&1; then
    echo "resign-check: $checker finds no signature in the signed $original" >&2
    exit 1
fi
verdict=$("$checker" "$stamped")

"$(dirname "$0")/throwaway-signer.sh" "$work"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$stamped" \
    -out "$work/resigned.exe" >"$work/sign.txt" 2>&1 ||
    { cat "$work/sign.txt" >&2; echo "resign-check: osslsigncode cannot sign it again" >&2; exit 1; }
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/resigned.exe" >"$work/verify.txt" 2>&1 ||
    { cat "$work/verify.txt" >&2; echo "resign-check: the new signature does not verify" >&2; exit 1; }
echo "resign-check: $verdict, signed again and verified"
