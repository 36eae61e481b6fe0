#!/usr/bin/env bash
# The main job: builds both DLLs and the demo setup, then, in a fresh Wine prefix, imports the
# sample registry, runs the setup silently and prints each call's result and the registry before
# and after. With --x86, the setup and the DLL as they ship, 32-bit, in scripts/x86-session.sh,
# and beside it the same setup in Inno Setup (examples/setup.iss), compiled and run there.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh win32 win64
echo "Built: build/win32/bin/InstDLL.dll (shipping, 32-bit), build/win64/bin/InstDLL.dll"
echo
if [ "${1:-}" = --x86 ]; then
    scripts/x86-session.sh bash -c \
        'examples/run-demo.sh build/win32/demo/setup-silent.exe && echo && examples/run-inno-demo.sh'
else
    scripts/wine-session.sh examples/run-demo.sh build/win64/demo/setup-silent.exe
fi
