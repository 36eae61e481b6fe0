#!/usr/bin/env bash
# Runs a command inside a throwaway Wine session: a fresh WINEPREFIX (wineboot) and an Xvfb
# display. Whatever it starts, it stops and removes on exit, also when the command fails.
set -euo pipefail

WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
for tool in "$WINE" "$WINESERVER" Xvfb; do
    command -v "$tool" >/dev/null || { echo "wine-session: $tool is missing" >&2; exit 1; }
done

session=$(mktemp -d /tmp/instdll-wine.XXXXXX)
xvfb_pid=
cleanup() {
    WINEPREFIX="$session/prefix" "$WINESERVER" -k 2>/dev/null || true
    WINEPREFIX="$session/prefix" "$WINESERVER" -w 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$session"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display itself and writes its number once it accepts connections.
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1280x1024x24 -nolisten tcp >"$session/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 30 -u "$displayfd" display || { echo "wine-session: Xvfb did not start" >&2; exit 1; }
exec {displayfd}>&-

export DISPLAY=":$display"
export WINEPREFIX="$session/prefix"
export WINEDEBUG=${WINEDEBUG:--all}
# Wine takes the ANSI code page from the locale: 1251, the family's customers' own, whatever the
# caller's, so that runs are alike. A missing locale would fall back to 1252 unnoticed.
export LC_ALL=ru_RU.UTF-8
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] ||
    { echo "wine-session: the locale $LC_ALL is missing (scripts/install-deps.sh)" >&2; exit 1; }
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINE WINESERVER
# On a loaded machine, and in the emulated 32-bit guest above all, a first boot can outlast
# Wine's five-minute wait for it; the program that waited then fails ("could not load
# kernel32.dll") while the boot goes on. It is waited for and the prefix booted again, where the
# boot has done its work.
boot_prefix() {
    local attempt
    for attempt in 1 2 3; do
        if WINEDEBUG=err+all "$WINE" wineboot --init >"$session/wineboot.log" 2>&1 &&
            "$WINESERVER" -w; then
            return 0
        fi
        tail -n 20 "$session/wineboot.log" >&2
        echo "wine-session: wineboot failed (attempt $attempt of 3)" >&2
        "$WINESERVER" -w 2>/dev/null || true
    done
    return 1
}
boot_prefix || { echo "wine-session: wineboot failed" >&2; exit 1; }

"$@"
