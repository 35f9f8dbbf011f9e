#!/usr/bin/env bash
# Fails when an #include under src/ runs up the layer order, when two folders
# include each other, or when Qt is included outside the shell.
#
#   bash tools/check_layers.sh [SOURCE_ROOT]   # checks src/ by default
#   bash tools/check_layers.sh --self-test     # checks this script on small made-up trees
set -euo pipefail
cd "$(dirname "$0")/.."

# Each folder's place: a folder may include its own layer's siblings and
# anything below, never above.
declare -A rank=(
  [base]=0
  [views]=1
  [pagestore]=2
  [values]=3
  [records]=4
  [catalog]=5
  [browser]=6 [objecttree]=6 [export]=6 [txlog]=6 [sql]=6
  [session]=7
  [cli]=8 [shell]=8
)

# Upward includes that are known and still to be straightened, as
# "including file  included file" (paths below src/). A listed include that
# is gone fails the check too, so that the list only ever shrinks.
knownExceptions=(
)

# Prints one line per problem in the tree under root; the exceptions to
# allow are the arguments after root.
check() {
  local root=$1
  shift
  declare -A allowed=() used=() edges=()
  local e
  for e in "$@"; do allowed[$e]=1; done
  local file rel folder line target targetFolder
  while IFS= read -r file; do
    rel=${file#"$root"/}
    folder=${rel%%/*}
    [ "$folder" = "$rel" ] && continue
    if [ -z "${rank[$folder]+x}" ]; then
      echo "src/$folder has no place in the layer order (tools/check_layers.sh)"
      continue
    fi
    while IFS= read -r line; do
      if [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<Q ]] && [ "$folder" != shell ]; then
        echo "$rel includes Qt outside src/shell: $line"
        continue
      fi
      [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]*)\" ]] || continue
      target=${BASH_REMATCH[1]}
      [[ $target == */* ]] || continue
      targetFolder=${target%%/*}
      [ "$targetFolder" = "$folder" ] && continue
      if [ -n "${allowed["$rel $target"]+x}" ]; then
        used["$rel $target"]=1
        continue
      fi
      if [ -z "${rank[$targetFolder]+x}" ]; then
        echo "$rel includes $target from src/$targetFolder, which has no place in the layer order"
      elif [ "${rank[$targetFolder]}" -gt "${rank[$folder]}" ]; then
        echo "$rel includes $target: $targetFolder lies above $folder"
      fi
      edges["$folder $targetFolder"]=1
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file" || true)
  done < <(find "$root" -type f \( -name '*.h' -o -name '*.cpp' \) | LC_ALL=C sort)
  local pair from to
  for pair in "${!edges[@]}"; do
    read -r from to <<<"$pair"
    [[ $from < $to ]] && [ -n "${edges["$to $from"]+x}" ] && echo "$from and $to include each other"
  done
  for e in "$@"; do
    [ -n "${used[$e]+x}" ] || echo "no longer included, remove it from the exceptions: $e"
  done
  return 0
}

selfTest() {
  local dir failures=0
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' RETURN
  # Each case: a name, the files of a tree as "path|line", the exceptions,
  # the exception to allow ("-" for none), and a piece of the report it must
  # give ("-" for a clean tree).
  local -a cases=(
    "downward includes pass;records/a.cpp|#include \"values/b.h\";values/b.h|#include \"base/c.h\";base/c.h|;-;-"
    "an upward include fails;pagestore/a.cpp|#include \"records/b.h\";records/b.h|;-;records lies above pagestore"
    "an indented upward include fails;values/a.h|  #  include \"catalog/b.h\";catalog/b.h|;-;catalog lies above values"
    "siblings that include each other fail;browser/a.h|#include \"export/b.h\";export/b.h|#include \"browser/a.h\";-;browser and export include each other"
    "a listed exception passes;pagestore/a.cpp|#include \"records/b.h\";records/b.h|;pagestore/a.cpp records/b.h;-"
    "a listed exception no longer included fails;pagestore/a.cpp|;pagestore/a.cpp records/b.h;remove it from the exceptions"
    "a folder without a place fails;gadgets/a.h|#include \"base/b.h\";base/b.h|;-;src/gadgets has no place"
    "Qt outside the shell fails;catalog/a.cpp|#include <QString>;-;Qt outside src/shell"
  )
  local c name exception expected tree entry path text report
  for c in "${cases[@]}"; do
    IFS=';' read -r -a parts <<<"$c"
    name=${parts[0]}
    expected=${parts[-1]}
    exception=${parts[-2]}
    tree="$dir/$RANDOM$RANDOM"
    mkdir -p "$tree"
    for entry in "${parts[@]:1:${#parts[@]}-3}"; do
      path=${entry%%|*}
      text=${entry#*|}
      mkdir -p "$tree/$(dirname "$path")"
      printf '%s\n' "$text" >>"$tree/$path"
    done
    if [ "$exception" != - ]; then report=$(check "$tree" "$exception"); else report=$(check "$tree"); fi
    if { [ "$expected" = - ] && [ -n "$report" ]; } || { [ "$expected" != - ] && [[ $report != *"$expected"* ]]; }; then
      echo "self-test failed: $name: got \"$report\""
      failures=1
    fi
  done
  [ "$failures" = 0 ] && echo "layer check self-test passed"
  return "$failures"
}

if [ "${1:-}" = --self-test ]; then
  selfTest
  exit
fi
report=$(check "${1:-src}" "${knownExceptions[@]}")
if [ -n "$report" ]; then
  echo "$report"
  echo "layer check failed: the order is base, views, pagestore, values, records, catalog, browser/objecttree/export/sql, session, cli/shell"
  exit 1
fi
echo "layer check passed"
