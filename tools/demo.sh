#!/usr/bin/env bash
# The main job: the product's lifecycle under Wine, with the reference package
# (tools/lifecycle/lifecycle.sh): install, an engine-only update while engine
# clients hold the engine, a full update, and the removal, each step reported
# with the actions that ran, their log lines, what changed on the machine and
# the step's time. Builds what it needs first (the native catalogue tool, both
# DLLs and the engine fixtures), and runs each architecture this machine can
# run on a fresh Wine prefix. Full logs: build/demo/ARCH/logs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash tools/setup.sh
. tests/wine/wine.sh

echo "building the catalogue tool, both DLLs and the engine fixtures (some minutes the first time)..."
catalogue=$(tools/authoring/native-tool.sh ih-catalogue)
for preset in x64 x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target InstallerHelper TestEngine engine_client scan_scheduler >/dev/null
  echo "built build/$preset/src/InstallerHelper.dll ($(stat -c %s "build/$preset/src/InstallerHelper.dll") bytes)"
done

status=0
for arch in x64 x86; do
  echo
  echo "=============== $arch"
  mode=$(wine_mode "$arch") || { echo "Wine cannot run here: $mode"; status=1; continue; }
  if [ "$mode" != native ]; then
    # Under emulation an installation's many processes take too long to show.
    echo "skipped: this machine does not start 32-bit programs itself (${mode#cannot: })"
    continue
  fi
  work=$root/build/demo/$arch
  rm -rf "$work"
  mkdir -p "$work"
  export WINEPREFIX=$work/prefix
  echo "preparing a fresh Wine prefix ($WINEPREFIX)..."
  tests/wine/prepare-prefix.sh "$arch" >/dev/null
  IH_CATALOGUE=$catalogue tools/lifecycle/lifecycle.sh "$arch" "build/$arch/src/InstallerHelper.dll" \
    "build/$arch/tests/windows/fixtures" "$work/run" || status=1
done
exit $status
