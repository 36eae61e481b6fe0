#!/usr/bin/env bash
# Runs a Wine test program inside the session that scripts/wine-session.sh set up. Without one
# (no WINEPREFIX, no display, no Wine), it fails: a Wine test never skips silently.
set -euo pipefail
program=$1
shift
WINE=${WINE:-/usr/lib/wine/wine64}
[ -x "$WINE" ] || { echo "run-in-wine: Wine ($WINE) is missing" >&2; exit 1; }
[ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] ||
    { echo "run-in-wine: no WINEPREFIX; run under scripts/wine-session.sh" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "run-in-wine: no DISPLAY; run under scripts/wine-session.sh" >&2; exit 1; }
[ -f "$program" ] || { echo "run-in-wine: $program was not built" >&2; exit 1; }
cd "$(dirname "$program")"
exec "$WINE" "$(basename "$program")" "$@"
