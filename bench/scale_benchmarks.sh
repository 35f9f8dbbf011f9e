#!/usr/bin/env bash
# Benchmarks at scale, each a ratio measured in one run on this machine:
#   export   whole-table CSV export of a 2,000,000-row table, sorbel rows
#            against the sqlite3 shell exporting the same rows from a SQLite
#            file built from sorbel's output (ratio = sqlite3 time / sorbel
#            time, so above 1 means sorbel is faster), with sorbel's peak memory;
#   first    the first list page (sorbel show) of a 10,000,000-row heap against
#            that of a 1,000-row table of the same file;
#   catalog  sorbel catalog of 150 copies of a real file's system tables
#            against sorbel pages of it (needs ../shared/corpus);
#   mapping  page mapping of the 1 GiB file against a plain read, and the
#            memory the mapping keeps per page (bench_page_mapping);
#   tree     scan to the completed tree of catalog-heavy files of 500 to
#            5,000 tables against their page mapping (bench_catalog_scale);
#   window   the desktop window's scan of the 5,000-table catalog file to its
#            completed, drawn tree against sorbel scan of the same file (ratio =
#            window time / sorbel time, want <= 2), the window's resident
#            memory after it (want <= 250 MiB), and the longest wait from Stop
#            to the scan's end, Stop pressed at points through the scan (want
#            <= 1 s; bench_window_tree_scale, offscreen);
#   paging   the desktop window on the 2,000,000-row table: time from Next to
#            the page shown, median, 95th percentile and longest over Next
#            pressed through the whole table (want <= 0.1 s), resident memory
#            before and after (want flat), and Last then First from the first
#            page (bench_window_paging, offscreen);
#   search   the window's search of the same table for a text no row holds,
#            from Enter to the results shown, against sorbel rows of the
#            table piped into grep -c (ratio = window / grep, want <= 1.5);
#   sqlite   sorbel to-sqlite of the file with the 2,000,000-row table (the
#            whole file: its small tables too) against the sqlite3 shell's
#            .import of the same rows as CSV into the same table (ratio =
#            sorbel time / sqlite3 time, want <= 2);
#   postgres sorbel to-postgres of the same file into a throwaway PostgreSQL
#            server against psql's \copy of the same rows as CSV into the
#            same table (ratio = sorbel time / psql time, want <= 1.2);
#   query    sorbel sql's SELECT count(*) FROM BigHeap WHERE Note LIKE '%zz%'
#            over the 2,000,000-row file against sorbel rows | grep -c zz
#            (ratio = sql time / grep time, want <= 1.5) and against the same
#            query in the sqlite3 shell on the file's to-sqlite database
#            (ratio reported), with sorbel sql's peak memory (want <= 64 MiB).
#
# usage: bash bench/scale_benchmarks.sh [BUILD_DIR] [WORK_DIR] [export|first|catalog|mapping|tree|window|paging|search|sqlite|postgres|query ...]
# The databases are generated into WORK_DIR (default: a folder under the
# temporary folder, kept for the next run); nothing large is committed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=${2:-${TMPDIR:-/tmp}/sorbel-scale}
shift $(( $# > 2 ? 2 : $# )) || true
which=("$@")
[ ${#which[@]} -eq 0 ] && which=(export first catalog mapping tree window paging search sqlite postgres query)
mkdir -p "$work"
# The sqlite3 shell and /usr/bin/time come from the project's one package list.
bash tools/install-deps.sh
sorbel="$build/bin/sorbel"

# Seconds of the fastest of three runs of a command (its output to $out).
best() {
  local out=$1; shift
  local bestTime=
  for _ in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" > "$out"
    local t; t=$(cut -d' ' -f1 "$work/time.txt")
    if [ -z "$bestTime" ] || awk "BEGIN{exit !($t < $bestTime)}"; then bestTime=$t; fi
  done
  echo "$bestTime"
}
peakKiB() { cut -d' ' -f2 "$work/time.txt"; }

for bench in "${which[@]}"; do
  case "$bench" in
  export)
    db="$work/rows-2m.mdf"
    [ -f "$db" ] || "$build/bin/sorbel_scale_db" rows "$db" --rows 2000000 --clustered-rows 1000
    "$sorbel" rows "$db" BigHeap > "$work/bigheap.csv"
    if [ ! -f "$work/bigheap.db" ]; then
      sqlite3 "$work/bigheap.db" -cmd ".mode csv" ".import $work/bigheap.csv BigHeap"
    fi
    sorbelTime=$(best "$work/sorbel-out.csv" "$sorbel" rows "$db" BigHeap)
    maxKiB=0
    for _ in 1 2 3; do
      /usr/bin/time -f "%e %M" -o "$work/time.txt" "$sorbel" rows "$db" BigHeap > "$work/sorbel-out.csv"
      k=$(peakKiB); [ "$k" -gt "$maxKiB" ] && maxKiB=$k
    done
    sqliteTime=$(best "$work/sqlite-out.csv" sqlite3 -csv -header "$work/bigheap.db" "SELECT * FROM BigHeap")
    rows=$(($(wc -l < "$work/sorbel-out.csv") - 1))
    echo "export: $rows rows; sorbel rows ${sorbelTime}s (peak $((maxKiB / 1024)) MiB), sqlite3 ${sqliteTime}s;" \
         "ratio sqlite3/sorbel $(awk "BEGIN{printf \"%.2f\", $sqliteTime / $sorbelTime}") (want >= 1.0, peak <= 64 MiB)"
    ;;
  first)
    db="$work/rows-10m.mdf"
    [ -f "$db" ] || "$build/bin/sorbel_scale_db" rows "$db"
    big=$(best "$work/show-big.txt" "$sorbel" show "$db" "Tables/User Tables/BigHeap")
    small=$(best "$work/show-small.txt" "$sorbel" show "$db" "Tables/User Tables/SmallTable")
    echo "first: file $(($(stat -c %s "$db") / 1048576)) MiB; first page of BigHeap (10,000,000 rows) ${big}s," \
         "of SmallTable (1,000 rows) ${small}s; ratio $(awk "BEGIN{printf \"%.2f\", $big / $small}") (want <= 2)"
    ;;
  catalog)
    src=../shared/corpus/files/661_northwnd_bi.mdf
    if [ ! -f "$src" ]; then echo "catalog: skipped, $src is not on this machine"; continue; fi
    db="$work/northwind-x150.mdf"
    if [ ! -f "$db" ]; then
      : > "$db"
      for _ in $(seq 150); do cat "$src" >> "$db"; done
    fi
    catalogTime=$(best "$work/catalog.txt" "$sorbel" catalog "$db")
    pagesTime=$(best "$work/pages.txt" "$sorbel" pages "$db")
    echo "catalog: sorbel catalog ${catalogTime}s, sorbel pages ${pagesTime}s;" \
         "ratio $(awk "BEGIN{printf \"%.1f\", $catalogTime / $pagesTime}") (want <= 10)"
    ;;
  mapping)
    db="$work/rows-10m.mdf"
    [ -f "$db" ] || "$build/bin/sorbel_scale_db" rows "$db"
    echo "mapping:"; "$build/bin/bench_page_mapping" "$db" | sed 's/^/  /'
    ;;
  tree)
    echo "tree:"; "$build/bin/bench_catalog_scale" 500 1000 2000 5000 | sed 's/^/  /'
    ;;
  window)
    db="$work/catalog-5000.mdf"
    [ -f "$db" ] || "$build/bin/sorbel_scale_db" catalog "$db"
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    windowRun() { "$build/bin/bench_window_tree_scale" "$@" 2> /dev/null; }
    # Alternating runs, the fastest of three each.
    scanTime= treeTime= rss=
    for _ in 1 2 3; do
      /usr/bin/time -f "%e" -o "$work/time.txt" "$sorbel" scan "$db" > "$work/scan.txt"
      t=$(cat "$work/time.txt")
      if [ -z "$scanTime" ] || awk "BEGIN{exit !($t < $scanTime)}"; then scanTime=$t; fi
      read -r _ t _ _ _ r _ _ _ _ < <(windowRun "$db")
      if [ -z "$treeTime" ] || awk "BEGIN{exit !($t < $treeTime)}"; then treeTime=$t; fi
      if [ -z "$rss" ] || [ "$r" -gt "$rss" ]; then rss=$r; fi
    done
    # Stop at points from the page mapping to the last tree updates.
    longestStop=0
    for at in 5 20 40 60 80 100 150 200 300; do
      read -r _ s _ _ < <(windowRun "$db" --stop-at "$at")
      if awk "BEGIN{exit !($s > $longestStop)}"; then longestStop=$s; fi
    done
    echo "window: 5,000 tables; completed tree in the window ${treeTime}s, sorbel scan ${scanTime}s;" \
         "ratio $(awk "BEGIN{printf \"%.2f\", $treeTime / $scanTime}") (want <= 2); resident after it ${rss} MiB" \
         "(want <= 250); longest Stop ${longestStop}s (want <= 1)"
    ;;
  paging)
    db="$work/rows-2m.mdf"
    [ -f "$db" ] || "$build/bin/sorbel_scale_db" rows "$db" --rows 2000000 --clustered-rows 1000
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    read -r _ _ median _ p95 _ longest _ pages _ rssStart _ rssEnd < <("$build/bin/bench_window_paging" "$db" BigHeap 2> /dev/null)
    read -r _ last _ first _ < <("$build/bin/bench_window_paging" "$db" BigHeap --last 2> /dev/null)
    echo "paging: Next pressed $pages times through BigHeap; page shown after median ${median}s, p95 ${p95}s," \
         "longest ${longest}s (want <= 0.1); resident ${rssStart} MiB at the start, ${rssEnd} MiB at the end (want flat);" \
         "Last from page 1 ${last}s, then First ${first}s"
    ;;
  search)
    db="$work/rows-2m.mdf"
    [ -f "$db" ] || "$build/bin/sorbel_scale_db" rows "$db" --rows 2000000 --clustered-rows 1000
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    absent="no row holds this text"
    # Alternating runs, the fastest of three each.
    searchTime= grepTime=
    for _ in 1 2 3; do
      read -r _ t _ < <("$build/bin/bench_window_paging" "$db" BigHeap --search "$absent" 2> /dev/null)
      if [ -z "$searchTime" ] || awk "BEGIN{exit !($t < $searchTime)}"; then searchTime=$t; fi
      /usr/bin/time -f "%e" -o "$work/time.txt" bash -c "'$sorbel' rows '$db' BigHeap | grep -c '$absent' > /dev/null || true"
      t=$(cat "$work/time.txt")
      if [ -z "$grepTime" ] || awk "BEGIN{exit !($t < $grepTime)}"; then grepTime=$t; fi
    done
    echo "search: BigHeap for a text no row holds; window ${searchTime}s, sorbel rows | grep -c ${grepTime}s;" \
         "ratio $(awk "BEGIN{printf \"%.2f\", $searchTime / $grepTime}") (want <= 1.5)"
    ;;
  sqlite)
    db="$work/rows-2m.mdf"
    [ -f "$db" ] || "$build/bin/sorbel_scale_db" rows "$db" --rows 2000000 --clustered-rows 1000
    # The rows in the exchange form, so that both sides store the same texts
    # and numbers, into the table the sqlite schema declares.
    "$sorbel" rows "$db" BigHeap --format csv --no-header > "$work/bigheap-exchange.csv"
    "$sorbel" schema "$db" --dialect sqlite --table BigHeap > "$work/bigheap-schema.sql"
    importInto() {
      rm -f "$1"
      sqlite3 "$1" < "$work/bigheap-schema.sql"
      sqlite3 "$1" ".import --csv $work/bigheap-exchange.csv BigHeap"
    }
    # Alternating runs, the fastest of three each: the machine's other load
    # falls on both alike.
    sorbelTime= sqliteTime=
    for _ in 1 2 3; do
      /usr/bin/time -f "%e" -o "$work/time.txt" "$sorbel" to-sqlite "$db" "$work/to-sqlite.db" --force 2> /dev/null
      t=$(cat "$work/time.txt")
      if [ -z "$sorbelTime" ] || awk "BEGIN{exit !($t < $sorbelTime)}"; then sorbelTime=$t; fi
      /usr/bin/time -f "%e" -o "$work/time.txt" bash -c "$(declare -f importInto); work='$work'; importInto '$work/import.db'"
      t=$(cat "$work/time.txt")
      if [ -z "$sqliteTime" ] || awk "BEGIN{exit !($t < $sqliteTime)}"; then sqliteTime=$t; fi
    done
    written=$(sqlite3 "$work/to-sqlite.db" "SELECT count(*) FROM BigHeap")
    imported=$(sqlite3 "$work/import.db" "SELECT count(*) FROM BigHeap")
    [ "$written" = "$imported" ] || { echo "sqlite: to-sqlite wrote $written rows, .import $imported" >&2; exit 1; }
    echo "sqlite: $written rows; sorbel to-sqlite ${sorbelTime}s, sqlite3 .import ${sqliteTime}s;" \
         "ratio sorbel/sqlite3 $(awk "BEGIN{printf \"%.2f\", $sorbelTime / $sqliteTime}") (want <= 2)"
    ;;
  postgres)
    db="$work/rows-2m.mdf"
    [ -f "$db" ] || "$build/bin/sorbel_scale_db" rows "$db" --rows 2000000 --clustered-rows 1000
    # A throwaway server on a socket in the work folder; as root it runs as
    # the postgres user, who must be able to enter the folder.
    pgBin=$(ls -d /usr/lib/postgresql/*/bin | head -1)
    pg="$work/pg"
    asServer=()
    [ "$(id -u)" = 0 ] && asServer=(runuser -u postgres --)
    rm -rf "$pg"
    mkdir -p "$pg"
    chmod 777 "$pg"
    "${asServer[@]}" "$pgBin/initdb" -D "$pg/data" -A trust -E UTF8 --locale=C.UTF-8 >/dev/null
    "${asServer[@]}" "$pgBin/pg_ctl" -D "$pg/data" -o "-k $pg -c listen_addresses='' -c fsync=off" -l "$pg/log" -w start >/dev/null
    trap '"${asServer[@]}" "$pgBin/pg_ctl" -D "$pg/data" -m immediate stop >/dev/null' EXIT
    psqlTo() { psql -h "$pg" -U postgres -X -q -v ON_ERROR_STOP=1 "$@"; }
    psqlTo -d postgres -c "CREATE DATABASE bench_sorbel" -c "CREATE DATABASE bench_copy"
    # The same rows in the exchange form, NULL as an empty unquoted field as
    # COPY's CSV reads it, into the table the postgres schema declares.
    "$sorbel" rows "$db" BigHeap --format csv --no-header --null "" > "$work/bigheap-pg.csv"
    "$sorbel" schema "$db" --dialect postgres --table BigHeap > "$work/bigheap-pg.sql"
    sorbelTime= copyTime=
    for _ in 1 2 3; do
      /usr/bin/time -f "%e" -o "$work/time.txt" "$sorbel" to-postgres "$db" "host=$pg dbname=bench_sorbel user=postgres" --force 2> /dev/null
      t=$(cat "$work/time.txt")
      if [ -z "$sorbelTime" ] || awk "BEGIN{exit !($t < $sorbelTime)}"; then sorbelTime=$t; fi
      psqlTo -d bench_copy -c 'DROP TABLE IF EXISTS "BigHeap"' -f "$work/bigheap-pg.sql"
      /usr/bin/time -f "%e" -o "$work/time.txt" \
        psql -h "$pg" -U postgres -X -q -d bench_copy -c "\\copy \"BigHeap\" FROM '$work/bigheap-pg.csv' WITH (FORMAT csv)"
      t=$(cat "$work/time.txt")
      if [ -z "$copyTime" ] || awk "BEGIN{exit !($t < $copyTime)}"; then copyTime=$t; fi
    done
    written=$(psqlTo -d bench_sorbel -A -t -c 'SELECT count(*) FROM "BigHeap"')
    copied=$(psqlTo -d bench_copy -A -t -c 'SELECT count(*) FROM "BigHeap"')
    [ "$written" = "$copied" ] || { echo "postgres: to-postgres wrote $written rows, \\copy $copied" >&2; exit 1; }
    echo "postgres: $written rows; sorbel to-postgres ${sorbelTime}s, psql \\copy ${copyTime}s;" \
         "ratio sorbel/psql $(awk "BEGIN{printf \"%.2f\", $sorbelTime / $copyTime}") (want <= 1.2)"
    ;;
  query)
    db="$work/rows-2m.mdf"
    [ -f "$db" ] || "$build/bin/sorbel_scale_db" rows "$db" --rows 2000000 --clustered-rows 1000
    query="SELECT count(*) FROM BigHeap WHERE Note LIKE '%zz%'"
    exported="$work/query-to-sqlite.db"
    [ -f "$exported" ] || "$sorbel" to-sqlite "$db" "$exported" 2> /dev/null
    # Alternating runs, the fastest of three each; grep finding nothing is
    # no failure.
    sqlTime= grepTime= sqliteTime= maxKiB=0
    for _ in 1 2 3; do
      /usr/bin/time -f "%e %M" -o "$work/time.txt" "$sorbel" sql "$db" "$query" > "$work/query-sql.txt"
      t=$(cut -d' ' -f1 "$work/time.txt"); k=$(peakKiB)
      [ "$k" -gt "$maxKiB" ] && maxKiB=$k
      if [ -z "$sqlTime" ] || awk "BEGIN{exit !($t < $sqlTime)}"; then sqlTime=$t; fi
      /usr/bin/time -f "%e" -o "$work/time.txt" bash -c "'$sorbel' rows '$db' BigHeap | grep -c zz || true" > "$work/query-grep.txt"
      t=$(cat "$work/time.txt")
      if [ -z "$grepTime" ] || awk "BEGIN{exit !($t < $grepTime)}"; then grepTime=$t; fi
      /usr/bin/time -f "%e" -o "$work/time.txt" sqlite3 "$exported" "$query" > "$work/query-sqlite.txt"
      t=$(cat "$work/time.txt")
      if [ -z "$sqliteTime" ] || awk "BEGIN{exit !($t < $sqliteTime)}"; then sqliteTime=$t; fi
    done
    counted=$(tail -1 "$work/query-sql.txt" | tr -d '\r')
    [ "$counted" = "$(cat "$work/query-sqlite.txt")" ] \
      || { echo "query: sorbel sql counted $counted, sqlite3 $(cat "$work/query-sqlite.txt")" >&2; exit 1; }
    echo "query: $counted rows match; sorbel sql ${sqlTime}s (peak $((maxKiB / 1024)) MiB), sorbel rows | grep" \
         "${grepTime}s, sqlite3 on the to-sqlite file ${sqliteTime}s; ratio sql/grep" \
         "$(awk "BEGIN{printf \"%.2f\", $sqlTime / $grepTime}") (want <= 1.5, peak <= 64 MiB), ratio sql/sqlite3" \
         "$(awk "BEGIN{printf \"%.1f\", $sqlTime / $sqliteTime}")"
    ;;
  *) echo "unknown benchmark $bench" >&2; exit 1 ;;
  esac
done
