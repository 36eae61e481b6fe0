#!/usr/bin/env bash
# Inside a 64-bit Wine session (WINEARCH=win64): a 32-bit silent setup around the shipping DLL,
# run under WoW64 on a machine where the family is registered in the 32-bit view, as 32-bit setups
# registered it, and a copy of it in the native view. Read from the 64-bit side afterwards, the
# 32-bit view (HKLM\SOFTWARE\WOW6432Node) must hold what examples/expected-after.txt says, the
# current user's keys (one for both views) included, and the native copy must be untouched.
# Usage: wow64-views-test.sh SETUP_EXE (built from examples/setup.nsi, silent)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
setup=$(realpath "$1")
. "$here/examples/family-registry.sh"
[ "${WINEARCH:-}" = win64 ] && [[ $WINE == *64 ]] ||
    { echo "wow64-views-test: needs a 64-bit session and its 64-bit loader" >&2; exit 1; }
view32='HKLM\SOFTWARE\WOW6432Node'

work=$(mktemp -d /tmp/instdll-wow64.XXXXXX)
trap 'rm -rf "$work"' EXIT
remove_family_registry
remove_family_registry "$view32"
sed 's/^\[HKEY_LOCAL_MACHINE\\SOFTWARE\\/[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\/' \
    "$here/examples/sample-registry.reg" >"$work/sample-32-bit-view.reg"
for sample in "$here/examples/sample-registry.reg" "$work/sample-32-bit-view.reg"; do
    "$WINE" regedit /S "$(windows_path "$sample")"
done
native_machine() {
    family_registry | flatten | grep -v '^HKEY_CURRENT_USER'
}
native_before=$(native_machine)

cp "$setup" "$work/setup.exe"
"$WINE" "$work/setup.exe" /S
tr -d '\r' <"$work/setup-results.txt"

# The 32-bit view named as the 32-bit DLL names it, for the expected listing.
family_registry "$view32" | sed 's/^\(HKEY_LOCAL_MACHINE\\SOFTWARE\)\\WOW6432Node\\/\1\\/I' \
    >"$work/after.txt"
failed=0
diff -u "$here/examples/expected-after.txt" "$work/after.txt" ||
    { echo "the 32-bit view, read from the 64-bit side, is not as expected" >&2; failed=1; }
diff -u <(echo "$native_before") <(native_machine) ||
    { echo "the setup changed the family's keys in the native view" >&2; failed=1; }
exit "$failed"
