#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what the committed .clang-format
# makes of it, and names the files. Fix with: clang-format -i <file>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
count=$(git ls-files '*.h' '*.cpp' | wc -l)
bad=$(git ls-files -z '*.h' '*.cpp' |
  xargs -0 -P "$(nproc)" -n 16 clang-format --dry-run -Werror 2>&1 |
  sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u || true)
if [[ -n "$bad" ]]; then
  echo "Not formatted with .clang-format (run clang-format -i on them):" >&2
  printf '  %s\n' $bad >&2
  exit 1
fi
echo "Formatting: $count files match .clang-format"
