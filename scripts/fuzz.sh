#!/usr/bin/env bash
# Runs the libFuzzer targets on their corpora under fuzz/corpus/.
#
#   scripts/fuzz.sh [seconds] [target...]
#       each named target (default: every one) for that long (default 60); what it finds goes
#       to a scratch copy, so the repository's corpus stays as it is.
#   scripts/fuzz.sh --campaign [--runs N] [target...]
#       each named target (default: every one) until it has run N inputs (default 10,000,000),
#       then its corpus and what it found minimised with -merge=1 into fuzz/corpus/<target>/;
#       prints each target's executions and time at the end. Ctrl-C ends the campaign early;
#       what the interrupted target found is still merged.
#
# A target is named as its program (catalog_fuzzer) or without the suffix (catalog). Inputs that
# fail are kept under build/fuzz/artifacts/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    sed -n '2,14s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

campaign=0
runs=10000000
seconds=60
targets=()
while (($# > 0)); do
    case $1 in
        --campaign) campaign=1 ;;
        --runs)
            (($# > 1)) || usage
            runs=$2
            shift
            ;;
        -h | --help) usage ;;
        -*) usage ;;
        *)
            if [[ $1 =~ ^[0-9]+$ ]]; then
                seconds=$1
            else
                targets+=("${1%_fuzzer}_fuzzer")
            fi
            ;;
    esac
    shift
done
[[ $runs =~ ^[0-9]+$ ]] || usage

scripts/build.sh fuzz
if ((${#targets[@]} == 0)); then
    for program in build/fuzz/bin/*_fuzzer; do
        [ -x "$program" ] && targets+=("$(basename "$program")")
    done
fi
for name in "${targets[@]}"; do
    [ -x "build/fuzz/bin/$name" ] || { echo "no fuzz target $name" >&2; exit 2; }
done

work=$(mktemp -d /tmp/instdll-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
# The campaign runs copies, so that a rebuild while it runs changes nothing under it.
mkdir -p "$work/bin"
for name in "${targets[@]}"; do cp "build/fuzz/bin/$name" "$work/bin/"; done

# A unit slower than this is a hang, found like a crash.
common=(-timeout=30 -print_final_stats=1)

executions() { sed -n 's/^stat::number_of_executed_units: *//p' "$1" | tail -n 1; }

# libFuzzer's exit code after SIGINT: it stopped early, having found nothing.
interrupted=72

# fuzz NAME LIMIT...: runs NAME on a scratch directory and its corpus; 0 when it ran clean,
# $interrupted when it was stopped.
fuzz() {
    local name=$1
    shift
    local artifacts="build/fuzz/artifacts/$name" code=0
    mkdir -p "$work/$name" "fuzz/corpus/$name" "$artifacts"
    "$work/bin/$name" "$@" "${common[@]}" -artifact_prefix="$artifacts/" \
        "$work/$name" "fuzz/corpus/$name" 2>"$work/$name.log" || code=$?
    ((code == 0 || code == interrupted)) || tail -n 60 "$work/$name.log" >&2
    return $code
}

# Everything the corpus and the campaign's finds cover, in as few inputs as -merge=1 keeps.
minimise() {
    local name=$1 merged="$work/$name.merged"
    mkdir -p "$merged"
    "$work/bin/$name" -merge=1 -merge_control_file="$work/$name.merge" "${common[@]}" \
        "$merged" "fuzz/corpus/$name" "$work/$name" 2>"$work/$name.merge.log" || {
        tail -n 30 "$work/$name.merge.log" >&2
        return 1
    }
    rm -rf "fuzz/corpus/$name"
    mv "$merged" "fuzz/corpus/$name"
}

status=0
summary=()
for name in "${targets[@]}"; do
    started=$SECONDS
    if ((campaign)); then
        echo "== $name: $runs executions"
        outcome=0
        fuzz "$name" -runs="$runs" || outcome=$?
        case $outcome in
            0) result=clean ;;
            "$interrupted") result="interrupted, clean" ;;
            *) result=FAILED ;;
        esac
        if [[ $result != FAILED ]] && ! minimise "$name"; then result="$result, merge FAILED"; fi
        [[ $result != *FAILED* ]] || status=1
        summary+=("$(printf '%-28s %12s executions %7ss  %s, corpus %s inputs' "$name" \
            "$(executions "$work/$name.log")" $((SECONDS - started)) "$result" \
            "$(find "fuzz/corpus/$name" -type f | wc -l)")")
        ((outcome != interrupted)) || break
    else
        echo "== $name: ${seconds}s"
        if fuzz "$name" -max_total_time="$seconds"; then
            grep -E 'stat::number_of_executed_units|Done' "$work/$name.log" || true
        else
            status=1
        fi
    fi
done
if ((campaign)); then
    echo "== campaign"
    printf '%s\n' "${summary[@]}"
fi
exit $status
