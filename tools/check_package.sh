#!/usr/bin/env bash
# Checks a built velmont-sorbel .deb: the files it must hold, both programs
# answering --version from a dpkg -x of it (and, given a data file, sorbel
# finding its collations there), and lintian reporting no errors.
# usage: bash tools/check_package.sh PACKAGE.deb [DATA_FILE.mdf]
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:?usage: bash tools/check_package.sh PACKAGE.deb}
contents=$(dpkg-deb -c "$deb")
echo "$contents" | awk '{print $6}'
for f in usr/bin/sorbel usr/bin/velmont-sorbel usr/share/velmont-sorbel/collation.txt \
         usr/share/velmont-sorbel/user-guide.html usr/share/applications/velmont-sorbel.desktop \
         usr/share/mime/packages/velmont-sorbel-mdf.xml usr/share/icons/hicolor/scalable/apps/velmont-sorbel.svg \
         usr/share/man/man1/sorbel.1.gz usr/share/man/man1/velmont-sorbel.1.gz \
         usr/share/bash-completion/completions/sorbel usr/share/doc/velmont-sorbel/copyright; do
  grep -q " \./$f\$" <<<"$contents" || { echo "check_package: $deb lacks $f" >&2; exit 1; }
done
extension=$(awk '{print $6}' <<<"$contents" | grep -E '^\./usr/lib/[^/]+/velmont-sorbel/libsorbel_sqlite\.so$' | cut -c3-) \
  || { echo "check_package: $deb lacks libsorbel_sqlite.so in usr/lib/ARCH/velmont-sorbel" >&2; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q libsqlite3 || { echo "check_package: no dependencies read from the libraries" >&2; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
[ "$("$root/usr/bin/sorbel" --version)" = "sorbel 18.0" ] || { echo "check_package: sorbel --version" >&2; exit 1; }
[ "$("$root/usr/bin/velmont-sorbel" --version)" = "velmont-sorbel 18.0" ] || { echo "check_package: velmont-sorbel --version" >&2; exit 1; }
if [ -n "${2:-}" ]; then
  "$root/usr/bin/sorbel" boot "$2" | grep -q '^collationName .' \
    || { echo "check_package: the extracted sorbel did not find collation.txt" >&2; exit 1; }
fi
if [ -n "${2:-}" ]; then
  # The extension as the sqlite3 shell loads it, finding the collations it was installed with.
  table=$("$root/usr/bin/sorbel" tables "$2" --names | head -1)
  [ -z "$table" ] || sqlite3 -batch :memory: ".load $root/${extension%.so}" \
    "CREATE VIRTUAL TABLE t USING sorbel('$(readlink -f "$2")', '$table')" "SELECT count(*) FROM t" >/dev/null \
    || { echo "check_package: the extension did not load or read $table" >&2; exit 1; }
fi
grep -q "sorbel(1)\|SORBEL" <(zcat "$root/usr/share/man/man1/sorbel.1.gz") || { echo "check_package: sorbel.1 unreadable" >&2; exit 1; }

# Errors fail the check; warnings and notes are shown.
lintian --allow-root --fail-on error "$deb"
echo "check_package: $(basename "$deb") holds $(grep -c '^-' <<<"$contents") files and passes lintian"
