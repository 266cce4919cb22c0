#!/usr/bin/env bash
# End to end: the reference package (package/build.sh) installed and removed
# with Wine's msiexec, every InstallerHelper action scheduled as a product's
# package schedules it. QMXNOGROUPS=1 leaves out the group actions, which
# Wine's account functions cannot carry; an installation without it fails in
# CreateUserGroups and must roll back through the rollback actions.
# Checks the installer's log, the action log and the effects, not only exit codes.
# Usage: reference-package.sh ARCH DLL FIXTURES-FOLDER WORKDIR   (WINEPREFIX names a prepared prefix)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
arch=$1 dll=$2 fixtures=$3 work=$4
e2e_start "$arch"

rm -rf "$work"
IH_DLL=$dll IH_ENGINE=$fixtures/TestEngine.dll "$here/../../package/build.sh" "$arch" "$work" >/dev/null ||
  { echo "FAIL: the reference package could not be built"; exit 1; }
package=$(e2e_windows_path "$work/Kestro.msi")
folder=$(e2e_install_folder "$arch" "Kestro/Kestro Anti-Virus")
drive="$WINEPREFIX/drive_c"
data="$drive/ProgramData/Kestro"
temp=$(dirname "$(e2e_action_log)")
marker="$temp/KestroRebootTest.txt"
scripts_ran="$temp/Kestro Anti-Virus scripts.txt"
# The machine's own drivers folder, also from a 32-bit process (InstallUnsignedDrivers
# turns the file-system redirection off).
drivers="$drive/windows/system32/drivers"
services='HKLM\SYSTEM\CurrentControlSet\Services'
product_key='HKLM\SOFTWARE\Kestro\QMXService'
session='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager'
renames() { "$(wine_loader x64)" reg query "$session" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r'; }
before_renames=$(renames)

# Wine's installer log names a deferred or rollback action once when it is
# written into the script and once more when the script runs it.
starts() { grep -cE "^Action start .*: $1\.\$" "$work/msiexec.log"; }
ends() { grep -cE "^Action ended .*: $1\. Return value $2\.\$" "$work/msiexec.log"; }
ran_in_script() { [ "$(ends "$1" 1)" = 2 ] && [ "$(ends "$1" '[^1]')" = 0 ]; }
only_scheduled() { [ "$(starts "$1")" = 1 ]; }
not_scheduled() { [ "$(starts "$1")" = 0 ]; }
failed_in_script() { [ "$(ends "$1" '[^1]')" = 1 ]; }
logged() { grep -qxF "$1" <(e2e_log_text); }
scripts() { tr -d '\r' < "$scripts_ran" 2>/dev/null | sed 's/ *$//' | paste -sd, -; }
# reg_value KEY NAME: the value's type and data ("REG_DWORD 0x2"); empty when it is missing.
reg_value() { e2e_reg "$arch" query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -nE "s/^ +$2 +(REG_[A-Z_]+) +(.*)\$/\1 \2/p"; }
same_file() { cmp -s "$1" "$2"; }
clean_machine() {
  # Only an installed product: Wine's msiexec /x of one that is not installed
  # runs the whole sequence, installation and removal conditions alike.
  [ -e "$folder/QMX.exe" ] && e2e_msiexec "$arch" "$work" /x "$package" >/dev/null
  for service in "QMXOnAccess Filter" "QMXOnAccess Control" QMXService QMXAdminService; do
    timeout 60 "$(wine_loader x64)" sc delete "$service" >/dev/null 2>&1
    e2e_reg "$arch" delete "$services\\$service" /f >/dev/null 2>&1
  done
  e2e_reg "$arch" delete "$product_key" /f >/dev/null 2>&1
  rm -rf "$(dirname "$folder")" "$data"
  rm -f "$marker" "$scripts_ran" "$drivers/qmxonaccessfilter.sys" "$drivers/qmxonaccesscontrol.sys"
}
clean_machine
rm -f "$(e2e_action_log)"

echo "== $arch: installation (QMXNOGROUPS=1)"
code=$(e2e_msiexec "$arch" "$work" /i "$package" QMXNOGROUPS=1)
check "msiexec succeeds (exit status $code)" test "$code" = 0
for action in PreInstallChecks SetDriverProperty ReadCatalog RunBeforeScripts; do
  check "the installer ran $action and saw it succeed" action_succeeded "$work/msiexec.log" "$action"
done
for action in SetQMXAdminUpdateBegin SetUpdateBegin CloseQmxMainWindow UpdateQmxAdapterDll UpdateQMXI CopyOtherFiles \
              InstallUnsignedDrivers ConfigureQMX SetFolderPermissions SetServiceSecurity SetServiceXP StartDriverServices \
              RunPreLaunchScripts InstallSecurityCenter SetUpdateFinished SetInstallationComplete \
              SetQMXAdminUpdateComplete RunAfterScripts; do
  check "the script ran $action and saw it succeed" ran_in_script "$action"
done
for action in RunErrorScripts SetUpdateFailed RollbackDeleteService; do
  check "the rollback action $action was written into the script, not run" only_scheduled "$action"
done
for action in CreateUserGroups SetAdminGroupDescription SetPowerGroupDescription SetUserGroupDescription \
              SetOnAccessGroupDescription RemoveQMXI DeleteOtherFiles; do
  check "$action is left out" not_scheduled "$action"
done
check "ReadCatalog found no earlier catalogue" logged "No catalog file was found - doing a full update"
check "SetDriverProperty chose the AMD64 set" logged "Setting the DriverProperty to AMD64"
check "the script stages ran in order with the version (ran: $(scripts))" \
  test "$(scripts)" = "before 1.0.0,prelaunch 1.0.0,after 1.0.0"
check "the scripts are recorded" e2e_reg "$arch" query "$product_key\\ScriptCheck" /v after.cmd
check "UpdateQMXI installed the engine" same_file "$work/QMXI.dll" "$folder/QMXI.dll"
check "and registered it" grep -q '^DllRegisterServer ' "$folder/engine-calls.txt"
check "UpdateQMXI reported success" logged "QMXI dll was installed successfully"
check "CopyOtherFiles installed the package's catalogue" same_file "$work/cidsync.upd" "$folder/cidsync.upd"
check "and the driver description" same_file "$work/WinXP_i386/QMXONACCESSDRIV.INF" "$folder/QMXONACCESSDRIV.INF"
check "InstallUnsignedDrivers copied the AMD64 set's drivers" \
  same_file "$work/WinXP_AMD64/qmxonaccesscontrol.sys" "$drivers/qmxonaccesscontrol.sys"
check "and created the filter driver's service" e2e_reg "$arch" query "$services\\QMXOnAccess Filter" /v ImagePath
check "ConfigureQMX found no policy on the reference media" logged "Error opening the QMX policy files: 2. Unable to apply policy"
account=$(reg_value "$services\\QMXService" ObjectName)
check "SetServiceXP made QMXService run as the local service ($account)" test "$account" = 'REG_SZ NT AUTHORITY\LocalService'
check "SetFolderPermissions gave the configuration files their rights" \
  logged "We are running on XP or higher - adding LocalService to permissions on config files"
state=$(reg_value "$product_key\\UpdateStatus" UpdateState)
check "the administrative update ended with UpdateState 2 ($state)" test "$state" = "REG_DWORD 0x2"

echo "== $arch: removal"
rm -f "$(e2e_action_log)"
code=$(e2e_msiexec "$arch" "$work" /x "$package")
check "msiexec succeeds (exit status $code)" test "$code" = 0
# Before any other Wine program starts the next session, which carries out the restart's deletions.
check "DeleteOtherFiles left the restart marker" test -e "$marker"
for action in CloseQmxMainWindow UninstallSecurityCenter RemoveQMXI DeleteUserGroups DeleteDriverKeys \
              DeleteIDEs DeleteOtherFiles ForceDeleteFiles; do
  check "the script ran $action and saw it succeed" ran_in_script "$action"
done
for action in ReadCatalog UpdateQMXI RunAfterScripts; do check "$action is left out" not_scheduled "$action"; done
check "RemoveQMXI deleted the engine" test ! -e "$folder/QMXI.dll"
check "and reported it" logged "QMXI dll uninstalled successfully"
check "DeleteUserGroups deleted the local groups" logged "Attempting to delete local user groups"
check "DeleteDriverKeys removed the drivers' service keys" absent e2e_reg "$arch" query "$services\\QMXOnAccess Filter"
check "DeleteOtherFiles removed the copied catalogue" test ! -e "$folder/cidsync.upd"
check "ForceDeleteFiles removed the product's key" absent e2e_reg "$arch" query "$product_key"

echo "== $arch: an installation that fails in CreateUserGroups rolls back"
rm -f "$marker" "$scripts_ran" "$(e2e_action_log)"
code=$(e2e_msiexec "$arch" "$work" /i "$package")
check "msiexec ends with 1603 (exit status $code)" test "$code" = $((1603 & 255))
check "CreateUserGroups failed" failed_in_script CreateUserGroups
check "with the machine file's fatal line" logged "Unable to create add local group SIDs to machine file."
check "the error stage ran after the before-installation stage (ran: $(scripts))" \
  test "$(scripts)" = "before 1.0.0,error 1.0.0"
state=$(reg_value "$product_key\\UpdateStatus" UpdateState)
check "SetUpdateFailed reset UpdateState ($state)" test "$state" = "REG_DWORD 0x0"
for action in RollbackDeleteService SetUpdateFailed RunErrorScripts; do
  check "the rollback ran $action" ran_in_script "$action"
done
for action in SetServiceXP RunPreLaunchScripts RunAfterScripts; do
  check "$action, after the failure, did not run" only_scheduled "$action"
done
check "the product's service is gone" absent e2e_reg "$arch" query "$services\\QMXService"
check "the product's files are gone" test ! -e "$folder/QMX.exe"

clean_machine
rm -f "$(e2e_action_log)"
if [ -z "$before_renames" ]; then
  "$(wine_loader x64)" reg delete "$session" /v PendingFileRenameOperations /f >/dev/null 2>&1
fi
e2e_summary "$arch reference package"
