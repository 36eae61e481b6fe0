#!/usr/bin/env bash
# Inside a Wine session: imports the sample registry, runs the demo setup silently and prints
# what each call returned and the family's registry before and after.
# Usage: run-demo.sh SETUP_EXE [AFTER_DUMP_FILE]
set -euo pipefail
setup=$(realpath "$1")
after_file=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
WINE=${WINE:-/usr/lib/wine/wine64}

family_registry() {
    local uninstall='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
    "$WINE" reg query 'HKLM\SOFTWARE\Zk' /s 2>/dev/null | tr -d '\r' | sed '/^$/d' || true
    "$WINE" reg query "$uninstall" 2>/dev/null | tr -d '\r' | grep -i -E '\\(Zk:|OtherApp)' |
        while read -r key; do
            "$WINE" reg query "$key" 2>/dev/null | tr -d '\r' | sed '/^$/d'
        done
    "$WINE" reg query 'HKCU\Software\Zk' /s 2>/dev/null | tr -d '\r' | sed '/^$/d' || true
}

# One line per value, prefixed by its key, so that a change reads on its own.
flatten() {
    awk '/^HKEY_/ { key = $0; print key; next } { sub(/^ +/, ""); print key ": " $0 }'
}

"$WINE" regedit /S "$("$WINE" winepath -w "$here/sample-registry.reg" 2>/dev/null | tr -d '\r')"
before=$(family_registry)

work=$(mktemp -d /tmp/instdll-demo.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$setup" "$work/setup.exe"
"$WINE" "$work/setup.exe" /S
after=$(family_registry)

echo "== The family's registry before the setup"
echo "$before"
echo
echo "== What the setup's calls returned"
tr -d '\r' <"$work/setup-results.txt"
echo
echo "== The family's registry after the setup"
echo "$after"
echo
echo "== What changed (- before, + after)"
changes=$({ diff <(echo "$before" | flatten) <(echo "$after" | flatten) || true; } |
    sed -n 's/^< /- /p; s/^> /+ /p')
echo "${changes:-(nothing)}"
[ -z "$after_file" ] || echo "$after" >"$after_file"
