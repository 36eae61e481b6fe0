#!/usr/bin/env bash
# The test command: installs what is missing, builds every preset, runs every test.
# INSTDLL_FUZZ_SECONDS sets how long each fuzz target runs (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh host win32 win64
scripts/fuzz.sh "${INSTDLL_FUZZ_SECONDS:-60}"
scripts/wine-session.sh ctest --test-dir build/host --output-on-failure -j 2
