#!/usr/bin/env bash
# Inside a Wine session with a 64-bit prefix: the 32-bit DLL's keys, written through the 32-bit
# registry view (KEY_WOW64_32KEY, as `reg import /reg:32` writes), are what the 64-bit
# instdll-inspect answers for by default, on --live and on a `reg export /reg:64` of the machine
# alike, each key named under WOW6432Node where it really is; a family component in the native
# view is out of that DLL's sight and the tool's plan, and --view 64 sees that one only. The
# backup the tool writes puts back exactly what the pruning deletes, and the counter raised by
# what the tool says makes the counter what it was.
# With SETUP_EXE, a 32-bit demo setup running under WoW64 with the shipping 32-bit DLL: what
# the DLL deletes, counts and stores is what the tool planned, the 32-bit view then holds what
# examples/expected-after.txt says, and the tool's --live answer afterwards reads what the DLL
# wrote. Without it, the deletes are made as planned by `reg`. The family's keys that the prefix
# holds before go first; $WINE runs the 64-bit tool and, with SETUP_EXE, the 32-bit setup.
# Usage: inspect-wow64-test.sh INSTDLL_INSPECT_EXE (the 64-bit build) [SETUP_EXE]
set -Eeuo pipefail
inspect=$(realpath "$1")
setup=${2:+$(realpath "$2")}
here=$(cd "$(dirname "$0")/../.." && pwd)
. "$here/examples/family-registry.sh"

work=$(mktemp -d /tmp/instdll-inspect-wow64.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "inspect-wow64-test: $*" >&2
    exit 1
}
# A command that fails without a check of its own ends the test: say which.
trap 'echo "inspect-wow64-test: line $LINENO failed: $BASH_COMMAND" >&2' ERR

wow='HKLM\SOFTWARE\WOW6432Node'

# A component logged in the same directory, and a counter, in the native view only.
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_LOCAL_MACHINE\SOFTWARE\Zk\Zkv7\7.5\Components]' '@=dword:00000009' '' \
    '[HKEY_LOCAL_MACHINE\SOFTWARE\Zk\Zkv7\7.5\Zk:Native]' '"ZkFolder"="Native"' \
    '"ZkPath"="C:\\Program Files\\Zk\\Suite\\native.exe"' '' \
    '[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Zk:Native]' \
    '"DisplayName"="Zk:7.5 Native"' \
    '"UninstallString"="zkuninst.exe -f\"C:\\Program Files\\Zk\\Suite\\native.isu\" NATIVE"' \
    >"$work/native.reg"
# The family's keys of both views are these alone, whatever ran in the prefix before.
remove_family_registry "$wow"
remove_family_registry
"$WINE" reg import "$(windows_path "$here/examples/sample-registry.reg")" /reg:32 >/dev/null
"$WINE" reg import "$(windows_path "$work/native.reg")" /reg:64 >/dev/null
# A 64-bit machine's export, and a 32-bit program's: the 32-bit view under the native names.
"$WINE" reg export 'HKLM\SOFTWARE' "$(windows_path "$work/machine.reg")" /y /reg:64 >/dev/null
"$WINE" reg export 'HKLM\SOFTWARE' "$(windows_path "$work/machine32.reg")" /y /reg:32 >/dev/null
"$WINE" reg export 'HKCU\Software' "$(windows_path "$work/user.reg")" /y >/dev/null
exports=("$(windows_path "$work/machine.reg")" "$(windows_path "$work/user.reg")")

ask() {
    "$WINE" "$inspect" --code-page 1252 --json "$@" | tr -d '\r'
}
# Wine spells it Wow6432Node; key names compare without regard to case.
folded() {
    tr '[:upper:]' '[:lower:]'
}
# The keys of listing $1 that listing $2 lacks, in one letter case.
gone() {
    keys_gone "$1" "$2" | folded | sort
}

declare -A answers
ask_export_and_live || fail "see above"

catalogue=${answers[catalogue]}
echo "$catalogue" | grep -q '"view":{"dll":32,"wow6432Node":true}' ||
    fail "the answer is not for the 32-bit DLL under WOW6432Node: $catalogue"
echo "$catalogue" | grep -q '"initV7Info":1,"catalogue":\[{"key":"Zk:Charts"' ||
    fail "the 32-bit DLL's catalogue is not the sample's: $catalogue"
