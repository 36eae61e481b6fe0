#!/usr/bin/env bash
# Inside a Wine session: instdll-inspect's answers on a `reg export` of Wine's registry after
# the sample is imported, and on the live registry, must be alike, and must be what the demo
# setup's calls then return, delete and store.
# Usage: inspect-test.sh INSTDLL_INSPECT_EXE SETUP_EXE
set -euo pipefail
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

# setup.nsi's directory, arguments, title value and title.
directory='C:\Program Files\Zk\Suite\'
arguments=CORE
title_value='Zk Suite 7.5'
title='Zk Suite'

"$WINE" regedit /S "$(windows_path "$here/examples/sample-registry.reg")"
"$WINE" reg export 'HKLM\SOFTWARE' "$(windows_path "$work/machine.reg")" /y >/dev/null
"$WINE" reg export 'HKCU\Software' "$(windows_path "$work/user.reg")" /y >/dev/null
exports=("$(windows_path "$work/machine.reg")" "$(windows_path "$work/user.reg")")

ask() {
    "$WINE" "$inspect" --code-page 1252 --json "$@" | tr -d '\r'
}
questions=("" "--find|$directory" "--prune|$directory|$arguments" "--title|$title_value|$title")
declare -A answers
for question in "${questions[@]}"; do
    IFS='|' read -r -a words <<<"$question"
    from_file=$(ask "${exports[@]}" "${words[@]}")
    live=$(ask --live "${words[@]}")
    [ "$from_file" = "$live" ] ||
        fail "${words[0]:-catalogue}: the export and the live registry answer differently:"$'\n'"$from_file"$'\n'"$live"
    answers[${words[0]:-catalogue}]=$from_file
done
echo "${answers[catalogue]}" | grep -q '"initV7Info":1,"catalogue":\[{"key":"Zk:Charts"' ||
    fail "no catalogue: ${answers[catalogue]}"

before=$(family_registry)
cp "$setup" "$work/setup.exe"
"$WINE" "$work/setup.exe" /S
after=$(family_registry)
results=$(tr -d '\r' <"$work/setup-results.txt")

find_result=$(echo "${answers[--find]}" | sed 's/.*"result":\([0-9]*\),"logFile":"\([^"]*\)".*/\1, log file "\2"/')
echo "$results" | grep -qF "FindISUInCatalog(\"$directory\") = $find_result" ||
    fail "FindISUInCatalog: the tool says $find_result, the setup got: $results"

[ "$(planned_deletions "${answers[--prune]}")" = "$(keys_gone "$before" "$after")" ] ||
    fail "the tool's deletions differ from the setup's:"$'\n'"$(planned_deletions "${answers[--prune]}")"
[ "$(planned_counter "${answers[--prune]}")" = "$(counter_in "$after")" ] ||
    fail "the tool's counter $(planned_counter "${answers[--prune]}") is not the setup's $(counter_in "$after")"

stored=$(echo "${answers[--title]}" | sed 's/.*"stored":{"name":"[^"]*","type":1,"text":"\([^"]*\)".*/\1/')
echo "$after" | grep -qE "^    $title_value    REG_SZ    $stored\$" ||
    fail "the tool would store \"$stored\" under \"$title_value\"; the setup stored otherwise"
echo "inspect-test: the export, the live registry and the DLL agree"
