#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each on its corpus for a bounded time.
set -euo pipefail
# QUILLON_WERROR=ON (CI) turns warnings into errors.
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLON_FUZZ_DIR:-$top/build-fuzz}
seconds=${QUILLON_FUZZ_SECONDS:-20}
CXX=clang++-14 cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_FUZZ=ON \
    -DQUILLON_WERROR="${QUILLON_WERROR:-OFF}" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target fuzzers
export ASAN_OPTIONS=detect_leaks=0
failed=0
for target in "$build"/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$top/fuzz/corpus/${name#fuzz_}"
    work=$(mktemp -d)
    if "$target" -max_total_time="$seconds" -max_len=20000 -print_final_stats=0 \
        -artifact_prefix="$build/fuzz/$name-" "$work" "$corpus" >"$build/fuzz/$name.log" 2>&1; then
        echo "$name: ok"
    else
        echo "$name: FAILED (see $build/fuzz/$name.log)"
        tail -n 30 "$build/fuzz/$name.log"
        failed=1
    fi
    rm -rf "$work"
done
exit $failed
