#!/usr/bin/env bash
# Installs what is needed, builds, writes the demo database and shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORBEL_TESTS=OFF
cmake --build build -j "$(nproc)"
mkdir -p demo
build/bin/sorbel_demo_db demo/demo.mdf
echo "== catalog"
build/bin/sorbel catalog demo/demo.mdf
echo "== rows of Customers"
build/bin/sorbel rows demo/demo.mdf Customers
echo "== the first rows of Orders (3,000 in all; every row is in demo/orders.csv)"
build/bin/sorbel rows demo/demo.mdf Orders > demo/orders.csv
head -n 12 demo/orders.csv
echo "== procedure OrdersByCustomer"
build/bin/sorbel module demo/demo.mdf OrdersByCustomer
