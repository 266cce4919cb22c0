#!/usr/bin/env bash
# clang-tidy over the native build, with the checks of .clang-tidy; any
# finding fails. Usage: tidy.sh BUILD_DIR [JOBS]   (BUILD_DIR holds
# compile_commands.json; JOBS defaults to 2)
# Several targets compile the same source (the fuzzers recompile the parsers
# with their own flags), and clang-tidy checks a file once per compile command,
# so each source is checked once, with the first command the build lists.
set -euo pipefail
build=${1:?usage: tidy.sh BUILD_DIR [JOBS]} jobs=${2:-2}
tidy=$(command -v clang-tidy-14 || command -v clang-tidy) || { echo "tidy: clang-tidy is not installed (tools/setup.sh)" >&2; exit 1; }
[ -f "$build/compile_commands.json" ] || { echo "tidy: no $build/compile_commands.json; configure the build first" >&2; exit 1; }

database=$(mktemp -d)
trap 'rm -rf "$database"' EXIT
python3 - "$build/compile_commands.json" "$database/compile_commands.json" <<'PY'
import json, sys
seen, unique = set(), []
for command in json.load(open(sys.argv[1])):
    if command["file"] not in seen:
        seen.add(command["file"])
        unique.append(command)
json.dump(unique, open(sys.argv[2], "w"))
print("\n".join(c["file"] for c in unique), file=open(sys.argv[2] + ".files", "w"))
PY

# xargs exits 123 when any run reported a finding (all are errors).
status=0
xargs -P "$jobs" -n 1 "$tidy" --quiet -p "$database" < "$database/compile_commands.json.files" \
  > "$database/findings" 2>&1 || status=$?
grep -v '^[0-9]* warnings\? generated\.$' "$database/findings" || true
if [ "$status" != 0 ]; then
  echo "tidy: findings above (exit $status)"
  exit 1
fi
echo "tidy: $(wc -l < "$database/compile_commands.json.files") sources, no findings"
