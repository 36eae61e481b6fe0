#!/usr/bin/env bash
# The test command: installs what is missing, builds every preset, runs every preset's tests and
# the 32-bit stage: the shipping DLL under 32-bit Wine in an emulated x86 machine. Every part
# runs; the command fails if any of them failed.
# INSTDLL_FUZZ_SECONDS sets how long each fuzz target runs (default 15).
set -euo pipefail
cd "$(dirname "$0")/.."
# The guest image needs debootstrap alone: where none is cached, its build goes on beside the
# rest of the install, which mostly waits on downloads, and the Windows builds.
scripts/install-deps.sh debootstrap e2fsprogs
# The 32-bit stage is the longest part: an emulated machine per Wine prefix (32-bit, and 64-bit
# with WoW64). Each has one processor, so the two run side by side on two cores without waiting
# on each other's emulated processors. The machines start as soon as the programs they carry
# are built, and the host's part runs beside them. Each runs in a process group of its own, so
# that a failure here stops all they started.
x86_results=$(mktemp -d "${TMPDIR:-/tmp}/instdll-x86-results.XXXXXX")
background=()
stop_background() {
    local group
    for group in "${background[@]}"; do
        if kill -TERM -- -"$group" 2>/dev/null; then wait "$group" || true; fi
    done
    rm -rf "$x86_results"
}
trap stop_background EXIT
setsid scripts/x86-session.sh --image >>"$x86_results/win32.output" 2>&1 &
background+=($!)
scripts/install-deps.sh
# Each machine's output goes to $x86_results/PREFIX.output, what it leaves to $x86_results/PREFIX.
declare -A stage
start_machine() {
    INSTDLL_X86_PREFIX=$1 INSTDLL_X86_CPUS=1 INSTDLL_X86_RESULTS=$x86_results/$1 \
        setsid scripts/x86-session.sh tests/x86-stage.sh >>"$x86_results/$1.output" 2>&1 &
    background+=($!)
    stage[$1]=$!
}
# The 32-bit prefix's checks take longest: its machine starts first. The 64-bit prefix's machine
# carries the 64-bit instdll-inspect, so it waits for win64.
scripts/build.sh win32
start_machine win32
scripts/build.sh win64
start_machine win64
echo "32-bit stage: started in the background; its output follows the host's tests"

scripts/build.sh host bench
scripts/fuzz.sh "${INSTDLL_FUZZ_SECONDS:-15}"
# Each preset checks what it builds; the 64-bit programs run under Wine in a session of their own.
# A preset whose tests went missing fails rather than passing on none.
failed=()
ctest=(ctest --output-on-failure --no-tests=error -j 2 --test-dir)
"${ctest[@]}" build/host || failed+=(host)
# Each benchmark briefly, so that one that stops running fails here; scripts/bench.sh measures.
ctest --output-on-failure --no-tests=error --test-dir build/bench || failed+=(bench)
"${ctest[@]}" build/win32 || failed+=(win32)
scripts/wine-session.sh "${ctest[@]}" build/win64 || failed+=(win64)

# The guest signs nothing: the 32-bit stamp of the signed target is signed again here.
stage_failed=0
for prefix in win32 win64; do
    wait "${stage[$prefix]}" || stage_failed=1
    cat "$x86_results/$prefix.output"
done
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
