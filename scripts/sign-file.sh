#!/usr/bin/env bash
# Signs one Windows file (exe, installer, uninstaller) in place with an Authenticode signature
# made by Debian's osslsigncode. scripts/release.sh --sign sets what it needs:
#   KPV_SIGN_CERT           the PKCS#12 file (.pfx) holding the certificate and its key
#   KPV_SIGN_PASSWORD_FILE  a file holding the key's password, or else
#   KPV_SIGN_PASSWORD       the password itself (handed over on standard input, never as an
#                           argument, so it shows in no process list)
#   KPV_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server (optional)
#
#   sign-file.sh FILE
set -euo pipefail
file=$1
: "${KPV_SIGN_CERT:?sign-file: KPV_SIGN_CERT names no certificate}"

args=(sign -pkcs12 "$KPV_SIGN_CERT" -h sha256 -n Kopiavakt -in "$file" -out "$file.signed")
[ -z "${KPV_SIGN_TIMESTAMP_URL:-}" ] || args+=(-ts "$KPV_SIGN_TIMESTAMP_URL")
rm -f "$file.signed"
if [ -n "${KPV_SIGN_PASSWORD_FILE:-}" ]; then
    osslsigncode "${args[@]}" -readpass "$KPV_SIGN_PASSWORD_FILE" </dev/null
else
    printf '%s' "${KPV_SIGN_PASSWORD:-}" | osslsigncode "${args[@]}" -readpass -
fi >"$file.sign.log" 2>&1 || {
    cat "$file.sign.log" >&2
    rm -f "$file.signed" "$file.sign.log"
    echo "sign-file: could not sign $file" >&2
    exit 1
}
rm -f "$file.sign.log"
mv -f "$file.signed" "$file"
