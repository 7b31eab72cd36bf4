#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
set -euo pipefail
PACKAGES=(
  cmake g++ make pkg-config git ccache clang-format
  qt6-base-dev qt6-webengine-dev qt6-svg-dev libqt6svg6 libgl-dev
  libsqlcipher-dev libssl-dev sqlcipher
  libgsf-1-dev liborcus-dev libxlsxwriter-dev libexpat1-dev
  python3 python3-xlrd python3-icalendar gnumeric dbus
  xvfb xauth fonts-wqy-microhei poppler-utils libxcb1-dev
  qt6-translations-l10n
  desktop-file-utils appstream dpkg-dev file lintian
)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
