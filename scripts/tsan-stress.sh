#!/usr/bin/env bash
# Builds Sonvar with ThreadSanitizer and runs the stress test: threads giving
# random commands to many players.
# usage: scripts/tsan-stress.sh [SECONDS]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tsan -G Ninja -DENABLE_TSAN=ON -DBUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-tsan --target sonvar_stress Sonvar -j"$(nproc)"
# GLib's slice allocator hides memory reuse from ThreadSanitizer; plain malloc does not.
SONVAR_STRESS_SECONDS=${1:-20} G_SLICE=always-malloc \
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/sonvar/tests/tsan.supp" \
  build-tsan/sonvar/tests/sonvar_stress
