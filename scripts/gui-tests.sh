#!/usr/bin/env bash
# The GUI tests of the real client: builds what they need unless it is up to date (the
# reference server and key tool from the native preset, the client and kpv-auto from the
# windows preset, in build/native and build/windows as the test command leaves them), then
# runs every case of gui-tests/cases under Xvfb and Wine. KPV_NATIVE_BUILD and
# KPV_WINDOWS_BUILD name other build folders. Prints one line per case and
# "N passed, M failed"; exits non-zero on any failure. Extra arguments name single cases.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

build() { # preset folder targets...
    local preset=$1 folder=$2
    shift 2
    [ -f "$folder/build.ninja" ] || cmake --preset "$preset" -B "$folder" >/dev/null
    cmake --build "$folder" -j 2 --target "$@" >"$folder/gui-tests-build.log" 2>&1 || {
        tail -n 30 "$folder/gui-tests-build.log" >&2
        echo "gui-tests: building $* ($preset) failed" >&2
        exit 1
    }
}
native=${KPV_NATIVE_BUILD:-build/native}
windows=${KPV_WINDOWS_BUILD:-build/windows}
build native "$native" kpv-server kpv-keytool
build windows "$windows" kopiavakt kpv-auto

export KPV_SERVER=$native/tools/kpv-server
export KPV_KEYTOOL=$native/tools/kpv-keytool
export KPV_CLIENT_EXE=$windows/app/win32/kopiavakt.exe
export KPV_AUTO_EXE=$windows/gui-tests/kpv-auto.exe
exec bash gui-tests/run-all.sh "$@"
