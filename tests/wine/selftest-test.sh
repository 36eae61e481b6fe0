#!/usr/bin/env bash
# Inside a Wine session: instdll-selftest passes every check it runs, prints its summary and
# writes its JUnit file, leaves the prefix's registry and C:\ as it found them (twice), refuses
# on a prefix holding the family's keys and, told to take a backup, puts those keys back.
# Usage: selftest-test.sh [--once] INSTDLL_SELFTEST_EXE
#   --once: one run and the refusal only, for the emulated 32-bit stage, where each Wine process
#   costs seconds.
set -Eeuo pipefail
once=
[ "$1" != --once ] || { once=1; shift; }
selftest=$(realpath "$1")
here=$(cd "$(dirname "$0")/../.." && pwd)
. "$here/examples/family-registry.sh"

work=$(mktemp -d /tmp/instdll-selftest-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "selftest-test: $*" >&2
    exit 1
}
# A command that fails without a check of its own ends the test: say which.
trap 'echo "selftest-test: line $LINENO failed: $BASH_COMMAND" >&2' ERR

# What a run may not change: the registry as the wineserver saves it once the session's last
# process has ended, without the time it stores per key, and every name and size under C:\.
# Read from the files, it costs no Wine process: two `reg export`s of the prefix cost more than
# half a minute in the emulated 32-bit stage. Left out is what Wine writes again at each
# session's start: the display adapter and the monitor (their modes, driver dates and
# interfaces), the service manager's start count, the network cards and the settings Wine keeps
# while a program changes system parameters. Key names compare with "/" for their separator.
session_keys='^\[(system/currentcontrolset/(control/(class/[{]4d36e96[8e]-'
session_keys+='|deviceclasses/[{](1ca05180|5b45201d|e6f07b5f)-|video|servicecurrent)'
session_keys+='|hardware profiles/current/system)|hardware/devicemap/video'
session_keys+='|software/(wow6432node/)?microsoft/windows nt/currentversion/networkcards'
session_keys+='|software/wine/temporary system parameters)'
listing() {
    local hive
    "$WINESERVER" -w
    for hive in system.reg user.reg; do
        session_keys=$session_keys awk '
            /^\[/ {
                key = tolower($0)
                gsub(/\\\\/, "/", key)
                skipped = key ~ ENVIRON["session_keys"]
                sub(/\] [0-9]+$/, "]")
            }
            /^#time=/ { next }
            !skipped' "$WINEPREFIX/$hive"
    done
    (cd "$WINEPREFIX/drive_c" && find . -printf '%p %s\n' | LC_ALL=C sort)
}

# Runs the self-test; its exit status in $status, its summary in $work/$1.txt.
run() {
    local name=$1
    shift
    status=0
    "$WINE" "$selftest" --junit "$(windows_path "$work/$name.xml")" "$@" 2>&1 |
        tr -d '\r' >"$work/$name.txt" || status=$?
    cat "$work/$name.txt"
}

# The status and name of each check: what a second run must repeat.
verdicts() {
    grep -E '^(pass|FAIL|skip)  ' "$work/$1.txt" | cut -d : -f 1
}

expected_verdicts='pass  exports
pass  privileges
pass  catalogue
pass  prune
pass  titles
pass  value-delete
pass  chooser
pass  stamp
skip  standard-user
pass  leaves-no-trace'

# Wine rewrites its font settings for the code page of a session's first process, and a check
# before this one may have run under another: one process first, in this one's.
"$WINE" cmd /c exit
before=$(listing)
run first
[ "$status" = 0 ] || fail "the first run failed (exit status $status)"
[ "$(verdicts first)" = "$expected_verdicts" ] || fail "verdicts:"$'\n'"$(verdicts first)"
grep -q '^code page: 1251$' "$work/first.txt" || fail "no code page 1251 in the summary"
grep -qE '^program: (64|32)-bit' "$work/first.txt" || fail "no bitness in the summary"
grep -q '^elevation: ' "$work/first.txt" || fail "no elevation in the summary"
grep -q '^all checks that ran passed$' "$work/first.txt" || fail "no verdict line"
xml=$(tr -d '\n' <"$work/first.xml")
[[ $xml == *'<testsuite name="instdll-selftest.'*'" tests="10" failures="0" skipped="1">'* ]] ||
    fail "JUnit suite line: $(grep testsuite "$work/first.xml" | head -1)"
[ "$(grep -c '<testcase ' "$work/first.xml")" = 10 ] || fail "JUnit test cases"
grep -q '<property name="code page" value="1251"/>' "$work/first.xml" || fail "JUnit properties"
after=$(listing)
[ "$before" = "$after" ] || fail "the run changed the prefix:"$'\n'"$(diff <(echo "$before") <(echo "$after") | head -40)"

if [ -z "$once" ]; then
    run second
    [ "$(verdicts second)" = "$expected_verdicts" ] || fail "the second run differs"
    [ "$before" = "$(listing)" ] || fail "the second run changed the prefix"
fi

# A prefix with the family installed: refused, untouched.
"$WINE" regedit /S "$(windows_path "$here/examples/sample-registry.reg")"
installed=$(listing)
run refused
[ "$status" = 3 ] || fail "not refused (exit status $status)"
grep -q '^refused: the product family' "$work/refused.txt" || fail "no refusal"
# The user's key: the one both builds see, whichever view regedit wrote the machine's keys to.
grep -q 'HKEY_CURRENT_USER\\Software\\Zk$' "$work/refused.txt" || fail "the refusal names no key"
[ ! -e "$work/refused.xml" ] || fail "a refused run wrote a JUnit file"
[ "$installed" = "$(listing)" ] || fail "the refused run changed the prefix"

if [ -n "$once" ]; then
    remove_family_registry
    echo "selftest-test: passed, left the prefix as found, refused on the family's keys"
    exit 0
fi

# Backed up, taken away, put back.
run backed-up --take-backup "$(windows_path "$work/backup.reg")"
[ "$status" = 0 ] || fail "the run with a backup failed (exit status $status)"
[ "$(verdicts backed-up)" = "$expected_verdicts" ] || fail "the run with a backup differs"
iconv -f UTF-16LE -t UTF-8 "$work/backup.reg" | grep -q 'Windows Registry Editor Version 5.00' ||
    fail "no .reg backup"
[ "$installed" = "$(listing)" ] || fail "the family's keys did not come back:"$'\n'"$(diff <(echo "$installed") <(listing) | head -40)"
remove_family_registry
echo "selftest-test: passed, left the prefix as found, refused on the family's keys, kept them"
