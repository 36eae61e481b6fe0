#!/usr/bin/env bash
# Unpacks the pinned Inno Setup compiler (ISCC.exe, Setup.e32, SetupLdr.e32 and what they load,
# unmodified, from the npm registry's innosetup package) into the folder given. The package is
# fetched once with npm, from npm's configured registry, into a cache beside the 32-bit guest's
# image, and checked against its pinned integrity every time it is used.
# Usage: inno-compiler.sh FOLDER
# INSTDLL_INNO_CACHE: where the package is kept (default /var/cache/instdll/innosetup).
set -euo pipefail
(($# == 1)) || { echo "usage: inno-compiler.sh FOLDER" >&2; exit 2; }
folder=$1
version=6.4.1
integrity=sha512-Bh/dNlyyFsFKBGoTf19n1msPnm4Njfb0CWVirw2CV1MSJXYy0ajRI+xjo/Yr9DtZFLLafhnwm1ZsxTu309F8lQ==
cache=${INSTDLL_INNO_CACHE:-/var/cache/instdll/innosetup}
package=$cache/innosetup-$version.tgz

fail() {
    echo "inno-compiler: $*" >&2
    exit 1
}
integrity_of() {
    echo "sha512-$(openssl dgst -sha512 -binary "$1" | base64 -w 0)"
}

# Fetched under a lock, into a temporary folder renamed when checked: a session that starts
# meanwhile waits, and none sees half a package.
if [ ! -f "$package" ]; then
    command -v npm >/dev/null || fail "npm is missing (scripts/install-deps.sh)"
    mkdir -p "$cache"
    exec {lock}>"$cache/.lock"
    flock "$lock"
    if [ ! -f "$package" ]; then
        fetch=$(mktemp -d "$cache/.fetch.XXXXXX")
        trap 'rm -rf "$fetch"' EXIT
        (cd "$fetch" && npm pack --loglevel=error "innosetup@$version" >/dev/null) ||
            fail "npm could not fetch innosetup@$version (its error above)"
        [ "$(integrity_of "$fetch/innosetup-$version.tgz")" = "$integrity" ] ||
            fail "innosetup@$version as fetched does not match its pinned integrity"
        mv "$fetch/innosetup-$version.tgz" "$package"
    fi
    exec {lock}>&-
fi
[ "$(integrity_of "$package")" = "$integrity" ] ||
    fail "$package does not match its pinned integrity; remove it to fetch it again"
mkdir -p "$folder"
tar -xzf "$package" -C "$folder" --strip-components=2 package/bin
