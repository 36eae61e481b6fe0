#!/usr/bin/env bash
# Configures and builds the given presets (default: all three).
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
((${#presets[@]} > 0)) || presets=(host win32 win64)
for preset in "${presets[@]}"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
done
