#!/usr/bin/env bash
# Installs what is needed, builds, writes the demo database and shows it:
# in the desktop program where there is a display, else through the command line.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORBEL_TESTS=OFF
cmake --build build -j "$(nproc)"
mkdir -p demo
build/bin/sorbel_demo_db demo/demo.mdf
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== starting the desktop program on demo/demo.mdf"
  exec build/bin/velmont-sorbel --scan demo/demo.mdf
fi
echo "No display here: showing the demo database through the sorbel command."
echo "== the scan as the window runs it: Output pane lines, message boxes, caption, object tree"
build/bin/sorbel scan demo/demo.mdf
echo "== catalog"
build/bin/sorbel catalog demo/demo.mdf
echo "== rows of Customers"
build/bin/sorbel rows demo/demo.mdf Customers
echo "== the first rows of Orders (3,000 in all; every row is in demo/orders.csv)"
build/bin/sorbel rows demo/demo.mdf Orders > demo/orders.csv
head -n 12 demo/orders.csv
echo "== procedure OrdersByCustomer"
build/bin/sorbel module demo/demo.mdf OrdersByCustomer
echo
echo "On a machine with a display, the window opens on the same file with:"
echo "    build/bin/velmont-sorbel --scan demo/demo.mdf"
