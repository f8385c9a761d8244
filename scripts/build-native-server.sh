#!/bin/sh
# Brings the native kpv-server up to date for the tests of a cross build, which run under Wine
# and reach it on loopback. Configures the native preset first when its build folder is new.
set -eu
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$build/CMakeCache.txt" ]; then
    if [ "$build" != "$root/build/native" ]; then
        echo "build-native-server.sh: $build is not configured" >&2
        exit 1
    fi
    (cd "$root" && cmake --preset native >/dev/null)
fi
cmake --build "$build" --target kpv-server
