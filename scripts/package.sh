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
# A desktop start: the launcher makes the per-user folder and the plug-in must be found.
home=$(mktemp -d)
status=0
HOME=$home XDG_DATA_HOME= QT_QPA_PLATFORM=offscreen timeout 5 quillon >"$home/out.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || { echo "quillon exited early ($status)"; cat "$home/out.log"; exit 1; }
grep -q checkForUpdate "$home/out.log" || { echo "update plug-in not found"; cat "$home/out.log"; exit 1; }
[ -f "$home/.local/share/quillon/Settings.ini" ] || { echo "no per-user working folder"; exit 1; }
[ -d "$home/.local/share/quillon/Record" ] || { echo "no Record folder"; exit 1; }
echo "package: installed and started from $home/.local/share/quillon"
