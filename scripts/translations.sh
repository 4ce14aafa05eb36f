#!/usr/bin/env bash
# Brings translations/quillon_en.ts up to date with the sources and forms (new texts come in
# unfinished, vanished ones go). With --check it changes nothing and fails when the catalogue is
# not up to date or has texts without a finished translation.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
ts=$top/translations/quillon_en.ts
lupdate=/usr/lib/qt5/bin/lupdate
[ -x "$lupdate" ] || lupdate=$(command -v lupdate-qt5 || command -v lupdate || true)
[ -n "$lupdate" ] || { echo "lupdate not found: install qttools5-dev-tools (scripts/deps.sh)"; exit 1; }

update() {
    (cd "$top" && "$lupdate" -silent -I . -locations none -no-obsolete -source-language zh_CN \
        -target-language en app serial shell share tools views forms -ts "$1")
}

if [ "${1:-}" != "--check" ]; then
    update "$ts"
    exit 0
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$ts" "$tmp/quillon_en.ts"
update "$tmp/quillon_en.ts"
status=0
if ! cmp -s "$ts" "$tmp/quillon_en.ts"; then
    echo "translations/quillon_en.ts is out of date with the sources; run scripts/translations.sh:"
    diff -u "$ts" "$tmp/quillon_en.ts" | head -40 || true
    status=1
fi
if grep -n 'type="unfinished"\|type="vanished"\|type="obsolete"' "$tmp/quillon_en.ts"; then
    echo "translations/quillon_en.ts: texts above have no finished translation"
    status=1
fi
exit $status
