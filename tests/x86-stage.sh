#!/usr/bin/env bash
# The 32-bit stage, run by scripts/x86-session.sh inside its guest: the shipping DLL of
# build/win32 under 32-bit Wine, through the whole Wine harness (the stack of every export's
# caller included; its text-cutting tests once more under code page 932), the compiled
# import-library caller and the 32-bit demo setup. Runs every check, prints one line each and
# fails if any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
failed=0
check() {
    local name=$1 started=$SECONDS
    shift
    if "$@"; then
        echo "x86 $name: passed ($((SECONDS - started)) s)"
    else
        echo "x86 $name: FAILED ($((SECONDS - started)) s)"
        failed=1
    fi
}
# The stamped signed target, for scripts/test.sh to sign again on the host: the guest has no
# osslsigncode.
[ -z "${INSTDLL_RESULTS:-}" ] ||
    export INSTDLL_STAMPED_COPY="Z:${INSTDLL_RESULTS//\//\\}\\signed-target-stamped.exe"
check wine.harness tests/wine/run-in-wine.sh build/win32/bin/instdll_wine_tests.exe
check wine.harness.cp932 tests/wine/run-in-cp932.sh build/win32/bin/instdll_wine_tests.exe
check import.caller tests/wine/run-in-wine.sh build/win32/bin/instdll_import_caller.exe
check demo.silent_setup tests/demo-test.sh build/win32/demo/setup-silent.exe
exit "$failed"
