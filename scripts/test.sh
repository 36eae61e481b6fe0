#!/usr/bin/env bash
# The test command: installs what is missing, builds every preset, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh host win32 win64
scripts/wine-session.sh ctest --test-dir build/host --output-on-failure -j 2
