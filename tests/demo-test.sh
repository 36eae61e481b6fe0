#!/usr/bin/env bash
# Runs a demo setup silently in a Wine session of its own and checks the registry it leaves
# against examples/expected-after.txt, so the demo cannot quietly break.
# Usage: demo-test.sh [--this-session] SETUP_EXE|--inno
# SETUP_EXE: built from examples/setup.nsi; --inno: examples/setup.iss, compiled first
# (examples/run-inno-demo.sh); --this-session: in the Wine session it runs in.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
session=("$here/scripts/wine-session.sh")
if [ "${1:-}" = --this-session ]; then
    session=()
    shift
fi
demo=("$here/examples/run-demo.sh" "$1")
[ "$1" != --inno ] || demo=("$here/examples/run-inno-demo.sh")
after=$(mktemp /tmp/instdll-demo-after.XXXXXX)
output=$(mktemp /tmp/instdll-demo-output.XXXXXX)
trap 'rm -f "$after" "$output"' EXIT
# The demo's whole account is shown only when it fails.
if ! "${session[@]}" "${demo[@]}" "$after" >"$output" 2>&1 ||
    ! diff -u "$here/examples/expected-after.txt" "$after"; then
    cat "$output"
    echo "the demo setup left the registry otherwise than expected" >&2
    exit 1
fi
echo "the demo setup left the registry as expected"
