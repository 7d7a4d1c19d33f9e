#!/usr/bin/env bash
# Installs the Debian packages Quillet needs (those missing only) and builds it.
# Sourced by ./run and ./test, which set quillet_purpose to "run" or "test":
# running needs the build and run-time packages, testing those and the tools
# the tests read workbooks back with.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLET_BUILD_DIR:-$top/build}

run_packages=(cmake g++ make qt6-base-dev qt6-translations-l10n libexpat1-dev libssl-dev libxlsxwriter-dev libgsf-1-dev
              xvfb xauth fonts-noto-cjk)
test_packages=(python3 python3-xlrd python3-openpyxl python3-xlwt python3-lxml gnumeric libreoffice-calc-nogui)

packages=("${run_packages[@]}")
[ "${quillet_purpose:-test}" = run ] || packages+=("${test_packages[@]}")
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
