#!/usr/bin/env bash
# Checks a shipped binary against its separate debug file: the binary is stripped, its debug link
# names BINARY.debug beside it with that file's CRC-32, and the debug file turns the address of
# one of the binary's own functions into that function and its source file.
# Usage: check-debug-file.sh BINARY FUNCTION SOURCE_FILE
# FUNCTION is an export of a DLL or, for a program, its entry symbol as the debug file names it.
set -euo pipefail
(($# == 3)) || { echo "usage: $0 BINARY FUNCTION SOURCE_FILE" >&2; exit 2; }
binary=$1 function=$2 source=$3
# The binutils' output is parsed: untranslated, whatever the session's locale.
export LC_ALL=C
debug=$binary.debug
for file in "$binary" "$debug"; do
    [ -f "$file" ] || { echo "missing: $file" >&2; exit 1; }
done
case $(x86_64-w64-mingw32-objdump -f "$binary" | sed -n 's/.*file format //p') in
    pei-i386) prefix=i686-w64-mingw32 ;;
    pei-x86-64) prefix=x86_64-w64-mingw32 ;;
    *) echo "$binary: not a Windows binary" >&2; exit 1 ;;
esac

if [ -n "$("$prefix-objdump" -h "$binary" | grep -E ' \.debug_' || true)" ]; then
    echo "$binary still carries debug sections" >&2
    exit 1
fi

# .gnu_debuglink: the file name, zero-padded to four bytes, then the CRC-32 little-endian.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
section=$scratch/debuglink
"$prefix-objcopy" --dump-section .gnu_debuglink="$section" "$binary" "$scratch/copy" 2>/dev/null || true
[ -s "$section" ] || { echo "$binary has no debug link" >&2; exit 1; }
name=$(head -c -4 "$section" | tr -d '\0')
crc=$(tail -c 4 "$section" | od -An -tx1 | tr -d ' \n')
# gzip's trailer holds the CRC-32 of its input in the same byte order.
expected_crc=$(gzip -c "$debug" | tail -c 8 | head -c 4 | od -An -tx1 | tr -d ' \n')
if [ "$name" != "$(basename "$debug")" ] || [ "$crc" != "$expected_crc" ]; then
    echo "$binary links '$name' with CRC $crc; expected $(basename "$debug") with CRC $expected_crc" >&2
    exit 1
fi

# The 32-bit symbols carry a leading underscore and, for __stdcall, an @ and the argument bytes.
address=$("$prefix-nm" "$debug" |
    awk -v f="$function" '{ s = $3; sub(/@[0-9]+$/, "", s) } (s == f || s == "_" f) && !found { print $1; found = 1 }')
[ -n "$address" ] || { echo "$debug has no symbol $function" >&2; exit 1; }
answer=$("$prefix-addr2line" -f -C -e "$debug" "0x$address" | tr '\n' ' ' | sed 's/^\([^ @]*\)@[0-9]* /\1 /')
case $answer in
    "$function "*"/$source:"[0-9]*) echo "$binary: 0x$address is $answer" ;;
    *) echo "$debug turns 0x$address ($function) into '$answer', expected $function in $source" >&2
       exit 1 ;;
esac
