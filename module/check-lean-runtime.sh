#!/usr/bin/env bash
# Fails when the DLL's link map shows a runtime object that the build keeps out: the runtime's
# prebuilt std::string (string-inst.o), its throw helpers (functexcept.o) or its terminate handler
# (vterminate.o). The DLL, when given, is removed so that the next build links again.
# Usage: check-lean-runtime.sh MAP [DLL]
set -euo pipefail
map=$1
dll=${2:-}
kept_out='libstdc\+\+\.a\((string-inst|functexcept|vterminate)\.o\)$'
# In the map's first part, an archive member's line is followed by what made the link take it.
linked=$(grep -E -A 1 "^[^ ].*$kept_out" "$map" || true)
[ -z "$linked" ] && exit 0
cat >&2 <<MESSAGE
The DLL links a runtime object that the build keeps out (docs/runtime.md):
- string-inst.o: a file compiled below C++20, or a runtime whose headers declare std::string's
  extern template again; or a call into a part of the runtime that uses std::string: make the
  caller do without it.
- functexcept.o, vterminate.o: a runtime helper that module/lean_runtime.cpp does not redirect;
  add its symbol to the --wrap list in module/CMakeLists.txt and a stand-in to that file.
What made the link take it:
$linked
MESSAGE
[ -z "$dll" ] || rm -f "$dll"
exit 1
