#!/usr/bin/env bash
# End to end: the update-state notices of the built DLL in a wixl package run
# by Wine's msiexec, with the component manager fixture registered in the
# prefix under the product's class and the WMI locator fixture in place of
# Wine's locator (both in the package's registry view). Checks what the
# fixtures recorded and stored, the update-state value and the action log.
# Usage: notices.sh ARCH DLL FIXTURES WORKDIR   (WINEPREFIX names a prepared prefix)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
arch=$1 dll=$2 fixtures=$3 work=$4
e2e_start "$arch"

manager='{D2B7A809-15DC-40B4-A1E1-C61EA97191DB}'
locator='{4590F811-1D3A-11D0-891F-00AA004B2E24}'
control='HKCU\Software\Kestro Tests\ComponentManager'
wmi='HKCU\Software\Kestro Tests\WMI'
instance="$wmi\\Instances\\{3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD}"
service='HKLM\Software\Kestro\QMXService'
status="$service\\UpdateStatus"
# wixl writes Execute="rollback" as an immediate action; the type is set in
# the built package: a DLL from the Binary table (1), rollback (0x100), in the
# script (0x400), not impersonated (0x800).
rollback_type=$((1 | 0x100 | 0x400 | 0x800))
(e2e_build_package "$arch" "$dll" "$work" Notices.wxs &&
  msibuild "$work/package.msi" -q "UPDATE \`CustomAction\` SET \`Type\` = $rollback_type WHERE \`Action\` = 'SetUpdateFailed'") ||
  { echo "FAIL: the package could not be built"; exit 1; }
package=$(e2e_windows_path "$work/package.msi")
record="$work/calls.txt"

# An interrupted run may have left the fixtures registered.
e2e_restore_com_servers "$arch"
e2e_reg "$arch" delete "$status" /f >/dev/null 2>&1
e2e_reg "$arch" delete "$wmi" /f >/dev/null 2>&1
# The service's key is the product's; the administrative update makes the
# update-status key below it.
had_service=no
e2e_reg "$arch" query "$service" >/dev/null 2>&1 && had_service=yes
e2e_reg "$arch" add "$service" /f >/dev/null
{ e2e_com_server "$arch" "$manager" "$fixtures/ComponentManager.dll" &&
  e2e_com_server "$arch" "$locator" "$fixtures/WmiLocator.dll"; } || { echo "FAIL: the fixtures could not be registered"; exit 1; }
e2e_reg "$arch" add "$control" /v Record /d "$(e2e_windows_path "$record")" /f >/dev/null
e2e_reg "$arch" add "$wmi" /v Record /d "$(e2e_windows_path "$record")" /f >/dev/null
rm -f "$(e2e_action_log)" "$record"

echo "== $arch: an installation runs the notices"
code=$(e2e_msiexec "$arch" "$work" /i "$package")
check "msiexec installs (exit status $code)" test "$code" = 0
for action in SetQMXAdminUpdateBegin SetUpdateBegin SetUpdateFinished SetInstallationComplete \
              SetQMXAdminUpdateComplete; do
  check "the installer ran $action and saw it succeed" action_succeeded "$work/msiexec.log" "$action"
done
# Each notice looks up the component, sets the proxy blanket on the state
# interface and makes its state call; the server is freed after each.
lookup='LookUpComponent SystemInformation 17'
blanket='SetBlanket update-state 0xFFFFFFFF 0xFFFFFFFF (null) 3 3 (null) 0'
unloaded='unloaded with 0 objects alive'
expected=$(printf '%s\n' "$lookup" "$blanket" 'SetUpdateState 1' "$unloaded" \
                         "$lookup" "$blanket" 'SetUpdateState 0' "$unloaded" \
                         "$lookup" "$blanket" 'InitialInstallationComplete' "$unloaded")
