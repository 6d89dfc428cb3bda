#!/usr/bin/env bash
# Builds Sonvar with ThreadSanitizer and runs the stress test: threads giving
# random commands to many players.
# usage: scripts/tsan-stress.sh [SECONDS]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tsan -G Ninja -DENABLE_TSAN=ON -DBUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-tsan --target sonvar_stress Sonvar -j"$(nproc)"

# GLib, GStreamer and its plugins are not built with ThreadSanitizer: what they do
# themselves (allocation, memcpy, their own locks and atomics) is left out, one
# called_from_lib entry per library, each naming exactly one (ThreadSanitizer takes at most
# 128). Our own functions stay checked, also when GStreamer's streaming threads call them.
plugins=$(pkg-config --variable=pluginsdir gstreamer-1.0)
libraries=$(pkg-config --variable=libdir gstreamer-1.0)
suppressions=build-tsan/tsan.supp
{
  cat sonvar/tests/tsan.supp
  for library in "$plugins"/*.so "$libraries"/libgst*-1.0.so.0 "$libraries"/libglib-2.0.so.0 \
    "$libraries"/libgobject-2.0.so.0 "$libraries"/libgio-2.0.so.0 "$libraries"/libgmodule-2.0.so.0 \
    "$libraries"/liborc-0.4.so.0; do
    echo "called_from_lib:$(basename "$library")"
  done
} >"$suppressions"

# GLib's slice allocator hides memory reuse from ThreadSanitizer; plain malloc does not.
SONVAR_STRESS_SECONDS=${1:-20} G_SLICE=always-malloc \
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/$suppressions" \
  build-tsan/sonvar/tests/sonvar_stress
