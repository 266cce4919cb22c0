#!/usr/bin/env bash
# The main job: builds InstallerHelper.dll for x64 and x86, then installs small
# demo packages with Wine's msiexec and shows the action log and what changed
# on the machine: the other-files package once with broken action data and
# once with good data, and the scripts package twice (the second installation
# skips the scripts the first one recorded).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash tools/setup.sh
. tests/e2e/package.sh

for preset in x64 x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target InstallerHelper >/dev/null
  echo "built build/$preset/src/InstallerHelper.dll ($(stat -c %s "build/$preset/src/InstallerHelper.dll") bytes)"
done

export WINEPREFIX=$root/build/demo/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
tests/wine/prepare-prefix.sh x64

show_log() {
  local log
  log=$(e2e_action_log)
  echo "--- action log ($log):"
  if [ -s "$log" ]; then iconv -f UTF-16LE -t UTF-8 "$log" | tr -d '\r' | sed 's/^/    /'; else echo "    (no entries)"; fi
}
show_machine() {
  local arch=$1 folder
  folder=$(e2e_install_folder "$arch")
  echo "--- installation folder ($folder):"
  if [ -d "$folder" ]; then ls -1 "$folder" | sed 's/^/    /'; else echo "    (absent)"; fi
  local key='HKLM\Software\Kestro\Corvane\ManagementAgent\Adapters'
  echo "--- registry:"
  for name in "$key" "$key\QMX"; do
    if e2e_reg "$arch" query "$name" >/dev/null; then echo "    $name: present"; else echo "    $name: absent"; fi
  done
}

for arch in x64 x86; do
  echo
  echo "===== $arch package"
  if ! wine_usable "$arch"; then
    echo "Wine cannot run $arch programs on this machine ($(wine_loader "$arch") does not start); skipped."
    continue
  fi
  work=$root/build/demo/$arch
  e2e_prepare "$arch" "build/$arch/src/InstallerHelper.dll" "$work"
  rm -rf "$(e2e_install_folder "$arch")"; rm -f "$(e2e_action_log)"
  e2e_reg "$arch" delete 'HKLM\Software\Kestro\Corvane' /f >/dev/null || true

  echo "== msiexec /i package.msi BREAK_COPY=1  (CopyOtherFiles gets one field)"
  echo "exit status: $(e2e_msiexec "$arch" "$work" /i "$(e2e_windows_path "$work/package.msi")" BREAK_COPY=1) (1603 & 255 = 67)"
  show_log
  show_machine "$arch"

  echo "== msiexec /i package.msi  (the adapter pause takes 10 s)"
  echo "exit status: $(e2e_msiexec "$arch" "$work" /i "$(e2e_windows_path "$work/package.msi")")"
  show_log
  show_machine "$arch"
  e2e_msiexec "$arch" "$work" /x "$(e2e_windows_path "$work/package.msi")" >/dev/null

  scripts=$root/build/demo/$arch-scripts
  e2e_build_package "$arch" "build/$arch/src/InstallerHelper.dll" "$scripts" Scripts.wxs
  printf '[Scripts]\r\nBeforeScript=%%ScriptPath%%\\before.bat %%QmxVersion%%\r\nAfterScript=[2]%%ScriptPath%%\\after.bat\r\n' \
    > "$scripts/QMX.CFG"
  printf '@echo before %%1 ran>>"%%~dp0runs.txt"\r\n' > "$scripts/before.bat"
  printf '@echo after ran>>"%%~dp0runs.txt"\r\n' > "$scripts/after.bat"
  e2e_reg "$arch" delete 'HKLM\SOFTWARE\Kestro\QMXService' /f >/dev/null || true
  echo "--- QMX.CFG:"; tr -d '\r' < "$scripts/QMX.CFG" | sed 's/^/    /'
  for attempt in first second; do
    echo "== scripts package, $attempt installation"
    echo "exit status: $(e2e_msiexec "$arch" "$scripts" /i "$(e2e_windows_path "$scripts/package.msi")")"
    echo "--- what the scripts wrote so far (runs.txt):"; tr -d '\r' < "$scripts/runs.txt" | sed 's/^/    /'
    echo "--- run records (HKLM\SOFTWARE\Kestro\QMXService\ScriptCheck):"
    e2e_reg "$arch" query 'HKLM\SOFTWARE\Kestro\QMXService\ScriptCheck' | grep REG_DWORD | sed 's/^ */    /'
    e2e_msiexec "$arch" "$scripts" /x "$(e2e_windows_path "$scripts/package.msi")" >/dev/null
  done
done
