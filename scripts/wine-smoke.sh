#!/usr/bin/env bash
# Builds VornNetwork.dll and Sonvar.dll with mingw-w64, checks their exports and imports,
# and smoke-tests them under Wine, headless, in a private Wine prefix made for the run:
# regsvr32 and regsvr32 /u with the registry checked, the COM object and its type library,
# Sonvar playing a WAV to its end, a process exiting cleanly once it has closed its players,
# and each DLL freed 20 times. Every program runs under a time limit: a hang is a failure.
# Without Wine or mingw-w64 the script fails.
#   scripts/wine-smoke.sh [build-dir]        (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${1:-build-windows}
limit=${WINE_SMOKE_TIMEOUT:-120}

wine=${WINE:-}
if [[ -z $wine ]]; then
    for candidate in wine64 /usr/lib/wine/wine64 wine; do
        if command -v "$candidate" >/dev/null; then
            wine=$(command -v "$candidate")
            break
        fi
    done
fi
[[ -n $wine ]] || { echo "wine-smoke: no Wine (wine64) found" >&2; exit 1; }
wineserver=$(dirname "$wine")/wineserver
[[ -x $wineserver ]] || wineserver=$(command -v wineserver)

cmake -S . -B "$tree" -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake \
      -DWINDOWS_DELIVERABLES_ONLY=ON >/dev/null
cmake --build "$tree" -j"$(nproc)"
bash scripts/check-windows-dlls.sh "$tree"

# Everything stays local: no display, no sound device, no Mono or Gecko downloads.
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/wine-smoke.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

failed=0
# Runs a step under the time limit, from the build tree, and reports it.
step() {
    local name=$1 status=0
    shift
    (cd "$tree" && timeout "$limit" "$@") || status=$?
    if [[ $status == 0 ]]; then
        echo "wine-smoke: $name: passed"
    else
        [[ $status == 124 ]] && echo "wine-smoke: $name: hung (more than ${limit}s)" >&2
        echo "wine-smoke: $name: FAILED ($status)" >&2
        failed=1
    fi
}

timeout "$limit" "$wine" wineboot -i >/dev/null 2>&1 || { echo "wine-smoke: wineboot failed" >&2; exit 1; }
step "regsvr32 VornNetwork.dll" "$wine" regsvr32 /s VornNetwork.dll
step "VornNetwork registered" "$wine" vornnetwork_smoke.exe registered
step "regsvr32 /u VornNetwork.dll" "$wine" regsvr32 /s /u VornNetwork.dll
step "VornNetwork unregistered" "$wine" vornnetwork_smoke.exe unregistered
step "VornNetwork.dll freed 20 times" "$wine" vornnetwork_smoke.exe unload 20
step "Sonvar playing" "$wine" sonvar_smoke.exe
step "Sonvar exits once its players are closed" "$wine" sonvar_smoke.exe exit closed
step "Sonvar.dll freed 20 times while players start" "$wine" sonvar_unload.exe 20
exit $failed
