#!/usr/bin/env bash
# Installs what is needed, builds, writes the demo database and shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORBEL_TESTS=OFF
cmake --build build -j "$(nproc)"
mkdir -p demo
build/bin/sorbel_demo_db demo/demo.mdf
build/bin/sorbel pages demo/demo.mdf
