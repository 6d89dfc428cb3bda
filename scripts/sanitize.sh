#!/usr/bin/env bash
# Builds every program whose tests need no window with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan and runs those tests, with leak checking.
# usage: scripts/sanitize.sh   (SANITIZE_BUILD_DIR names another build folder)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SANITIZE_BUILD_DIR:-build-asan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENABLE_SANITIZERS=ON \
  -DBUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target headless_tests
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# GLib's slice allocator keeps its own pools; plain malloc lets leak checking see them.
export G_SLICE=always-malloc G_DEBUG=gc-friendly
# The programs that open windows are not built here; their tests stand as *_NOT_BUILT.
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j"$(nproc)" \
  -E '_NOT_BUILT$'
