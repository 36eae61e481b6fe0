#!/usr/bin/env bash
# The test command: installs what is missing, builds every preset, runs every preset's tests and
# the 32-bit stage: the shipping DLL under 32-bit Wine in an emulated x86 machine. Every part
# runs; the command fails if any of them failed.
# INSTDLL_FUZZ_SECONDS sets how long each fuzz target runs (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# The 32-bit stage is the longest part: an emulated machine per Wine prefix (32-bit, and 64-bit
# with WoW64), one after the other, since two at once are slower than one after the other on two
# cores. The guest image, where none is cached, is built beside the Windows builds; the stage
# starts as soon as the programs it carries are built, and the host's part runs beside it. Each
# runs in a process group of its own, so that a failure here stops all they started.
x86_results=$(mktemp -d "${TMPDIR:-/tmp}/instdll-x86-results.XXXXXX")
export x86_results
background=()
stop_background() {
    local group
    for group in "${background[@]}"; do
        if kill -TERM -- -"$group" 2>/dev/null; then wait "$group" || true; fi
    done
    rm -rf "$x86_results"
}
trap stop_background EXIT
# Each machine's output goes to $x86_results/PREFIX.output, what it leaves to $x86_results/PREFIX.
x86_stage() {
    local prefix status=0
    for prefix in win32 win64; do
        INSTDLL_X86_PREFIX=$prefix INSTDLL_X86_RESULTS=$x86_results/$prefix \
            scripts/x86-session.sh tests/x86-stage.sh >>"$x86_results/$prefix.output" 2>&1 ||
            status=1
    done
    return "$status"
}
export -f x86_stage
setsid scripts/x86-session.sh --image >>"$x86_results/win32.output" 2>&1 &
background+=($!)
scripts/build.sh win32 win64
setsid bash -c x86_stage &
stage=$!
background+=("$stage")
echo "32-bit stage: started in the background; its output follows the host's tests"

scripts/build.sh host
scripts/fuzz.sh "${INSTDLL_FUZZ_SECONDS:-60}"
# Each preset checks what it builds; the 64-bit programs run under Wine in a session of their own.
failed=()
ctest --test-dir build/host --output-on-failure -j 2 || failed+=(host)
ctest --test-dir build/win32 --output-on-failure -j 2 || failed+=(win32)
scripts/wine-session.sh ctest --test-dir build/win64 --output-on-failure -j 2 || failed+=(win64)

# The guest signs nothing: the 32-bit stamp of the signed target is signed again here.
stage_failed=0
wait "$stage" || stage_failed=1
cat "$x86_results/win32.output" "$x86_results/win64.output"
tests/wine/resign-check.sh "$x86_results/win32/signed-target-stamped.exe" \
    build/win32/bin/instdll_signed_target.exe || stage_failed=1
if ((stage_failed)); then
    echo "32-bit stage: FAILED" >&2
    failed+=("32-bit stage")
else
    echo "32-bit stage: passed"
fi
if ((${#failed[@]} > 0)); then
    echo "failed: ${failed[*]}" >&2
    exit 1
fi
