#!/usr/bin/env bash
# Builds the Debian package, installs it with apt and starts the installed program offscreen.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLON_BUILD_DIR:-$top/build}
"$top/scripts/build.sh"
(cd "$build" && rm -f quillon_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quillon_*.deb)
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null
appstreamcli validate --no-net /usr/share/metainfo/org.quillon.Quillon.metainfo.xml
desktop-file-validate /usr/share/applications/org.quillon.Quillon.desktop
# A desktop start: the launcher makes the per-user folder, lists the simulated board and finds
# the plug-in (which notes its one update check; without it the start-up warning would come).
tmp=$(mktemp -d)
quillon-devsim --link "$tmp/ttySIM0" --interval 200 >/dev/null 2>&1 &
sim=$!
for _ in $(seq 50); do [ -e "$tmp/ttySIM0" ] && break; sleep 0.1; done
status=0
HOME=$tmp XDG_DATA_HOME=$tmp/data QUILLON_EXTRA_PORTS="$tmp/ttySIM0=Simulated board" \
    QT_QPA_PLATFORM=offscreen timeout 5 quillon >"$tmp/out.log" 2>&1 || status=$?
kill "$sim" 2>/dev/null || true
[ "$status" -eq 124 ] || { echo "quillon exited early ($status)"; cat "$tmp/out.log"; exit 1; }
grep -q checkForUpdate "$tmp/out.log" || { echo "update plug-in not found"; cat "$tmp/out.log"; exit 1; }
for f in Settings.ini Record change.log plugins; do
    [ -e "$tmp/data/quillon/$f" ] || { echo "missing $f in the working folder"; exit 1; }
done
echo "package: installed, started from $tmp/data/quillon with the plug-in found"
