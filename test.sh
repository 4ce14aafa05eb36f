#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite offscreen.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh"
cd "$top/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2 --timeout 600
