#!/usr/bin/env bash
# Checks every tracked C++ source against the project's .clang-format; prints the differences and
# fails when a file is not formatted. To format: clang-format -i <files>.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ ${#files[@]} -eq 0 ]; then
  exit 0
fi
clang-format --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files checked"
