#!/usr/bin/env bash
# Builds a release of the Windows client from a clean tree: the committed HEAD is exported
# with git archive into a temporary folder and built there with the windows-release preset
# (optimised for size, stripped), so nothing uncommitted and no old build output gets in.
#
#   scripts/release.sh [OUTPUT_FOLDER] [-DNAME=VALUE ...]
#
# OUTPUT_FOLDER (default build/release) receives kopiavakt-<version>-setup.exe,
# kopiavakt-<version>-portable.zip and SHA256SUMS; the checksums are printed as well.
# Further arguments go to CMake, e.g. -DKPV_SERVER_HOST=backup.example.org for a deployment's
# own monitoring server, or -DKPV_PUBLISHER="IT-avdelningen".
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

out=build/release
if [ $# -gt 0 ] && [[ $1 != -* ]]; then
    out=$1
    shift
fi
mkdir -p "$out"
out=$(realpath "$out")

bash scripts/setup.sh

commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "release: note: the working tree has uncommitted changes; they are not in this release"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kopiavakt-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
git archive --format=tar "$commit" | tar -x -C "$work/src"

log=$out/release-build.log
echo "release: building $commit in a clean tree (log: $log)"
if ! { cmake -S "$work/src" -B "$work/build" --preset windows-release "$@" &&
    cmake --build "$work/build" -j 2 --target kopiavakt-installer kopiavakt-zip; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "release: the build failed" >&2
    exit 1
fi

cache=$work/build/CMakeCache.txt
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cache")
host=$(sed -n 's/^KPV_SERVER_HOST:STRING=//p' "$cache")
setup=kopiavakt-$version-setup.exe
zip=kopiavakt-$version-portable.zip
cp "$work/build/installer/$setup" "$work/build/installer/$zip" "$out/"
(cd "$out" && sha256sum "$setup" "$zip" >SHA256SUMS)

echo "release: Kopiavakt $version, commit $commit, server host \"$host\""
echo "release: in $out:"
cat "$out/SHA256SUMS"
