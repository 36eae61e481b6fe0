#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds each (default 60) on its seed corpus.
# New inputs that libFuzzer finds go to a scratch copy, so the repository's corpus stays as is.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/build.sh fuzz
work=$(mktemp -d /tmp/instdll-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
status=0
for fuzzer in build/fuzz/bin/*_fuzzer; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    mkdir -p "$work/$name" "fuzz/corpus/$name"
    echo "== $name: ${seconds}s"
    if ! "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/" \
        "$work/$name" "fuzz/corpus/$name" 2>"$work/$name.log"; then
        tail -n 60 "$work/$name.log" >&2
        status=1
    else
        grep -E 'stat::number_of_executed_units|Done' "$work/$name.log" || true
    fi
done
exit $status
