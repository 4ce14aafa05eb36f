#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quillon from its working folder build/run.
# Without hardware it starts the simulated device first and offers it as a virtual port.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh"
cd "$top/build/run"
sim_pid=""
if [ -x ./quillon-devsim ] && ! ls /dev/ttyUSB* /dev/ttyACM* >/dev/null 2>&1; then
    ./quillon-devsim --link "$PWD/ttySIM0" --boot-on-reset --color >/dev/null 2>&1 &
    sim_pid=$!
    export QUILLON_EXTRA_PORTS="$PWD/ttySIM0=Quillon simulated device${QUILLON_EXTRA_PORTS:+;$QUILLON_EXTRA_PORTS}"
    sleep 0.5
fi
status=0
./quillon || status=$?
[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
exit $status
