#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds the native tests and
# both DLLs, and runs ctest for each (native unit tests under the sanitizers;
# in-process Windows tests, the DLL table check and the end-to-end packages
# under Wine, for x64 and x86). Ends with one summary line per level and
# architecture and "N passed, N failed, N skipped" on the last line.
set -uo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh || exit 1

reports=()
for preset in native x64 x86; do
  echo "=== $preset"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
    echo "FAIL: the $preset build failed"
    reports+=("$preset=build-failed")
    continue
  fi
  report="build/$preset/ctest-report.xml"
  rm -f "$report"
  ctest --preset "$preset" --output-junit "$PWD/$report"
  reports+=("$preset=$report")
done
exec python3 tools/test-summary.py "${reports[@]}"
