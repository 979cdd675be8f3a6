#!/usr/bin/env bash
# Installs the Debian packages the project needs to build and test, when any is missing.
set -euo pipefail

packages=(
  build-essential cmake g++ clang lld binutils
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev libtiff-dev
  libcairo2-dev libfontconfig-dev fonts-dejavu-core poppler-utils pkg-config
  libpoppler-glib-dev libjpeg-dev libncurses-dev libvterm-dev
  # the fax engine (T.30 and its modems)
  libspandsp-dev
  # tests and the fax pages benchmark only
  libtiff-tools ghostscript
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
