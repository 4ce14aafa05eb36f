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
# A suppression that hides a leak of ours would let every test below pass over one. A leak ends
# the program with status 23 here, a failed test with 1.
log=$build/leakcheck/planted_leak.log
status=0
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1:exitcode=23 "$build/leakcheck/planted_leak" >"$log" 2>&1 \
    || status=$?
if [ "$status" -ne 23 ] || ! grep -q "ERROR: LeakSanitizer" "$log" \
    || ! grep -q " in plantedLeak()" "$log"; then
    echo "planted leak: not reported (exit status $status); the suppressions hide our own leaks"
    cat "$log"
    exit 1
fi
echo "planted leak: reported"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2 --timeout 900
