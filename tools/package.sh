#!/usr/bin/env bash
# Builds the Debian package velmont-sorbel_VERSION_amd64.deb with CPack from
# a build folder (default build, configured here when it is not yet) and
# prints its path.
# usage: bash tools/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bash tools/install-deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORBEL_TESTS=OFF -DSORBEL_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target sorbel sorbel_sqlite velmont-sorbel manpages debian_changelog
# Only the install rules' files go in; CPack writes into its own folder.
(cd "$build" && cpack -G DEB -B "$PWD/package" >/dev/null)
ls "$build"/package/velmont-sorbel_*_amd64.deb
