#!/usr/bin/env bash
# Installs the kit from a build, builds the outside game against the installed kit alone
# (pkg-config), registers VornNetwork with the kit's regsvr32 and runs the game, which must
# exit with status 0.
# usage: tests/outside_game/run.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
kit=$work/kit

cmake --install "$build" --prefix "$kit" >/dev/null

# The kit's header is what its IDL, with the kit's base IDL files, generates (the first
# line names the source path).
widl=$(command -v x86_64-w64-mingw32-widl || command -v widl)
"$widl" --win64 -h -I "$kit/include/standin" -o "$work/VornNetwork.h" \
  "$kit/include/vornnetwork/VornNetwork.idl"
if ! diff <(tail -n +2 "$work/VornNetwork.h") <(tail -n +2 "$kit/include/vornnetwork/VornNetwork.h"); then
  echo "outside game: the kit's VornNetwork.h is not what its VornNetwork.idl generates" >&2
  exit 1
fi
export PKG_CONFIG_PATH=$kit/lib/pkgconfig
# shellcheck disable=SC2046
g++ -std=c++20 -Wall -Wextra -O1 -o "$work/outside_game" tests/outside_game/outside_game.cpp \
  $(pkg-config --cflags --libs sonvar vornnetwork)

export VORN_REGISTRY_FILE=$work/registry DPLAY_LOOPBACK_ONLY=1 DPLAY_ENUM_ADDRESS=127.255.255.255
"$(pkg-config --variable=regsvr32 vornnetwork)" /s "$(pkg-config --variable=library vornnetwork)"
mkdir "$work/run"
status=0
timeout 60 "$work/outside_game" "$(pkg-config --variable=library sonvar)" "$work/run" || status=$?
if [ "$status" -ne 0 ]; then
  echo "outside game: FAILED, exit status $status" >&2
  exit 1
fi
echo "outside game: passed"
