#!/usr/bin/env bash
# Measures: every host benchmark (Google Benchmark, optimised, no sanitizers), then every Wine
# benchmark in a session of its own. Each prints its figures with their units; all run, and the
# command fails at the end if any failed. The figures, with the machine: docs/footprint.md.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh bench win64

echo "Machine: $(nproc) processors ($(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1)," \
    "load average $(cut -d ' ' -f 1-3 /proc/loadavg))"
failed=()
output=$(mktemp "${TMPDIR:-/tmp}/instdll-bench.XXXXXX")
trap 'rm -f "$output"' EXIT
# Google Benchmark reports an error in its output and still exits 0.
for benchmark in build/bench/bin/*_benchmark; do
    if ! "$benchmark" | tee "$output" || grep -q "ERROR OCCURRED" "$output"; then
        failed+=("$(basename "$benchmark")")
    fi
done

run_wine_benchmarks() {
    local benchmark status=0
    for benchmark in build/win64/bin/*_wine_benchmark.exe; do
        tests/wine/run-in-wine.sh "$benchmark" || { echo "$benchmark failed" >&2; status=1; }
    done
    return "$status"
}
export -f run_wine_benchmarks
scripts/wine-session.sh bash -c run_wine_benchmarks || failed+=("Wine benchmarks")

if ((${#failed[@]} > 0)); then
    echo "failed: ${failed[*]}" >&2
    exit 1
fi
