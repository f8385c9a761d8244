#!/usr/bin/env bash
# Makes the demo data for trying the client against kpv-server:
#   OUT/accounts.json      the server's accounts: Kontoret (fresh copy), Sommarstugan (latest
#                          copy 10 days old) and "Lagret – fel nyckel" (the server seals with
#                          another key than the client holds, so its status cannot be opened),
#                          plus account 1004 "Nytt konto", which the client does not know yet
#   OUT/account_list.bin   the client's account list with the first three accounts
#   OUT/demo.ulf           the same list as a user list, for trying the import
#   OUT/nytt-konto.rlf     the remote log file of account 1004, for trying "add account"
# usage: demo/make-demo.sh OUT [KPV_KEYTOOL]   (default keytool: build/native/tools/kpv-keytool)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:?usage: make-demo.sh OUT [KPV_KEYTOOL]}
keytool=${2:-$here/../build/native/tools/kpv-keytool}
[ -x "$keytool" ] || { echo "make-demo: no kpv-keytool at $keytool (build the native preset)" >&2; exit 1; }

mkdir -p "$out"
cp "$here/accounts.json" "$out/accounts.json"
chmod 600 "$out/accounts.json"
"$keytool" userlist --out "$out/account_list.bin" --from-accounts "$out/accounts.json"
cp "$out/account_list.bin" "$out/demo.ulf"
"$keytool" account --id 1004 --name "Nytt konto" --rlf "$out/nytt-konto.rlf" \
  --accounts "$out/accounts.json" --age 1800 --files 512 --total-size 734003200 \
  --exclude "pagefile.sys" --disk-space 21474836480 --stored-copies 3 --copies-made 3
echo "make-demo: demo data in $out"
