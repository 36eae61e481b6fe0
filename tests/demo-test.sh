#!/usr/bin/env bash
# Runs the demo setup silently in a Wine session of its own and checks the registry it leaves
# against examples/expected-after.txt, so the demo cannot quietly break.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
setup=$1
after=$(mktemp /tmp/instdll-demo-after.XXXXXX)
trap 'rm -f "$after"' EXIT
"$here/scripts/wine-session.sh" "$here/examples/run-demo.sh" "$setup" "$after" >/dev/null
if ! diff -u "$here/examples/expected-after.txt" "$after"; then
    echo "the demo setup left the registry otherwise than expected" >&2
    exit 1
fi
echo "the demo setup left the registry as expected"
