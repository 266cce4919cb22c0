#!/usr/bin/env bash
# End to end: the update-state notices of the built DLL in a wixl package run
# by Wine's msiexec, with the component manager fixture registered in the
# prefix under the product's class (in the package's registry view). Checks
# what the fixture recorded, the update-state value and the action log.
# Usage: notices.sh ARCH DLL FIXTURES WORKDIR   (WINEPREFIX names a prepared prefix)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
arch=$1 dll=$2 fixtures=$3 work=$4
e2e_start "$arch"

class='HKLM\Software\Classes\CLSID\{D2B7A809-15DC-40B4-A1E1-C61EA97191DB}'
control='HKCU\Software\Kestro Tests\ComponentManager'
service='HKLM\Software\Kestro\QMXService'
status="$service\\UpdateStatus"
e2e_build_package "$arch" "$dll" "$work" Notices.wxs || { echo "FAIL: the package could not be built"; exit 1; }
package=$(e2e_windows_path "$work/package.msi")
record="$work/calls.txt"

# The prefix has no such class; one left by an interrupted run goes first.
e2e_reg "$arch" delete "$class" /f >/dev/null 2>&1
e2e_reg "$arch" delete "$status" /f >/dev/null 2>&1
# The service's key is the product's; the administrative update makes the
# update-status key below it.
had_service=no
e2e_reg "$arch" query "$service" >/dev/null 2>&1 && had_service=yes
e2e_reg "$arch" add "$service" /f >/dev/null
e2e_reg "$arch" add "$class\\InprocServer32" /ve /d "$(e2e_windows_path "$fixtures/ComponentManager.dll")" /f >/dev/null
e2e_reg "$arch" add "$class\\InprocServer32" /v ThreadingModel /d Both /f >/dev/null
e2e_reg "$arch" add "$control" /v Record /d "$(e2e_windows_path "$record")" /f >/dev/null
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
  grep -qE 'UpdateState +REG_DWORD +0x0*2$' <(e2e_reg "$arch" query "$status" /v UpdateState | tr -d '\r')
check "the action log holds no failure" test -z "$(e2e_log_text)"

echo "== $arch: the removal runs no notice"
rm -f "$record"
code=$(e2e_msiexec "$arch" "$work" /x "$package")
check "msiexec uninstalls (exit status $code)" test "$code" = 0
check "the component received nothing" test ! -s "$record"

# Leave the prefix as it was.
e2e_reg "$arch" delete "$class" /f >/dev/null 2>&1
e2e_reg "$arch" delete "$status" /f >/dev/null 2>&1
e2e_reg "$arch" delete 'HKCU\Software\Kestro Tests\ComponentManager' /f >/dev/null 2>&1
[ "$had_service" = yes ] || e2e_reg "$arch" delete "$service" /f >/dev/null 2>&1
e2e_summary "$arch notices"
