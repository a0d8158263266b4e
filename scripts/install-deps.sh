#!/usr/bin/env bash
# Installs the Debian packages Corvana needs to build, test and be looked at.
# Does nothing (quickly) when every package is already installed.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config fontconfig
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n
  libsqlcipher-dev sqlcipher libcrypt-dev
  libxlsxwriter-dev
  postgresql libpq-dev
  libcanberra-dev
  qt6-httpserver-dev qt6-websockets-dev libssl-dev chromium nodejs
  fonts-wqy-microhei
  xvfb xauth xdotool imagemagick poppler-utils
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
