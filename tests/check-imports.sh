#!/usr/bin/env bash
# Checks that a built binary runs on the oldest Windows it supports: every function it imports
# is on the committed list of what that version offers, and its PE header asks for no newer
# subsystem or operating system.
# Usage: check-imports.sh BINARY ALLOWED_LIST MAJOR.MINOR
# ALLOWED_LIST holds one "dll function" pair a line, the DLL in lower case; # starts a comment.
set -euo pipefail
(($# == 3)) || { echo "usage: $0 BINARY ALLOWED_LIST MAJOR.MINOR" >&2; exit 2; }
binary=$1 list=$2 version=$3
[ -f "$binary" ] || { echo "missing: $binary" >&2; exit 1; }
[ -f "$list" ] || { echo "missing: $list" >&2; exit 1; }
# The binutils' output is parsed: untranslated, whatever the session's locale.
export LC_ALL=C
dump=$(x86_64-w64-mingw32-objdump -p "$binary")
status=0

header_field() { echo "$dump" | sed -n "s/^$1[[:space:]]*\([0-9]*\).*/\1/p"; }
for field in Subsystem OSystem; do
    found="$(header_field "Major${field}Version").$(header_field "Minor${field}Version")"
    if [ "$found" != "$version" ]; then
        echo "$binary: PE header's $field version is $found, expected $version" >&2
        status=1
    fi
done

# Each "DLL Name:" starts a table whose rows are "<hint-rva> <hint> <name>"; a row imported
# by ordinal has no name and counts as "dll #ordinal".
imports=$(echo "$dump" | awk '
    /^[[:space:]]*DLL Name:/ { dll = tolower($3); next }
    dll != "" && /^[[:space:]]*$/ { dll = ""; next }
    dll != "" && $1 ~ /^[0-9a-f]+$/ && NF >= 3 { print dll, $3; next }
    dll != "" && /<none>/ { print dll, "#" $2 }' | sort -u)
# Every binary here imports from kernel32 at least: a parse that finds nothing read the wrong text.
[ -n "$imports" ] || { echo "$binary: no imports found in objdump's output" >&2; exit 1; }
allowed=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$list" | awk '{print tolower($1), $2}' | sort -u)
unlisted=$(comm -23 <(echo "$imports") <(echo "$allowed"))
if [ -n "$unlisted" ]; then
    echo "$binary imports what $list does not allow for Windows $version:" >&2
    echo "$unlisted" | sed 's/^/  /' >&2
    status=1
fi
((status == 0)) &&
    echo "$binary: $(echo "$imports" | wc -l) imports, all allowed for Windows $version"
exit $status
