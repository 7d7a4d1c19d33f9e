#!/usr/bin/env bash
# Installs the Debian packages Quillet needs (those missing only) and builds it.
# Sourced by ./run and ./test.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLET_BUILD_DIR:-$top/build}

packages=(cmake g++ make qt6-base-dev libexpat1-dev libssl-dev python3 python3-xlrd gnumeric libreoffice-calc-nogui libxlsxwriter-dev
          xvfb xauth fonts-noto-cjk $*)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"
