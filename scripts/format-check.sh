#!/usr/bin/env bash
# Fails if clang-format would change any tracked C++ source (see .clang-format).
set -euo pipefail
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    files=$(git ls-files '*.cpp' '*.h')
else
    files=$(find . -path "./build*" -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
cf=$(command -v clang-format-14 || command -v clang-format)
echo "format check: $("$cf" --version)"
# shellcheck disable=SC2086
if ! printf '%s\n' $files | xargs "$cf" --dry-run -Werror; then
    echo "format check: run  git ls-files '*.cpp' '*.h' | xargs clang-format -i" >&2
    exit 1
fi
echo "format check: $(printf '%s\n' $files | wc -l) files formatted"
