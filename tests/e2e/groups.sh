#!/usr/bin/env bash
# End to end: the product group actions of the built DLL in a wixl package run
# by Wine's msiexec. Wine's account look-ups know no product group, so
# CreateUserGroups must fail on the machine file and the installation must
# roll back; a description action and DeleteUserGroups succeed.
# Usage: groups.sh ARCH DLL WORKDIR   (WINEPREFIX names a prepared prefix)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
arch=$1 dll=$2 work=$3
e2e_start "$arch"

onaccess='HKLM\SYSTEM\CurrentControlSet\Services\QMXOnAccess Control'
marker='HKLM\Software\Kestro\GroupsTest'
e2e_build_package "$arch" "$dll" "$work" Groups.wxs || { echo "FAIL: the package could not be built"; exit 1; }
package=$(e2e_windows_path "$work/package.msi")
folder=$(e2e_install_folder "$arch" "Kestro Groups Test")
rm -rf "$folder"
rm -f "$(e2e_action_log)"
e2e_reg "$arch" delete "$marker" /f >/dev/null

echo "== $arch: CreateUserGroups fails on Wine's look-ups and the installation rolls back"
code=$(e2e_msiexec "$arch" "$work" /i "$package" CREATEGROUPS=1)
check "msiexec ends with 1603 (exit status $code)" test "$code" = $((1603 & 255))
check "the action log holds the machine file's fatal line" \
  test "$(e2e_log_text)" = "Unable to create add local group SIDs to machine file."
check "the machine file was rolled back" test ! -e "$folder/Config/Machine.xml"
check "the package's registry value was rolled back" absent e2e_reg "$arch" query "$marker"

echo "== $arch: a description and DeleteUserGroups"
rm -f "$(e2e_action_log)"
e2e_reg "$arch" add "$onaccess" /v QMXOnAccessSid /t REG_BINARY /d 0105 /f >/dev/null
code=$(e2e_msiexec "$arch" "$work" /i "$package")
check "msiexec succeeds (exit status $code)" test "$code" = 0
check "the installer ran SetUserGroupDescription and saw it succeed" action_succeeded "$work/msiexec.log" SetUserGroupDescription
check "the installer ran DeleteUserGroups and saw it succeed" action_succeeded "$work/msiexec.log" DeleteUserGroups
check "DeleteUserGroups asked for the join status first" test "$(e2e_log_text | head -n 1)" = "CAlling NetGetJoinInformation"
check "and deleted the local groups" grep -qx "Attempting to delete local user groups" <(e2e_log_text)
check "the on-access identifier value is gone" absent e2e_reg "$arch" query "$onaccess" /v QMXOnAccessSid
check "its key stays" e2e_reg "$arch" query "$onaccess"

e2e_msiexec "$arch" "$work" /x "$package" >/dev/null
e2e_reg "$arch" delete "$onaccess" /f >/dev/null
rm -rf "$folder"
e2e_summary "$arch groups"
