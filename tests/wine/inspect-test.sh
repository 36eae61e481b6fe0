#!/usr/bin/env bash
# Inside a Wine session: instdll-inspect's answers on a `reg export` of Wine's registry after
# the sample is imported, and on the live registry, must be alike, and must be what the demo
# setup's calls then return, delete and store.
# Usage: inspect-test.sh INSTDLL_INSPECT_EXE SETUP_EXE
set -Eeuo pipefail
inspect=$(realpath "$1")
setup=$(realpath "$2")
here=$(cd "$(dirname "$0")/../.." && pwd)
. "$here/examples/family-registry.sh"

work=$(mktemp -d /tmp/instdll-inspect-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "inspect-test: $*" >&2
    exit 1
}
# A command that fails without a check of its own ends the test: say which.
trap 'echo "inspect-test: line $LINENO failed: $BASH_COMMAND" >&2' ERR

"$WINE" regedit /S "$(windows_path "$here/examples/sample-registry.reg")"
"$WINE" reg export 'HKLM\SOFTWARE' "$(windows_path "$work/machine.reg")" /y >/dev/null
"$WINE" reg export 'HKCU\Software' "$(windows_path "$work/user.reg")" /y >/dev/null
exports=("$(windows_path "$work/machine.reg")" "$(windows_path "$work/user.reg")")

# The demo setup's DLL is the prefix's own build: it sees the keys where they are named.
ask() {
    "$WINE" "$inspect" --code-page 1252 --view 64 --json "$@" | tr -d '\r'
}
declare -A answers
ask_export_and_live || fail "see above"
echo "${answers[catalogue]}" | grep -q '"initV7Info":1,"catalogue":\[{"key":"Zk:Charts"' ||
    fail "no catalogue: ${answers[catalogue]}"

before=$(family_registry)
cp "$setup" "$work/setup.exe"
"$WINE" "$work/setup.exe" /S
after=$(family_registry)
results=$(tr -d '\r' <"$work/setup-results.txt")

setup_did_as_answered "$results" "$after" || fail "the setup did otherwise"
planned=$(planned_deletions "${answers[--prune]}" || true)
# Two empty lists agree: a plan that parses to nothing proves nothing.
[ -n "$planned" ] || fail "nothing to prune: ${answers[--prune]}"
[ "$planned" = "$(keys_gone "$before" "$after")" ] ||
    fail "the tool's deletions differ from the setup's:"$'\n'"$planned"
echo "inspect-test: the export, the live registry and the DLL agree"
