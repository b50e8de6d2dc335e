#!/usr/bin/env bash
# Fails when a C++ file differs from what clang-format makes of it (the style of .clang-format),
# and names the command that fixes it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.inc' ':!:tests/system/*' 2>/dev/null ||
  find src apps tools tests bench fuzz -name '*.cpp' -o -name '*.h')
bad=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -ne 0 ]; then
  echo "not formatted: ${bad[*]}" >&2
  echo "fix with: clang-format -i ${bad[*]}" >&2
  exit 1
fi
