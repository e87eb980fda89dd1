#!/usr/bin/env bash
# Fails when a C++ source file differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find apps cli config engine fuzz platform profile tests vocabulary wizard -name '*.cpp' -o -name '*.h' 2>/dev/null | sort)
clang-format --dry-run --Werror "${files[@]}"
echo "check-format: ${#files[@]} files formatted"
