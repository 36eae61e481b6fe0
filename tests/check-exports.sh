#!/usr/bin/env bash
# Checks a built InstDLL.dll: exactly the ten exports, undecorated, ordinals 1-10 in alphabetical
# order, and imports from Windows system DLLs only (the runtime is linked in).
set -euo pipefail
dll=$1
[ -f "$dll" ] || { echo "missing: $dll" >&2; exit 1; }
# In English whatever the locale: the table headings are what is parsed.
dump=$(LC_ALL=C x86_64-w64-mingw32-objdump -p "$dll")

expected="1 CheckPrivileges
2 FindISUInCatalog
3 InitV7Info
4 RegDBAddToTitles
5 RegDBDeleteValue
6 RemoveAllInCatExcept
7 SelectCatalog
8 SelectCatalogEng
9 SelectCatalogUkr
10 WriteUserParams"
# The export address table lists "[ordinal] name" once per export.
actual=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*\(.*\)$/\1 \2/p' |
    awk '{print $1 + 1, $2}' | sort -n)
base=$(echo "$dump" | sed -n 's/^Ordinal Base[[:space:]]*\([0-9]*\).*/\1/p')
if [ "$base" != 1 ]; then
    echo "ordinal base is '$base', expected 1" >&2
    exit 1
fi
if [ "$actual" != "$expected" ]; then
    echo "export table differs:" >&2
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    exit 1
fi

allowed='^(KERNEL32|USER32|ADVAPI32|COMDLG32|GDI32|SHELL32|msvcrt|ntdll|api-ms-win-[a-z0-9-]*)\.dll$'
imports=$(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$imports" ] || { echo "$dll: no imported DLL found in objdump's output" >&2; exit 1; }
bad=$(echo "$imports" | grep -v -i -E "$allowed" || true)
if [ -n "$bad" ]; then
    echo "imports from non-system DLLs: $bad" >&2
    exit 1
fi
echo "exports and imports of $dll are as shipped: $(echo $imports)"
