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
# Through a pipe: on a terminal, Wine would draw its console with escape sequences.
scripts/wine-session.sh "${command[@]}" 2>&1 | cat
