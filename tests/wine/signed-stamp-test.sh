#!/usr/bin/env bash
# Stamps the signed target through the harness in Wine, then has osslsigncode, which runs
# outside Wine, check the stamped file. Runs inside scripts/wine-session.sh.
# Usage: signed-stamp-test.sh HARNESS
set -euo pipefail
harness=$1
here=$(dirname "$0")
. "$here/../../scripts/wine-path.sh"
out=$(mktemp -d "${TMPDIR:-/tmp}/instdll-signed.XXXXXX")
trap 'rm -rf "$out"' EXIT
INSTDLL_STAMPED_COPY=$(windows_path "$out/stamped.exe") "$here/run-in-wine.sh" "$harness" \
    --gtest_filter='SignedTargetTest.AStampedSignedFile*'
"$here/resign-check.sh" "$out/stamped.exe" "$(dirname "$harness")/instdll_signed_target.exe"
