#!/bin/bash
# Started by the 32-bit guest's init from the run disk: runs the host's command (NUL-separated in
# `command`) on a writable copy of the checkout it was given, in a fresh 32-bit Wine session.
set -euo pipefail
run=$(dirname "$0")
work=$(mktemp -d /var/tmp/instdll.XXXXXX)
cp -a "$run/checkout/." "$work"
cd "$work"
mapfile -d '' -t command <"$run/command"
export WINEARCH=win32 WINE=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver32
results=$(blkid -L instdll-results || true)
if [ -n "$results" ] && mkdir -p /mnt/results && mount "$results" /mnt/results; then
    export INSTDLL_RESULTS=/mnt/results
fi
status=0
# Through a pipe: on a terminal, Wine would draw its console with escape sequences.
scripts/wine-session.sh "${command[@]}" 2>&1 | cat || status=$?
[ -z "${INSTDLL_RESULTS:-}" ] || umount /mnt/results
exit "$status"
