#!/usr/bin/env bash
# Fails when the DLL's link map shows a runtime object that module/lean_runtime.cpp keeps out: a
# new call into the runtime, or a runtime whose names changed, made the stand-ins miss. The DLL,
# when given, is removed so that the next build links again.
# Usage: check-lean-runtime.sh MAP [DLL]
set -euo pipefail
map=$1
dll=${2:-}
kept_out='libstdc\+\+\.a\((string-inst|functexcept|vterminate)\.o\)$'
# In the map's first part, an archive member's line is followed by what made the link take it.
linked=$(grep -E -A 1 "^[^ ].*$kept_out" "$map" || true)
[ -z "$linked" ] && exit 0
echo "module/lean_runtime.cpp: the DLL links a runtime object that this file stands in for;" >&2
echo "instantiate or wrap there what the reference below needs (docs/runtime.md):" >&2
echo "$linked" >&2
[ -z "$dll" ] || rm -f "$dll"
exit 1
