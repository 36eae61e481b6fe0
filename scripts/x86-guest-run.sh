#!/bin/bash
# Started by the 32-bit guest's init from the run disk: runs the host's command (NUL-separated in
# `command`) on a writable copy of the checkout it was given, in a fresh Wine session of the
# prefix named in `prefix`: 32-bit, or 64-bit with the 32-bit programs under WoW64.
set -euo pipefail
run=$(dirname "$0")
work=$(mktemp -d /var/tmp/instdll.XXXXXX)
cp -a "$run/checkout/." "$work"
cd "$work"
mapfile -d '' -t command <"$run/command"
if [ "$(cat "$run/prefix")" = win64 ]; then
    # The 64-bit loader boots the prefix and hands each 32-bit program to the 32-bit one.
    export WINEARCH=win64 WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
else
    export WINEARCH=win32 WINE=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver32
fi
results=$(blkid -L instdll-results || true)
if [ -n "$results" ] && mkdir -p /mnt/results && mount "$results" /mnt/results; then
    export INSTDLL_RESULTS=/mnt/results
fi
status=0
# Through a pipe: on a terminal, Wine would draw its console with escape sequences.
scripts/wine-session.sh "${command[@]}" 2>&1 | cat || status=$?
[ -z "${INSTDLL_RESULTS:-}" ] || umount /mnt/results
exit "$status"
