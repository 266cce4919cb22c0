#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds the native tests and
# both DLLs, and runs ctest for each (native unit tests under the sanitizers;
# in-process Windows tests, the DLL table check and the end-to-end packages
# under Wine, for x64 and x86).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

status=0
for preset in native x64 x86; do
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" || status=1
done
exit $status
