#!/usr/bin/env bash
# Prints the path of a native authoring tool (ih-catalogue, ih-checksum),
# building it in the native preset first when it is not there.
# Usage: native-tool.sh NAME
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tool=$root/build/native/tools/authoring/$1
if [ ! -x "$tool" ]; then
  (cd "$root" && cmake --preset native >/dev/null && cmake --build --preset native --target "$1" >/dev/null) ||
    { echo "native-tool.sh: $1 could not be built" >&2; exit 1; }
fi
echo "$tool"
