#!/usr/bin/env bash
# End to end: a wixl package is installed, the machine is given the product's
# left-overs (engine and data files, product data, per-user configuration,
# registry keys, shortcuts), and the package is uninstalled with Wine's
# msiexec, which runs DeleteOtherFiles, ForceDeleteFiles and DeleteIDEs.
# Checks the effects and the installer's log, not only exit codes.
# Usage: cleanup.sh ARCH DLL WORKDIR   (WINEPREFIX names a prepared prefix)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
arch=$1 dll=$2 work=$3
e2e_start "$arch"

e2e_build_package "$arch" "$dll" "$work" Cleanup.wxs || { echo "FAIL: the package could not be built"; exit 1; }
package=$(e2e_windows_path "$work/package.msi")
parent=$(dirname "$(e2e_install_folder "$arch" x)")/"Kestro Cleanup Test"
folder="$parent/Kestro Anti-Virus"
drive="$WINEPREFIX/drive_c"
data="$drive/ProgramData/Kestro/Kestro Anti-Virus"
shortcuts="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Kestro/Kestro Anti-Virus"
profile="$drive/users/IhE2eProfile"
user_config="$profile/Local Settings/Application Data/Kestro/Kestro Anti-Virus/Config"
# The restart marker: its pending-rename record does not outlive msiexec here,
# because e2e_msiexec waits for the Wine session to end and the next session's
# start (wineboot) carries out the restart-time work, as a restart would. So a
# marker planted before the uninstallation must be gone after a restart.
marker="$(dirname "$(e2e_action_log)")/KestroRebootTest.txt"
session='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager'
renames() { "$(wine_loader x64)" reg query "$session" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r'; }
before_renames=$(renames)

rm -rf "$parent" "$drive/ProgramData/Kestro" "$shortcuts" "$profile"
rm -f "$(e2e_action_log)" "$marker"

echo "== $arch: install, then leave what the product leaves behind"
code=$(e2e_msiexec "$arch" "$work" /i "$package")
check "msiexec installs (exit status $code)" test "$code" = 0
for name in engine.IDE main.DAT daily.vdb cidsync.upd QMXONACCESSDRIV.INF Zorl.dll KMTQ.dll ConfigureQMX.exe \
            msvcp71.dll msvcr71.dll; do
  printf 'left over\n' > "$folder/$name"
done
mkdir -p "$data/Config" "$data/logs" "$data/Infected" "$shortcuts" "$user_config"
printf '<machine/>\n' > "$data/Config/Machine.xml"
printf 'log\n' > "$data/logs/QMX20261210.txt"
printf 'kept\n' > "$data/logs/other.txt"
printf 'quarantined\n' > "$data/Infected/sample.bin"
printf 'shortcut\n' > "$shortcuts/Kestro Anti-Virus.lnk"
printf '<user/>\n' > "$user_config/User.xml"
e2e_reg "$arch" add 'HKLM\SOFTWARE\Kestro\QMXService\ScriptCheck' /v run.bat /t REG_DWORD /d 1 /f >/dev/null
e2e_reg "$arch" add 'HKLM\Software\Kestro\Corvane\ManagementAgent\Adapters\QMX' /v Path /d x /f >/dev/null
e2e_reg "$arch" add 'HKCU\SOFTWARE\Kestro\Kestro Anti-Virus\Settings' /v Shown /d 1 /f >/dev/null

# Anyone may create files in the temporary folder: a marker found there is
# scheduled for deletion at restart like one the action creates.
printf 'planted\n' > "$marker"

echo "== $arch: uninstall"
code=$(e2e_msiexec "$arch" "$work" /x "$package")
check "msiexec uninstalls (exit status $code)" test "$code" = 0
# Before any other Wine program starts the next session.
check "the planted marker is left in place until the restart" test -e "$marker"
for action in DeleteIDEs DeleteOtherFiles ForceDeleteFiles; do
  check "the installer ran $action and saw it succeed" action_succeeded "$work/msiexec.log" "$action"
done
for name in engine.IDE main.DAT daily.vdb cidsync.upd QMXONACCESSDRIV.INF Zorl.dll KMTQ.dll ConfigureQMX.exe \
            msvcp71.dll msvcr71.dll; do
  check "$name is gone" test ! -e "$folder/$name"
done
check "the installation folder is empty" test -z "$(ls -A "$folder" 2>/dev/null)"
check "the machine file is gone" test ! -e "$data/Config/Machine.xml"
check "the product's logs are gone" test ! -e "$data/logs/QMX20261210.txt"
check "other logs are kept" test -e "$data/logs/other.txt"
check "the quarantine is emptied and removed" test ! -e "$data/Infected"
check "the shortcuts folder is gone" test ! -e "$shortcuts"
check "another user's configuration is gone" test ! -e "$user_config/User.xml"
check "the service key is gone" absent e2e_reg "$arch" query 'HKLM\SOFTWARE\Kestro\QMXService'
check "the adapter registration is gone" absent e2e_reg "$arch" query 'HKLM\Software\Kestro\Corvane\ManagementAgent\Adapters\QMX'
check "the per-user key is gone" absent e2e_reg "$arch" query 'HKCU\SOFTWARE\Kestro\Kestro Anti-Virus'
check "the action log names the deleted data files" grep -qF 'Attempting to delete file: ' <<<"$(e2e_log_text)"
check "the action log says nothing went wrong with the product's files" \
  absent grep -E 'Error deleting file: .*(IDE|DAT|vdb|xml|txt|bin|lnk) with' <<<"$(e2e_log_text)"
check "the action log reports no failure to schedule the marker's deletion" \
  absent grep -F 'Unable to schedule the deletion of' <<<"$(e2e_log_text)"
timeout 60 "$(wine_loader x64)" wineboot -r >/dev/null 2>&1
timeout 60 "$(wine_server)" -w
check "the restart deleted the planted marker" test ! -e "$marker"

# Leave the prefix as it was: no marker to block later installations, no
# restart work of this test's.
rm -f "$marker"
rm -rf "$parent" "$drive/ProgramData/Kestro" "$shortcuts" "$profile"
# The windows tests leave no restart work behind, so an empty record before
# this test means it can go again.
if [ -z "$before_renames" ]; then
  "$(wine_loader x64)" reg delete "$session" /v PendingFileRenameOperations /f >/dev/null 2>&1
fi
e2e_summary "$arch clean-up"
