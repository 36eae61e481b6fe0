#!/usr/bin/env bash
# The 32-bit stage, run by scripts/x86-session.sh inside its guest: the shipping DLL of
# build/win32 under 32-bit Wine, through the whole Wine harness (the stack of every export's
# caller included; its text-cutting tests once more under code page 932), the compiled
# import-library caller, the 32-bit demo setups (NSIS and Inno Setup), and the same 32-bit
# programs under WoW64 in a 64-bit prefix, as on a 64-bit Windows. Prints one line per check and
# fails if any failed.
# Usage: x86-stage.sh [CHECK...]: only the checks named (default: every one), e.g.
#   scripts/x86-session.sh tests/x86-stage.sh wow64.inspect
set -uo pipefail
cd "$(dirname "$0")/.."
# In the session that scripts/x86-session.sh opens: a 32-bit prefix.
win32_checks=(wine.harness wine.harness.cp932 import.caller demo.silent_setup inno.silent_setup)
# In a 64-bit prefix of their own, opened below.
wow64_checks=(wow64.harness wow64.inspect)
# The harness's tests of what a setup under WoW64 meets otherwise: the registry's 32-bit view
# (catalogue, pruning, titles, value delete, several setups at once, the log and the restore from
# it), the chooser's dialogs and the stamped file.
wow64_harness_filter='CatalogWineTest.*:TitlesWineTest.*:DeleteValueTest.*:SharedStateWineTest.*'
wow64_harness_filter+=':LogWineTest.*:ChooserTest.*:UserParamsTest.*:SignedTargetTest.*'
wow64_harness_filter+=':AdministratorCheck.*'

selected=("$@")
((${#selected[@]} > 0)) || selected=("${win32_checks[@]}" "${wow64_checks[@]}")
for name in "${selected[@]}"; do
    [[ " ${win32_checks[*]} ${wow64_checks[*]} " == *" $name "* ]] ||
        { echo "x86-stage: no check $name (${win32_checks[*]} ${wow64_checks[*]})" >&2; exit 2; }
done
is_selected() {
    [[ " ${selected[*]} " == *" $1 "* ]]
}

failed=0
check() {
    local name=$1 started=$SECONDS
    shift
    is_selected "$name" || return 0
    if "$@"; then
        echo "x86 $name: passed ($((SECONDS - started)) s)"
    else
        echo "x86 $name: FAILED ($((SECONDS - started)) s)"
        failed=1
    fi
}

# Inside the 64-bit prefix (see the end): the WoW64 checks.
if [ "${INSTDLL_X86_PREFIX:-}" = win64 ]; then
    echo "x86 wow64: the 64-bit prefix was ready after" \
        "$(($(date +%s) - INSTDLL_X86_PREFIX_STARTED)) s"
    check wow64.harness tests/wine/run-in-wine.sh build/win32/bin/instdll_wine_tests.exe \
        --gtest_filter="$wow64_harness_filter"
    # Last, since it leaves the family's keys behind: the 32-bit demo setup under WoW64, its
    # writes read from the 64-bit side, and the 64-bit instdll-inspect's answers for them.
    check wow64.inspect tests/wine/inspect-wow64-test.sh build/win64/bin/instdll-inspect.exe \
        build/win32/demo/setup-silent.exe
    exit "$failed"
fi

echo "x86 stage: the 32-bit prefix was ready" \
    "$(cut -d ' ' -f 1 /proc/uptime) s after the guest's boot"
# The stamped signed target, for scripts/test.sh to sign again on the host: the guest has no
# osslsigncode.
[ -z "${INSTDLL_RESULTS:-}" ] ||
    export INSTDLL_STAMPED_COPY="Z:${INSTDLL_RESULTS//\//\\}\\signed-target-stamped.exe"
check wine.harness tests/wine/run-in-wine.sh build/win32/bin/instdll_wine_tests.exe
check wine.harness.cp932 tests/wine/run-in-cp932.sh build/win32/bin/instdll_wine_tests.exe
check import.caller tests/wine/run-in-wine.sh build/win32/bin/instdll_import_caller.exe
check demo.silent_setup tests/demo-test.sh --this-session build/win32/demo/setup-silent.exe
check inno.silent_setup tests/demo-test.sh --this-session --inno
unset INSTDLL_STAMPED_COPY

wow64_selected=()
for name in "${wow64_checks[@]}"; do
    is_selected "$name" && wow64_selected+=("$name")
done
if ((${#wow64_selected[@]} > 0)); then
    # The 64-bit loader boots the prefix and hands each 32-bit program to the 32-bit one.
    started=$SECONDS
    INSTDLL_X86_PREFIX=win64 INSTDLL_X86_PREFIX_STARTED=$(date +%s) WINEARCH=win64 \
        WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 \
        scripts/wine-session.sh tests/x86-stage.sh "${wow64_selected[@]}" ||
        { echo "x86 wow64: FAILED"; failed=1; }
    echo "x86 wow64: the 64-bit prefix and its checks took $((SECONDS - started)) s"
fi
exit "$failed"
