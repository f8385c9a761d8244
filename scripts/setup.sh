#!/usr/bin/env bash
# Installs everything that building, testing and running Kopiavakt needs, from Debian's
# packages. Idempotent and quiet; quick when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format
  doctest-dev libbenchmark-dev libssl-dev openssl nlohmann-json3-dev
  g++-mingw-w64-x86-64 wine wine64
  xvfb xdotool imagemagick nsis zip osslsigncode 7zip
  libmagickcore-6.q16-6-extra
  python3 python3-pytest python3-pytest-timeout python3-prometheus-client procps
  shellcheck libcli11-dev
  wixl msitools python3-yaml python3-aiosmtpd
  iproute2 locales util-linux
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi
