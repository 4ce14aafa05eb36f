#!/usr/bin/env bash
# Builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer and runs them.
set -euo pipefail
# QUILLON_WERROR=ON (CI) turns warnings into errors.
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLON_SANITIZE_DIR:-$top/build-sanitize}
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON \
    -DQUILLON_WERROR="${QUILLON_WERROR:-OFF}" >/dev/null
# What the tests run and load; the benchmarks and the program itself are not run here.
cmake --build "$build" --parallel "$(nproc)" --target quillon_tests
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$top/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2 --timeout 900
