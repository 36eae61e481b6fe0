#!/usr/bin/env bash
# The test command: installs what is missing, builds every preset, runs every preset's tests, then
# the 32-bit stage: the shipping DLL under 32-bit Wine in an emulated x86 machine. Every part
# runs; the command fails if any of them failed.
# INSTDLL_FUZZ_SECONDS sets how long each fuzz target runs (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh host win32 win64
scripts/fuzz.sh "${INSTDLL_FUZZ_SECONDS:-60}"
# Each preset checks what it builds; the 64-bit programs run under Wine in a session of their own.
failed=()
ctest --test-dir build/host --output-on-failure -j 2 || failed+=(host)
ctest --test-dir build/win32 --output-on-failure -j 2 || failed+=(win32)
scripts/wine-session.sh ctest --test-dir build/win64 --output-on-failure -j 2 || failed+=(win64)
# The guest signs nothing: the 32-bit stamp of the signed target is signed again here.
x86_results=$(mktemp -d "${TMPDIR:-/tmp}/instdll-x86-results.XXXXXX")
trap 'rm -rf "$x86_results"' EXIT
if INSTDLL_X86_RESULTS=$x86_results scripts/x86-session.sh tests/x86-stage.sh &&
    tests/wine/resign-check.sh "$x86_results/signed-target-stamped.exe" \
        build/win32/bin/instdll_signed_target.exe; then
    echo "32-bit stage: passed"
else
    echo "32-bit stage: FAILED" >&2
    failed+=("32-bit stage")
fi
if ((${#failed[@]} > 0)); then
    echo "failed: ${failed[*]}" >&2
    exit 1
fi