! echo "$catalogue" | grep -q 'Zk:Native' || fail "the native view's component is catalogued"
# The 32-bit program's export holds the same keys under the native names.
thirty_two=$(ask "$(windows_path "$work/machine32.reg")" "$(windows_path "$work/user.reg")")
echo "$thirty_two" | grep -q '"view":{"dll":32,"wow6432Node":false}' ||
    fail "a 32-bit program's export is read as a 64-bit machine's: $thirty_two"
[ "${thirty_two#*\"initV7Info\"}" = "${catalogue#*\"initV7Info\"}" ] ||
    fail "a 32-bit program's export catalogues otherwise:"$'\n'"$thirty_two"
native=$(ask --live --view 64)
echo "$native" | grep -q '"view":{"dll":64,"wow6432Node":false},"unrepresentable":\[\],"initV7Info":1,"catalogue":\[{"key":"Zk:Native"' ||
    fail "--view 64 does not see the native view's component: $native"
echo "$native" | grep -q 'Zk:Charts' && fail "--view 64 catalogues the 32-bit DLL's components"

plan=${answers[--prune]}
planned=$(planned_deletions "$plan")
before=$(family_registry "$wow")
[ -n "$planned" ] || fail "nothing to prune: $plan"
while read -r key; do
    case $key in
    'HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\'*) ;;
    *) fail "a planned delete is not under WOW6432Node: $key" ;;
    esac
    [[ $key != *Zk:Native* ]] || fail "the plan deletes the native view's component: $key"
    echo "$before" | grep -qixF "$key" || fail "the plan names a key the machine does not hold: $key"
done <<<"$planned"

native_before=$(family_machine_registry)
backup_said=$("$WINE" "$inspect" --code-page 1252 --live --prune "$directory" "$arguments" \
    --backup "$(windows_path "$work/backup.reg")" | tr -d '\r')
raise=$(echo "$backup_said" |
    sed -n 's/^Component counter \[.*\]: the file leaves it alone: raise it by \([0-9]*\) after importing the file$/\1/p')
[ -n "$raise" ] || fail "the backup does not say how far to raise the counter: $backup_said"
if [ -n "$setup" ]; then
    cp "$setup" "$work/setup.exe"
    "$WINE" "$work/setup.exe" /S
    after=$(family_registry "$wow")
    setup_did_as_answered "$(tr -d '\r' <"$work/setup-results.txt")" "$after" ||
        fail "the 32-bit setup did otherwise"
    # Named as the 32-bit DLL names its keys, the 32-bit view holds what the demo leaves.
    diff -u "$here/examples/expected-after.txt" \
        <(echo "$after" | sed 's/^\(HKEY_LOCAL_MACHINE\\SOFTWARE\)\\WOW6432Node\\/\1\\/I') ||
        fail "the 32-bit view, read from the 64-bit side, is not what the demo leaves"
    # What the 32-bit DLL left, as the 64-bit tool reads it now.
    again=$(ask --live --prune "$directory" "$arguments")
    [ "$(echo "$again" | grep -o '"before":[-0-9]*' | cut -d: -f2)" = "$(planned_counter "$plan")" ] ||
        fail "after the 32-bit setup, the tool reads another counter: $again"
    [ -z "$(planned_deletions "$again")" ] || fail "after the 32-bit setup, more to prune: $again"
else
    while read -r key; do
        "$WINE" reg delete "$key" /f >/dev/null
    done <<<"$planned"
    "$WINE" reg add "$wow\Zk\Zkv7\7.5\Components" /ve /t REG_DWORD /d "$(planned_counter "$plan")" \
        /f >/dev/null
    after=$(family_registry "$wow")
fi
[ "$(gone "$before" "$after")" = "$(echo "$planned" | folded | sort)" ] ||
    fail "the deletes differ from the plan:"$'\n'"$(gone "$before" "$after")"$'\n'"$planned"
[ "$(family_machine_registry)" = "$native_before" ] || fail "the native view changed"

"$WINE" reg import "$(windows_path "$work/backup.reg")" >/dev/null
lowered=$(counter_in "$(family_machine_registry "$wow")")
"$WINE" reg add "$wow\Zk\Zkv7\7.5\Components" /ve /t REG_DWORD /d $((lowered + raise)) \
    /f >/dev/null
restored=$(family_machine_registry "$wow" | pruned_part)
[ "$restored" = "$(echo "$before" | pruned_part)" ] ||
    fail "the backup does not put back what was deleted:"$'\n'"$(diff <(echo "$before" | pruned_part) <(echo "$restored"))"
echo "inspect-wow64-test: the 64-bit tool answers for the 32-bit DLL's keys under WOW6432Node"
