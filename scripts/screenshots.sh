#!/usr/bin/env bash
# Takes a PNG of the directory chooser in each language under Xvfb: docs/chooser-<lang>.png.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-path.sh
scripts/install-deps.sh
scripts/build.sh win64

take_screenshots() {
    # Without a window manager on the display, Wine draws the title bars itself.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
    "$WINESERVER" -w
    local bin=build/win64/bin
    for entry in 0:ru 1:en 2:uk; do
        local language=${entry%%:*} name=${entry#*:}
        local handshake
        handshake=$(mktemp -d /tmp/instdll-screenshot.XXXXXX)
        local folder
        folder=$(windows_path "$handshake")
        (cd "$bin" && exec "$WINE" chooser_screenshot.exe "$language" "$folder") &
        local program=$!
        local waited=0
        until [ -f "$handshake/ready" ]; do
            if ((waited >= 600)) || ! kill -0 "$program" 2>/dev/null; then
                echo "screenshots: the $name chooser did not appear" >&2
                kill "$program" 2>/dev/null || true
                rm -rf "$handshake"
                return 1
            fi
            sleep 0.1
            waited=$((waited + 1))
        done
        local left top right bottom
        read -r left top right bottom <"$handshake/ready"
        import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
            "docs/chooser-$name.png"
        touch "$handshake/done"
        wait "$program"
        rm -rf "$handshake"
        echo "docs/chooser-$name.png: $((right - left))x$((bottom - top))"
    done
}
mkdir -p docs
export -f take_screenshots windows_path
scripts/wine-session.sh bash -c take_screenshots
