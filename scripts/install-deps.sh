#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent: does nothing when all packages are already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git python3
  clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev libgl-dev qt6-translations-l10n
  libpugixml-dev
  libcurl4-openssl-dev
  libmspack-dev gcab
  libenet-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-tools
  mingw-w64-tools
  g++-mingw-w64-x86-64-posix wine64
  fonts-liberation fonts-dejavu-core
  poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
