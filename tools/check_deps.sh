#!/usr/bin/env bash
# Checks that tools/install-deps.sh's list accounts for everything the build,
# the tests, the package and the benchmarks use: each file the CMake build
# found and each program the scripts and tests run must belong to a listed
# package, to one those depend on, or to Debian's required set.
# usage: bash tools/check_deps.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/CMakeCache.txt" ] || { echo "check_deps: no $build/CMakeCache.txt; configure first" >&2; exit 1; }

mapfile -t listed < <(bash tools/install-deps.sh --list)
declare -A covered=()
while read -r p; do covered[$p]=1; done < <(
  apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances "${listed[@]}" | grep -v '^ ' | sed 's/:.*//')
while read -r p prio ess; do
  [ "$prio" = required ] || [ "$ess" = yes ] && covered[$p]=1
done < <(dpkg-query -W -f='${Package} ${Priority} ${Essential}\n')

files=()
# What find_package found: a package's config file, or the library and header.
while IFS='=' read -r key value; do
  case "$key" in
    SQLite3_INCLUDE_DIR:PATH) files+=("$value/sqlite3.h") ;;
    PostgreSQL_INCLUDE_DIR:PATH) files+=("$value/libpq-fe.h") ;;
    LIBEDIT_INCLUDE_DIR:PATH) files+=("$value/editline/readline.h") ;;
    *_DIR:PATH) config=$(ls "$value"/*[Cc]onfig.cmake 2>/dev/null | head -1 || true); [ -n "$config" ] && files+=("$config") ;;
    *_LIBRARY:FILEPATH | *_LIBRARY_RELEASE:FILEPATH | CMAKE_CXX_COMPILER:FILEPATH | CMAKE_MAKE_PROGRAM:FILEPATH) files+=("$value") ;;
  esac
done < <(grep -E '^(SQLite3|PostgreSQL|LIBEDIT|GTest|Qt6|CMAKE_CXX_COMPILER|CMAKE_MAKE_PROGRAM)[A-Za-z0-9_]*:(PATH|FILEPATH)=/' "$build/CMakeCache.txt")
# Programs the test command, the tests, the package and the benchmarks run.
for prog in cmake ninja clang++ sqlite3 lintian dpkg-shlibdeps dpkg-deb runuser; do
  path=$(command -v "$prog") || { echo "check_deps: $prog is not installed" >&2; exit 1; }
  files+=("$path")
done
files+=(/usr/bin/time)
pg=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | head -1)
[ -n "$pg" ] || { echo "check_deps: no PostgreSQL server programs" >&2; exit 1; }
files+=("$pg/initdb" "$pg/pg_ctl" "$pg/psql")
files+=("$(clang++ --print-runtime-dir)/libclang_rt.fuzzer-x86_64.a")
files+=(/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqoffscreen.so)
files+=("$(fc-match -f '%{file}' sans)")

status=0
for f in "${files[@]}"; do
  real=$(readlink -f "$f")
  # A development symlink (libsqlite3.so) belongs to the -dev package, its
  # target to the runtime one; and with merged /usr dpkg may know a program
  # under /bin or /sbin.
  owner=$({ dpkg -S "$f" || dpkg -S "$real" || dpkg -S "${real#/usr}"; } 2>/dev/null | head -1 | sed 's/[:,].*//') || true
  if [ -z "$owner" ]; then
    echo "check_deps: $f belongs to no package" >&2; status=1
  elif [ -z "${covered[$owner]:-}" ]; then
    echo "check_deps: $f comes from $owner, which tools/install-deps.sh does not bring in" >&2; status=1
  fi
done
[ $status = 0 ] && echo "check_deps: ${#files[@]} files and programs, all from the listed packages"
exit $status
