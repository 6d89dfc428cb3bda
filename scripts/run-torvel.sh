#!/usr/bin/env bash
# Builds torvel and starts it on the shipped data.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target torvel -j"$(nproc)"
exec "$build/bin/torvel"
