#!/usr/bin/env bash
# Builds a release of the Windows client from a clean tree: the committed HEAD is exported
# with git archive into a temporary folder and built there with the windows-release preset
# (optimised for size, stripped), so nothing uncommitted and no old build output gets in.
#
#   scripts/release.sh [OUTPUT_FOLDER] [--sign CERT.pfx [--password-file FILE]
#                      [--timestamp URL]] [--download-url URL] [-DNAME=VALUE ...]
#
# OUTPUT_FOLDER (default build/release) receives kopiavakt-<version>-setup.exe (per user),
# kopiavakt-<version>.msi (per machine), kopiavakt-<version>-portable.zip, the group-policy
# template (admx/: kopiavakt.admx, en-US/ and sv-SE/kopiavakt.adml), the winget manifest
# (winget/) and SHA256SUMS; the checksums are printed as well. --download-url is where the
# installers will be published, for the manifest's installer addresses.
# Further arguments go to CMake, e.g. -DKPV_SERVER_HOST=backup.example.org for a deployment's
# own monitoring server, or -DKPV_PUBLISHER="IT-avdelningen".
#
# The build is reproducible: every time stamp is the commit's time (SOURCE_DATE_EPOCH), so the
# same commit and options give the same bytes on any machine with the same Debian packages.
#
# --sign signs kopiavakt.exe (and kopiavakt-check.exe when the build makes it), the uninstaller,
# the installer and the MSI with Authenticode (scripts/sign-file.sh). The key's password comes from
# --password-file or the environment variable KPV_SIGN_PASSWORD, never from the command line;
# --timestamp adds an RFC 3161 time stamp from that server. A signed release is not
# reproducible (a signature holds its own time); its unsigned twin is.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/release
if [ $# -gt 0 ] && [[ $1 != -* ]]; then
    out=$1
    shift
fi
cmake_args=()
sign_cert=
download_url=https://downloads.example.org/kopiavakt
while [ $# -gt 0 ]; do
    case $1 in
    --sign | --password-file | --timestamp | --download-url)
        [ $# -ge 2 ] || { echo "release: $1 needs a value" >&2; exit 2; }
        case $1 in
        --sign) sign_cert=$(realpath "$2") ;;
        --password-file)
            KPV_SIGN_PASSWORD_FILE=$(realpath "$2")
            export KPV_SIGN_PASSWORD_FILE
            ;;
        --timestamp) export KPV_SIGN_TIMESTAMP_URL=$2 ;;
        --download-url) download_url=$2 ;;
        esac
        shift 2
        ;;
    *)
        cmake_args+=("$1")
        shift
        ;;
    esac
done
if [ -n "$sign_cert" ]; then
    [ -r "$sign_cert" ] || { echo "release: cannot read $sign_cert" >&2; exit 2; }
    export KPV_SIGN_CERT=$sign_cert
elif [ -n "${KPV_SIGN_PASSWORD_FILE:-}${KPV_SIGN_TIMESTAMP_URL:-}" ]; then
    echo "release: --password-file and --timestamp go with --sign" >&2
    exit 2
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
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")

log=$out/release-build.log
build=$work/build
[ -z "$sign_cert" ] || cmake_args+=("-DKPV_SIGN_COMMAND=$work/src/scripts/sign-file.sh")
echo "release: building $commit in a clean tree (log: $log)"
# With --sign the exes are built and signed first, so that the installer and the zip pack the
# signed ones; makensis signs the uninstaller and the installer itself, build_msi.py the MSI.
sign_exes() {
    local target exe
    for target in kopiavakt kopiavakt-check; do
        ninja -C "$build" -t query "$target" >/dev/null 2>&1 || continue
        cmake --build "$build" -j 2 --target "$target" || return 1
        exe=$(find "$build" -name "$target.exe" -not -path '*/CMakeFiles/*' | head -n1)
        [ -n "$exe" ] || { echo "release: $target.exe not found" >&2; return 1; }
        echo "release: signing $target.exe"
        "$work/src/scripts/sign-file.sh" "$exe" || return 1
    done
}
if ! { cmake -S "$work/src" -B "$build" --preset windows-release "${cmake_args[@]}" &&
    { [ -z "$sign_cert" ] || sign_exes; } &&
    cmake --build "$build" -j 2 --target kopiavakt-installer kopiavakt-msi kopiavakt-zip; } \
    >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "release: the build failed" >&2
    exit 1
fi

cache=$work/build/CMakeCache.txt
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cache")
host=$(sed -n 's/^KPV_SERVER_HOST:STRING=//p' "$cache")
setup=kopiavakt-$version-setup.exe
zip=kopiavakt-$version-portable.zip
msi=kopiavakt-$version.msi
cp "$work/build/installer/$setup" "$work/build/installer/$msi" "$work/build/installer/$zip" "$out/"
rm -rf "$out/admx" "$out/winget"
cp -r "$work/src/installer/admx" "$out/admx"
product_code=$(msiinfo export "$out/$msi" Property | sed -n 's/^ProductCode\t//p' | tr -d '\r')
python3 "$work/src/installer/winget/make_manifest.py" --version "$version" \
    --publisher "$(sed -n 's/^KPV_PUBLISHER:STRING=//p' "$cache")" --msi "$out/$msi" \
    --product-code "$product_code" --setup "$out/$setup" --url-base "$download_url/$version" \
    --out "$out/winget"
(cd "$out" && sha256sum "$setup" "$msi" "$zip" admx/kopiavakt.admx admx/*/kopiavakt.adml \
    winget/*.yaml >SHA256SUMS)

echo "release: Kopiavakt $version, commit $commit, server host \"$host\"$([ -z "$sign_cert" ] || echo ", signed")"
echo "release: in $out:"
cat "$out/SHA256SUMS"
