#!/usr/bin/env bash
# Tests of scripts/release.sh on the committed HEAD (uncommitted changes are not in a release):
#   reproducible  two releases, built from different temporary folders (paths of different
#                 lengths) at different times, are byte for byte the same;
#   signed        a release signed with a throw-away self-signed certificate carries valid
#                 Authenticode signatures on the installer and every exe in it and in the zip
#                 (the uninstaller too), which without their signatures are the unsigned exe;
#                 signing with the password from a file works and a wrong password fails,
#                 leaving the file as it was.
# No network: no time-stamp server. Files in build/release-tests (or KPV_RELEASE_TESTS_OUT).
# Prints one line per check and exits 1 when any failed, 2 when a release could not be built.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
out=$(realpath -m "${KPV_RELEASE_TESTS_OUT:-build/release-tests}")
rm -rf "$out"
mkdir -p "$out/tmp" "$out/tmp-in-a-longer-folder" "$out/cert"
failures=0
pass() { echo "PASS $*"; }
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

release() { # NAME TMPDIR ARGS...
    local name=$1 tmp=$2
    shift 2
    TMPDIR=$tmp bash scripts/release.sh "$out/$name" "$@" >"$out/$name.log" 2>&1 || {
        tail -n 30 "$out/$name.log" >&2
        echo "release-tests: the release \"$name\" failed" >&2
        exit 2
    }
}
# unpack NAME: the release's installer (its payload and uninstaller) and zip, into NAME/unpacked.
unpack() {
    local dir=$out/$1/unpacked
    mkdir -p "$dir/setup" "$dir/zip"
    7zz x -y -o"$dir/setup" "$out/$1"/*-setup.exe >/dev/null && unzip -q "$out/$1"/*.zip -d "$dir/zip"
}
verify() { # FILE
    osslsigncode verify -CAfile "$out/cert/cert.pem" -in "$1" >"$1.verify" 2>&1 &&
        grep -q '^Signature verification: ok' "$1.verify"
}

# --- reproducible ---------------------------------------------------------------------------
release first "$out/tmp"
release second "$out/tmp-in-a-longer-folder"
same=1
for file in "$out/first"/*-setup.exe "$out/first"/*.zip "$out/first/SHA256SUMS"; do
    cmp -s "$file" "$out/second/${file##*/}" || {
        fail "reproducible: ${file##*/} differs between two builds of one commit"
        same=0
    }
done
[ $same = 0 ] || pass "reproducible: setup.exe, portable.zip and SHA256SUMS identical"

# --- signed ---------------------------------------------------------------------------------
password=throw-away-$RANDOM$RANDOM
(
    cd "$out/cert" &&
        openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
            -subj "/CN=Kopiavakt test signing" -addext extendedKeyUsage=codeSigning &&
        openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.pfx -passout "pass:$password" &&
        printf '%s\n' "$password" >password
) >"$out/cert/openssl.log" 2>&1 || {
    cat "$out/cert/openssl.log" >&2
    exit 2
}
KPV_SIGN_PASSWORD=$password release signed "$out/tmp" --sign "$out/cert/cert.pfx"
{ unpack signed && unpack first; } || fail "signed: cannot unpack the releases"
signed_ok=1
# Every exe: the installer, and the uninstaller and programs packed in the installer and zip.
signed_files=("$out/signed"/*-setup.exe)
mapfile -t -O 1 signed_files < <(find "$out/signed/unpacked" -name '*.exe' | sort)
[ ${#signed_files[@]} -ge 4 ] || fail "signed: only ${#signed_files[@]} exes found"
for file in "${signed_files[@]}"; do
    verify "$file" || {
        fail "signed: ${file#"$out/"} has no valid signature: $(cat "$file.verify")"
        signed_ok=0
    }
done
cmp -s "$out/signed/unpacked/setup/kopiavakt.exe" "$out/signed/unpacked/zip"/*/kopiavakt.exe || {
    fail "signed: the installer and the zip hold different exes"
    signed_ok=0
}
{ osslsigncode remove-signature -in "$out/signed/unpacked/setup/kopiavakt.exe" \
    -out "$out/signed/unsigned.exe" >/dev/null 2>&1 &&
    cmp -s "$out/signed/unsigned.exe" "$out/first/unpacked/setup/kopiavakt.exe"; } || {
    fail "signed: the signed exe without its signature differs from the unsigned build's"
    signed_ok=0
}
[ $signed_ok = 0 ] || pass "signed: installer, uninstaller and exes verify; signing changes nothing else"

# The password from a file; a wrong one fails and leaves the file unsigned.
exe=$out/first/unpacked/setup/kopiavakt.exe
cp "$exe" "$out/cert/by-file.exe"
cp "$exe" "$out/cert/wrong.exe"
printf 'wrong\n' >"$out/cert/wrong-password"
{ KPV_SIGN_CERT=$out/cert/cert.pfx KPV_SIGN_PASSWORD_FILE=$out/cert/password \
    scripts/sign-file.sh "$out/cert/by-file.exe" >"$out/cert/by-file.log" 2>&1 &&
    verify "$out/cert/by-file.exe"; } || fail "signed: signing with a password file: $(cat "$out/cert/by-file.log")"
if KPV_SIGN_CERT=$out/cert/cert.pfx KPV_SIGN_PASSWORD_FILE=$out/cert/wrong-password \
    scripts/sign-file.sh "$out/cert/wrong.exe" >"$out/cert/wrong.log" 2>&1; then
    fail "signed: a wrong password signed"
elif ! cmp -s "$exe" "$out/cert/wrong.exe" || [ -e "$out/cert/wrong.exe.signed" ]; then
    fail "signed: a failed signing changed the file or left a part behind"
else
    pass "signed: password file works, a wrong password fails"
fi

if [ "$failures" = 0 ]; then
    echo "release tests passed"
else
    echo "release tests: $failures failed"
    exit 1
fi