recorded=$(tr -d '\r' < "$record" 2>/dev/null)
check "the component received the three notices in order" test "$recorded" = "$expected"
[ "$recorded" = "$expected" ] || { echo "recorded:"; echo "$recorded"; }
check "the update state is the administrative update's end (2)" \
  test "$(e2e_reg_value "$arch" "$status" UpdateState)" = 0x2
check "the action log holds no failure" test -z "$(e2e_log_text)"

echo "== $arch: the removal runs no notice"
rm -f "$record"
code=$(e2e_msiexec "$arch" "$work" /x "$package")
check "msiexec uninstalls (exit status $code)" test "$code" = 0
check "the component received nothing" test ! -s "$record"

echo "== $arch: a failed update runs SetUpdateFailed as its rollback"
# The product is registered with Security Center and scans on access.
e2e_reg "$arch" add "$instance" /v instanceGuid /d '{3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD}' /f >/dev/null
e2e_reg "$arch" add "$instance" /v onAccessScanningEnabled /t REG_DWORD /d 1 /f >/dev/null
e2e_reg "$arch" add "$instance" /v productUptoDate /t REG_DWORD /d 1 /f >/dev/null
rm -f "$record" "$(e2e_action_log)"
code=$(e2e_msiexec "$arch" "$work" /i "$package" FAILUPDATE=1)
check "msiexec ends with 1603 (exit status $code)" test "$code" = $((1603 & 255))
# Wine logs a failed action's return value as 0.
check "the engine update failed" grep -qE "Action ended .*: UpdateQMXI\. Return value [^1]" "$work/msiexec.log"
check "the rollback ran SetUpdateFailed and saw it succeed" \
  grep -qE "Action ended .*: SetUpdateFailed\. Return value 1\." \
    <(sed -n '/Action ended .*: UpdateQMXI\. Return value [^1]/,$p' "$work/msiexec.log")
# The update's begin, then the rollback: Security Center is told that
# on-access scanning is off before the component hears of the failure.
expected=$(printf '%s\n' "$lookup" "$blanket" 'SetUpdateState 1' "$unloaded" \
  'ConnectServer \\.\root\SecurityCenter (null) (null) (null) 0 (null) (null)' \
  'GetObject AntiVirusProduct.instanceGuid="{3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD}" 0' \
  'Put onAccessScanningEnabled 0 BOOL false 0' 'PutInstance 1' \
  "$lookup" "$blanket" 'SetUpdateState 2' "$unloaded" "$unloaded")
recorded=$(tr -d '\r' < "$record" 2>/dev/null)
check "Security Center and then the component were told of the failure" test "$recorded" = "$expected"
[ "$recorded" = "$expected" ] || { echo "recorded:"; echo "$recorded"; }
check "Security Center's instance has on-access scanning off" \
  test "$(e2e_reg_value "$arch" "$instance" onAccessScanningEnabled)" = 0x0
check "and is otherwise unchanged" test "$(e2e_reg_value "$arch" "$instance" productUptoDate)" = 0x1
check "the update state is the failed update's (0)" test "$(e2e_reg_value "$arch" "$status" UpdateState)" = 0x0
# The copy failure's entry quotes the system's text, which ends in a line
# break of its own; anything SetUpdateFailed logged would follow it.
last_entry=$(e2e_log_text | tail -n 2)
check "the action log ends with the engine update's failure: SetUpdateFailed logged nothing" \
  test "${last_entry#Error copying QMXI file (error returned was not ERROR_SHARING_VIOLATION), was: }" != "$last_entry" -a \
       "${last_entry//$'\n'/}" = "$last_entry"
echo "the action log ends: $last_entry"

# Leave the prefix as it was.
check "the prefix's own COM registrations are back" e2e_restore_com_servers "$arch"
e2e_reg "$arch" delete "$status" /f >/dev/null 2>&1
e2e_reg "$arch" delete "$control" /f >/dev/null 2>&1
e2e_reg "$arch" delete "$wmi" /f >/dev/null 2>&1
[ "$had_service" = yes ] || e2e_reg "$arch" delete "$service" /f >/dev/null 2>&1
e2e_summary "$arch notices"
