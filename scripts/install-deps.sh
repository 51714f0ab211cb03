#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need (run as root).
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config
  libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
  libftdi1-dev gputils
  qt6-base-dev qt6-charts-dev qt6-translations-l10n libjpeg62-turbo-dev xvfb xauth
  libsimpleini-dev libsqlite3-dev libpq-dev postgresql
  help2man man-db dpkg-dev file lintian
  libssl-dev
  gpsim gpsim-dev libglib2.0-dev
  chromium
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
