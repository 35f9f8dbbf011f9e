#!/usr/bin/env bash
# Installs what building, testing, packaging and the benchmarks need on
# Debian 12; does nothing when all is there. `--list` prints the packages.
set -euo pipefail
# The one list. Why each is here:
#   g++ cmake ninja-build        the build
#   libsqlite3-dev               find_package(SQLite3): the SQLite export
#   libpq-dev                    find_package(PostgreSQL): the PostgreSQL export
#   libedit-dev                  line editing and history at the prompt of
#                                sorbel sql
#   qt6-base-dev                 find_package(Qt6 Widgets Test); through
#                                libqt6gui6 also the offscreen platform plugin
#                                the GUI tests run on
#   fonts-dejavu-core            a font for the offscreen windows to draw with
#   libgtest-dev libgmock-dev    find_package(GTest)
#   clang libclang-rt-14-dev     the fuzz build and its libFuzzer runtime
#   postgresql                   the export tests load scripts and tables
#                                into a throwaway server (initdb, pg_ctl,
#                                psql); its benchmark compares with \copy
#   sqlite3 time                 the benchmarks: the sqlite3 shell as the
#                                baseline, /usr/bin/time for times and memory
#   dpkg-dev                     CPack reads the .deb's dependencies with
#                                dpkg-shlibdeps
#   lintian                      the package check
packages=(g++ cmake ninja-build libsqlite3-dev libpq-dev libedit-dev qt6-base-dev fonts-dejavu-core
          libgtest-dev libgmock-dev clang libclang-rt-14-dev postgresql
          sqlite3 time dpkg-dev lintian)
if [ "${1:-}" = --list ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
