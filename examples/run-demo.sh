#!/usr/bin/env bash
# Inside a Wine session: shows what instdll-inspect says the setup's pruning will do on the
# sample registry, imports it in place of the family's keys, runs the demo setup silently with the
# DLL's log on and prints what each call returned, the family's registry before and after, the
# log, and whether the plan and the outcome agree; then puts back what the setup deleted with
# instdll-inspect --restore on the log and checks that the machine's part of the family's
# registry is as it was.
# Usage: run-demo.sh [--inno] SETUP_EXE [AFTER_DUMP_FILE]
# --inno: the setup was built from setup.iss (Inno Setup), not from setup.nsi.
set -euo pipefail
silent=(/S)
if [ "${1:-}" = --inno ]; then
    silent=(/VERYSILENT /SUPPRESSMSGBOXES /NORESTART)
    shift
fi
setup=$(realpath "$1")
after_file=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
inspect=$(dirname "$setup")/../bin/instdll-inspect.exe
. "$here/family-registry.sh"

sample=$(windows_path "$here/sample-registry.reg")
plan() {
    "$WINE" "$inspect" --code-page 1252 "$sample" "$@" --prune "$directory" "$arguments" |
        tr -d '\r'
}
echo "== The plan: instdll-inspect on the sample registry, before anything runs"
plan
echo
planned=$(plan --json)

remove_family_registry
"$WINE" regedit /S "$sample"
before=$(family_registry)

work=$(mktemp -d /tmp/instdll-demo.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$setup" "$work/setup.exe"
# As support would switch the log on for a setup it did not build: in the setup's environment.
INSTDLL_LOG=$(windows_path "$work/instdll.log") "$WINE" "$work/setup.exe" "${silent[@]}"
after=$(family_registry)

echo "== The family's registry before the setup"
echo "$before"
echo
echo "== What the setup's calls returned"
tr -d '\r' <"$work/setup-results.txt"
echo
echo "== The family's registry after the setup"
echo "$after"
echo
echo "== What changed (- before, + after)"
changes=$({ diff <(echo "$before" | flatten) <(echo "$after" | flatten) || true; } |
    sed -n 's/^< /- /p; s/^> /+ /p')
echo "${changes:-(nothing)}"
[ -z "$after_file" ] || echo "$after" >"$after_file"
echo
echo "== What the DLL logged (INSTDLL_LOG)"
if [ -s "$work/instdll.log" ]; then tr -d '\r' <"$work/instdll.log"; else echo "(no log)"; fi
echo

echo "== The plan against the outcome"
if [ "$(planned_deletions "$planned")" != "$(keys_gone "$before" "$after")" ] ||
    [ "$(planned_counter "$planned")" != "$(counter_in "$after")" ]; then
    {
        echo "The setup did otherwise than planned. Planned deletions and counter:"
        planned_deletions "$planned"
        planned_counter "$planned"
    } >&2
    exit 1
fi
echo "As planned: $(keys_gone "$before" "$after" | wc -l) keys deleted," \
    "counter $(counter_in "$before") -> $(counter_in "$after")"
echo

echo "== Putting it back: instdll-inspect --restore on the log, imported with regedit /s"
"$WINE" "$inspect" --restore "$(windows_path "$work/instdll.log")" \
    --out "$(windows_path "$work/restore.reg")" --live | tr -d '\r'
"$WINE" regedit /S "$(windows_path "$work/restore.reg")"
# What the pruning deleted: the restore leaves alone the title the setup added (under
# HKEY_CURRENT_USER) and the value its RegDBDeleteValue call deleted.
restored=$(family_machine_registry | pruned_part)
if [ "$restored" != "$(echo "$before" | pruned_part)" ]; then
    echo "The restore did not put the machine's keys back as they were:" >&2
    diff <(echo "$before" | pruned_part) <(echo "$restored") >&2 || true
    exit 1
fi
echo "The machine's keys are as they were before the setup"
