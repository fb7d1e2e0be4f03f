#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail
PACKAGES=(cmake g++ make qt6-base-dev qt6-charts-dev libgl-dev zlib1g-dev libxxhash-dev libsqlite3-dev pkg-config googletest libgtest-dev
          unzip zip trash-cli poppler-utils python3 xvfb desktop-file-utils appstream
          fonts-dejavu-core qt6-wayland weston lintian qt6-image-formats-plugins
          rapidjson-dev ncdu gdu)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
