#!/usr/bin/env bash
# Runs the benchmarks: Google Benchmark on the host, then the Wine benchmarks in a fresh session.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh bench win64
for benchmark in build/bench/bin/*_benchmark; do
    [ -x "$benchmark" ] && "$benchmark"
done
run_wine_benchmarks() {
    for benchmark in build/win64/bin/*_wine_benchmark.exe; do
        [ -f "$benchmark" ] && tests/wine/run-in-wine.sh "$benchmark"
    done
    return 0
}
export -f run_wine_benchmarks
scripts/wine-session.sh bash -c run_wine_benchmarks
