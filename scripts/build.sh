#!/usr/bin/env bash
# Configures and builds into build/ (or $QUILLON_BUILD_DIR).
set -euo pipefail
# QUILLON_WERROR=ON (CI) turns warnings into errors.
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLON_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLON_WERROR="${QUILLON_WERROR:-OFF}" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
