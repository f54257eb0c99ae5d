#!/usr/bin/env bash
# Our C++ sources must match .clang-format.
set -euo pipefail
files=$(git ls-files '*.cpp' '*.h' | grep -v -E '(^|/)data/' || true)
[ -z "$files" ] && exit 0
echo "$files" | xargs clang-format --dry-run --Werror
