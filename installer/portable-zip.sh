#!/usr/bin/env bash
# Packs the portable zip from its staged folder so that the same files always give the same
# bytes: every entry dated SOURCE_DATE_EPOCH (in UTC, as zip stores local times), the same
# permissions whatever the umask, the entries in a fixed order and no extra fields (-X).
#
#   portable-zip.sh STAGE FOLDER OUTPUT EPOCH
set -euo pipefail
stage=$1 folder=$2 output=$3 epoch=$4
cd "$stage"
find "$folder" -type d -exec chmod 0755 {} +
find "$folder" -type f -exec chmod 0644 {} +
find "$folder" -exec touch -h -d "@$epoch" {} +
rm -f "$output"
find "$folder" | LC_ALL=C sort | TZ=UTC zip -X -9 -q -@ "$output"
