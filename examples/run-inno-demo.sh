#!/usr/bin/env bash
# Inside a 32-bit Wine session: compiles setup.iss, the demo setup in Inno Setup, with the real
# compiler around the shipping DLL and runs it as run-demo.sh runs the NSIS one.
# Usage: run-inno-demo.sh [AFTER_DUMP_FILE]
# INSTDLL_DLL: the DLL (default build/win32/bin/InstDLL.dll); INSTDLL_INNO: the compiler's folder
# (default build/innosetup, where scripts/x86-session.sh puts it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dll=$(realpath "${INSTDLL_DLL:-$here/../build/win32/bin/InstDLL.dll}")
compiler=$(realpath "${INSTDLL_INNO:-$here/../build/innosetup}")
. "$here/family-registry.sh"
# Beside the build's programs, as the NSIS setup is, where run-demo.sh finds instdll-inspect.
out=$(dirname "$dll")/../inno-demo
mkdir -p "$out"
[ -f "$compiler/ISCC.exe" ] ||
    { echo "run-inno-demo: no Inno Setup compiler in $compiler (scripts/inno-compiler.sh)" >&2; exit 1; }
echo "== Compiling setup.iss with $compiler/ISCC.exe"
"$WINE" "$compiler/ISCC.exe" /Q "/DINSTDLL=$(windows_path "$dll")" "/O$(windows_path "$out")" \
    /Fsetup-silent "$(windows_path "$here/setup.iss")" 2>&1 | tr -d '\r'
[ -f "$out/setup-silent.exe" ] || { echo "run-inno-demo: the compiler made no setup" >&2; exit 1; }
echo
"$here/run-demo.sh" --inno "$out/setup-silent.exe" "$@"
