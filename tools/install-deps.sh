#!/usr/bin/env bash
# Installs what building and testing need on Debian 12; does nothing when all is there.
set -euo pipefail
# qt6-base-dev brings Qt 6 Widgets and Test and, through libqt6gui6, the
# offscreen platform plugin the GUI tests run on; fonts-dejavu-core gives
# the offscreen windows a font to draw with.
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev clang libclang-rt-14-dev
          qt6-base-dev fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
