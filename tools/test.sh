#!/usr/bin/env bash
# Installs, builds and runs every test: a normal build, a sanitizer build, and short fuzz runs.
set -euo pipefail
cd "$(dirname "$0")/.."
longCampaign=0
for arg in "$@"; do
  case "$arg" in
    --long-campaign) longCampaign=1 ;;
    *) echo "usage: bash tools/test.sh [--long-campaign]" >&2; exit 1 ;;
  esac
done
bash tools/install-deps.sh
jobs=$(nproc)

# The folders' include order, before anything is built.
bash tools/check_layers.sh --self-test
bash tools/check_layers.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORBEL_TESTS=ON -DSORBEL_WERROR=ON
# Everything the build found and the tests run comes from install-deps.sh's list.
bash tools/check_deps.sh build
cmake --build build -j "$jobs"
# The GUI tests run on the offscreen platform and leave their screenshots in build/screenshots.
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"

# An installed tree: both programs start from it and find their collations
# in its data folder, with nothing beside the executables.
prefix=$(mktemp -d)
cmake --install build --prefix "$prefix" >/dev/null
build/bin/sorbel_demo_db "$prefix/demo.mdf"
"$prefix/bin/sorbel" boot "$prefix/demo.mdf" | grep -q '^collationName SQL_Latin1_General_CP1_CI_AS$' \
  || { echo "installed sorbel did not find collation.txt"; exit 1; }
"$prefix/bin/velmont-sorbel" --version | grep -q '^velmont-sorbel 18.0$'
for f in share/applications/velmont-sorbel.desktop share/icons/hicolor/scalable/apps/velmont-sorbel.svg \
         share/mime/packages/velmont-sorbel-mdf.xml share/velmont-sorbel/collation.txt share/velmont-sorbel/user-guide.html \
         share/man/man1/sorbel.1.gz share/man/man1/velmont-sorbel.1.gz share/bash-completion/completions/sorbel; do
  [ -f "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
# The SQLite extension loads from its installed place and finds the data
# folder from there.
extension=$(find "$prefix/lib" -name libsorbel_sqlite.so | head -n 1)
[ -n "$extension" ] || { echo "not installed: libsorbel_sqlite.so"; exit 1; }
[ "$(sqlite3 :memory: ".load ${extension%.so}" \
    "CREATE VIRTUAL TABLE t USING sorbel('$prefix/demo.mdf', 'dbo.Orders');" "SELECT count(*) > 0 FROM t;")" = 1 ] \
  || { echo "the installed SQLite extension did not read the demo database"; exit 1; }
rm -rf "$prefix"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 \
  -DSORBEL_SANITIZE=ON -DSORBEL_TESTS=ON -DSORBEL_BENCH=OFF -DSORBEL_WERROR=ON
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The damage campaign: seeded damaged copies of builder-made and real
# databases through every sorbel command of the sanitizer build. About a
# minute here; before a release run it long with --long-campaign (an hour)
# or SORBEL_CAMPAIGN_SECONDS.
campaignSeconds=${SORBEL_CAMPAIGN_SECONDS:-60}
[ "$longCampaign" = 1 ] && campaignSeconds=${SORBEL_CAMPAIGN_SECONDS:-3600}
corpusArgs=()
[ -d ../shared/corpus/files ] && corpusArgs=(--corpus ../shared/corpus/files)
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  build-asan/bin/damage_campaign --sorbel build-asan/bin/sorbel "${corpusArgs[@]}" \
  --seconds "$campaignSeconds" --seed "${SORBEL_CAMPAIGN_SEED:-1}"

# Short seeded fuzz runs: each harness for a few seconds from its seed folder.
# Pages of the real data files, where this machine has them, seed the page fuzzer.
seedPages=$(mktemp -d)
if [ -d ../shared/corpus/files ]; then
  for f in ../shared/corpus/files/539_pubs_sqldata.mdf ../shared/corpus/files/611_pubs_manav.mdf \
           ../shared/corpus/files/706_school_rsbe.mdf; do
    [ -f "$f" ] || continue
    for p in 0 1 9 10 11 12 16 20 24 30 40 60 80 100; do
      { printf '\x03'; dd if="$f" bs=8192 skip=$p count=1 status=none; } > "$seedPages/$(basename "$f").$p"
    done
  done
fi
# Block areas of the real logs seed the log fuzzer: an option byte (bit 2:
# the SQL Server 2000 record layout), then the first blocks of a VLF.
seedLogs=$(mktemp -d)
if [ -d ../shared/corpus/logs ]; then
  for f in ../shared/corpus/logs/*.ldf; do
    option='\x00'
    case "$(basename "$f")" in 539_*) option='\x04' ;; esac
    { printf "$option"; dd if="$f" bs=4096 skip=4 count=2 status=none; } > "$seedLogs/$(basename "$f")"
  done
fi
# The database fuzzer starts from the sample database in both catalog forms.
seedDatabases=$(mktemp -d)
build/bin/damage_campaign --write-samples "$seedDatabases"
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 \
  -DSORBEL_FUZZ=ON -DSORBEL_TESTS=OFF -DSORBEL_BENCH=OFF -DSORBEL_WERROR=ON
cmake --build build-fuzz -j "$jobs"
for harness in build-fuzz/bin/fuzz_*; do
  [ -x "$harness" ] || continue
  name=$(basename "$harness")
  name=${name#fuzz_}
  work=$(mktemp -d)
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds+=("fuzz/seeds/$name")
  [ "$name" = page_records ] && seeds+=("$seedPages")
  [ "$name" = whole_database ] && seeds+=("$seedDatabases")
  [ "$name" = log_blocks ] && seeds+=("$seedLogs")
  echo "fuzzing $name"
  "$harness" -seed=1 -max_total_time="${SORBEL_FUZZ_SECONDS:-20}" -rss_limit_mb=4096 \
    -artifact_prefix="$work/" "$work" "${seeds[@]}" 2>"$work/log" || { tail -50 "$work/log"; exit 1; }
  tail -1 "$work/log"
  rm -rf "$work"
done
rm -rf "$seedPages" "$seedDatabases" "$seedLogs"

# The Debian package from the normal build: its contents, both programs
# started from a dpkg -x of it, and lintian.
bash tools/package.sh build >/dev/null
packageData=$(mktemp -d)
build/bin/sorbel_demo_db "$packageData/demo.mdf"
bash tools/check_package.sh build/package/velmont-sorbel_18.0_amd64.deb "$packageData/demo.mdf"
rm -rf "$packageData"
echo "all tests passed"
