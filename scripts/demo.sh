#!/usr/bin/env bash
# The main job: builds both DLLs and the demo setup, then, in a fresh Wine prefix, imports the
# sample registry, runs the setup silently and prints each call's result and the registry before
# and after.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh win32 win64
echo "Built: build/win32/bin/InstDLL.dll (shipping, 32-bit), build/win64/bin/InstDLL.dll"
echo
scripts/wine-session.sh examples/run-demo.sh build/win64/demo/setup-silent.exe
