#!/usr/bin/env bash
# Formats the project's C and C++ sources with .clang-format.
# Usage: format.sh           formats every tracked source in place
#        format.sh --check   lists the sources that would change; exit 1 if any
# The generated substitution tables are left as their generator writes them
# (the substitution_tables_reproducible test compares them byte for byte).
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || command -v clang-format) || { echo "format: clang-format is not installed (tools/setup.sh)" >&2; exit 1; }

mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h' | grep -vx 'src/crypto/SubstitutionTables.h')

if [ "${1:-}" != --check ]; then
  "$format" -i "${sources[@]}"
  exit 0
fi
differ=0
for source in "${sources[@]}"; do
  if ! "$format" "$source" | cmp -s - "$source"; then
    echo "$source"
    differ=1
  fi
done
exit "$differ"
