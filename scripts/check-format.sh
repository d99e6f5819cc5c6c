#!/usr/bin/env bash
# Checks that every C++ source follows .clang-format (clang-format 14, as Debian 12 has it) and
# names the files that do not. Fix them with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
bad=()
while IFS= read -r f; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done < <(git ls-files '*.cpp' '*.h' | grep -v '^fuzz/regressions/\|^fuzz/seeds/')
if ((${#bad[@]})); then
  echo "not formatted as .clang-format says (clang-format -i fixes them):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "formatting: every source as .clang-format says"
