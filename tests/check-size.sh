#!/usr/bin/env bash
# Weighs each built InstDLL.dll against its budget and prints every size, within budget or not.
# Usage: check-size.sh LABEL DLL BUDGET_KB [LABEL DLL BUDGET_KB]...
set -euo pipefail
(($# > 0 && $# % 3 == 0)) || { echo "usage: $0 LABEL DLL BUDGET_KB..." >&2; exit 2; }
status=0
while (($# > 0)); do
    label=$1 dll=$2 budget_kb=$3
    shift 3
    if [ ! -f "$dll" ]; then
        echo "$label: missing $dll" >&2
        status=1
        continue
    fi
    size=$(stat -c %s "$dll")
    verdict="within budget"
    if ((size > budget_kb * 1024)); then
        verdict="OVER BUDGET"
        status=1
    fi
    printf '%s InstDLL.dll: %d bytes (%d KB), budget %d KB: %s\n' \
        "$label" "$size" $(((size + 1023) / 1024)) "$budget_kb" "$verdict"
done
exit $status
