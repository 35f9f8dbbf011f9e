#!/usr/bin/env bash
# Installs what building and testing need on Debian 12; does nothing when all is there.
set -euo pipefail
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
