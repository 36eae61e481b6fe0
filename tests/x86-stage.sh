#!/usr/bin/env bash
# The 32-bit stage, run by scripts/x86-session.sh inside its guest, one machine per prefix. In a
# 32-bit prefix: the shipping DLL of build/win32 under 32-bit Wine, through the whole Wine harness
# (the stack of every export's caller included; its text-handling tests once more under code
# page 932), the compiled import-library caller, the self-test and the 32-bit demo setup in Inno
# Setup. In a 64-bit prefix (INSTDLL_X86_PREFIX=win64): the same 32-bit programs under WoW64, as
# on a 64-bit Windows, the text-handling tests under code page 65001 and the NSIS demo setup
# among them. Prints one line per check and fails if any failed.
# Usage: x86-stage.sh [CHECK...]: only the checks named (default: every one of the prefix), e.g.
#   scripts/x86-session.sh tests/x86-stage.sh inno.silent_setup
#   INSTDLL_X86_PREFIX=win64 scripts/x86-session.sh tests/x86-stage.sh wow64.inspect
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-path.sh
prefix=${WINEARCH:-win32}
declare -A checks=(
    [win32]="wine.harness wine.harness.cp932 import.caller selftest inno.silent_setup"
    [win64]="wow64.harness wine.harness.utf8 selftest wow64.inspect"
)
# The harness's tests of what a setup under WoW64 meets otherwise: the registry's 32-bit view
# (catalogue, pruning, titles, value delete, the log and the restore from it, the .reg files
# regedit imports). The other suites run whole in the 32-bit prefix, on the same 32-bit Wine
# libraries: the chooser and the stamp (under WoW64 the UTF-8 run drives the chooser, the
# self-test drives both) and several setups at once, whose lock no registry view changes.
wow64_harness_filter='CatalogWineTest.*:TitlesWineTest.*:DeleteValueTest.*:LogWineTest.*'
wow64_harness_filter+=':AdministratorCheck.*:RegFileWineTest.*'

selected=("$@")
((${#selected[@]} > 0)) || read -r -a selected <<<"${checks[$prefix]}"
for name in "${selected[@]}"; do
    [[ " ${checks[$prefix]} " == *" $name "* ]] ||
        { echo "x86-stage: no check $name in a $prefix prefix (${checks[$prefix]})" >&2; exit 2; }
done
is_selected() {
    [[ " ${selected[*]} " == *" $1 "* ]]
}

failed=0
ran=()
check() {
    local name=$1 started=$SECONDS
    shift
    is_selected "$name" || return 0
    ran+=("$name")
    if "$@"; then
        echo "x86 $name: passed ($((SECONDS - started)) s)"
    else
        echo "x86 $name: FAILED ($((SECONDS - started)) s)"
        failed=1
    fi
}

since_boot() {
    echo "$(cut -d ' ' -f 1 /proc/uptime) s after the guest's boot"
}
echo "x86 stage: the $prefix prefix was ready $(since_boot)"
checks_ended() {
    echo "x86 stage: the $prefix prefix's ${#ran[@]} checks ended $(since_boot)"
}
# A check selected but never run, its call renamed or dropped, fails the stage.
finish() {
    local name
    for name in "${selected[@]}"; do
        [[ " ${ran[*]} " == *" $name "* ]] || { echo "x86 $name: never ran" >&2; failed=1; }
    done
    exit "$failed"
}
trap checks_ended EXIT
if [ "$prefix" = win64 ]; then
    check wow64.harness tests/wine/run-in-wine.sh build/win32/bin/instdll_wine_tests.exe \
        --gtest_filter="$wow64_harness_filter"
    # UTF-8 as the system code page is a choice of Windows 10 and 11, nearly all of them 64-bit.
    check wine.harness.utf8 tests/wine/run-in-code-page.sh hi_IN.UTF-8 \
        build/win32/bin/instdll_wine_tests.exe
    check selftest tests/wine/selftest-test.sh --once build/win32/bin/instdll-selftest.exe
    # Last, since it leaves the family's keys behind: the 32-bit demo setup under WoW64, its
    # writes read from the 64-bit side, and the 64-bit instdll-inspect's answers for them.
    check wow64.inspect tests/wine/inspect-wow64-test.sh build/win64/bin/instdll-inspect.exe \
        build/win32/demo/setup-silent.exe
    finish
fi

# The stamped signed target, for scripts/test.sh to sign again on the host: the guest has no
# osslsigncode.
if [ -n "${INSTDLL_RESULTS:-}" ]; then
    INSTDLL_STAMPED_COPY=$(windows_path "$INSTDLL_RESULTS/signed-target-stamped.exe")
    export INSTDLL_STAMPED_COPY
fi
check wine.harness tests/wine/run-in-wine.sh build/win32/bin/instdll_wine_tests.exe
check wine.harness.cp932 tests/wine/run-in-code-page.sh ja_JP.UTF-8 \
    build/win32/bin/instdll_wine_tests.exe
check import.caller tests/wine/run-in-wine.sh build/win32/bin/instdll_import_caller.exe
check selftest tests/wine/selftest-test.sh --once build/win32/bin/instdll-selftest.exe
check inno.silent_setup tests/demo-test.sh --this-session --inno
finish
