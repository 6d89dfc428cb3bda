#!/usr/bin/env bash
# Builds the benchmarks, runs every one of them in turn, shows what each
# prints and ends with the "ratio NAME VALUE" lines of all of them (each a
# case over its baseline in the same run; bench/README.md says which way is
# better). Network traffic stays on 127.0.0.1.
#
#   scripts/bench.sh [BUILD_DIR]      (default: build)
#
# A build directory that does not exist yet is configured as RelWithDebInfo.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build=$root/$build

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
benches=(data_bench qualification_bench ui_bench sonvar_bench dplay_bench lobby_bench)
cmake --build "$build" --target "${benches[@]}" -j2

# Each benchmark's command line.
declare -A command=(
  [data_bench]="$build/bench/data_bench"
  [qualification_bench]="$build/bench/qualification_bench"
  [ui_bench]="env QT_QPA_PLATFORM=offscreen $build/bench/ui_bench"
  [sonvar_bench]="$build/bench/sonvar_bench"
  [dplay_bench]="$build/bench/dplay_bench"
  [lobby_bench]="$build/bench/lobby_bench $build/platform/com/regsvr32 \
$build/vornnetwork/libVornNetwork.so $build/vornnetwork/examples/vorn_lobby_demo"
)

# A benchmark that hangs (a port taken by another run, say) is ended after this.
limit=300

ratios=()
failed=()
for bench in "${benches[@]}"; do
  echo "=== $bench"
  output=$(mktemp)
  start=$SECONDS
  # shellcheck disable=SC2086 # the command lines are split on purpose
  if ! timeout "$limit" ${command[$bench]} 2>&1 | tee "$output"; then
    failed+=("$bench")
  fi
  echo "=== $bench: $((SECONDS - start)) s"
  while IFS= read -r line; do
    ratios+=("$line")
  done < <(grep -E '^ratio [A-Za-z0-9_]+ [0-9.]+$' "$output" || true)
  rm -f "$output"
done

echo
echo "=== ratios (times: lower is better; _throughput rates: higher is better)"
printf '%s\n' "${ratios[@]}"
if ((${#failed[@]})); then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
