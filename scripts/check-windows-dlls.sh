#!/usr/bin/env bash
# Checks the Windows DLLs of a mingw-w64 build tree: each exports exactly its designed
# entry points and imports only system DLLs.
#   scripts/check-windows-dlls.sh build-windows
set -euo pipefail
tree=${1:?usage: $0 <mingw build tree>}
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
system_dlls='^(ADVAPI32|KERNEL32|msvcrt|ole32|OLEAUT32|USER32)\.dll$'

failed=0
check() {
    local dll=$tree/$1 expected=$2 dump exports imports
    dump=$("$objdump" -p "$dll")
    exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
              sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | paste -sd' ')
    imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
    if [[ $exports != "$expected" ]]; then
        echo "$1 exports '$exports', expected '$expected'" >&2
        failed=1
    fi
    if [[ -z $imports ]] || grep -Evq "$system_dlls" <<<"$imports"; then
        echo "$1 imports a DLL that is not a system DLL:" $imports >&2
        failed=1
    fi
}
check VornNetwork.dll "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer"
check Sonvar.dll "ISonvar_object"
[[ $failed == 0 ]] && echo "exports and imports as designed"
exit $failed
