#!/usr/bin/env bash
# End to end: the Security Center registration of the built DLL in a wixl
# package run by Wine's msiexec. Wine has no Security Center namespace, so the
# WMI locator fixture serves the locator's class in the package's registry
# view for the length of the test, and Wine's own server is put back after.
# Checks what the fixture recorded and stored, the monitoring flag, the action
# log and the installer's results.
# Usage: security-center.sh ARCH DLL FIXTURES WORKDIR   (WINEPREFIX names a prepared prefix)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
arch=$1 dll=$2 fixtures=$3 work=$4
e2e_start "$arch"

locator='{4590F811-1D3A-11D0-891F-00AA004B2E24}'
control='HKCU\Software\Kestro Tests\WMI'
instance="$control\\Instances\\{3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD}"
monitoring='HKLM\SOFTWARE\Microsoft\Security Center\Monitoring\KestroAntiVirus'
path='AntiVirusProduct.instanceGuid="{3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD}"'
connect='ConnectServer \\.\root\SecurityCenter (null) (null) (null) 0 (null) (null)'
unloaded='unloaded with 0 objects alive'
e2e_build_package "$arch" "$dll" "$work" SecurityCenter.wxs || { echo "FAIL: the package could not be built"; exit 1; }
package=$(e2e_windows_path "$work/package.msi")
record="$work/calls.txt"

recorded() { tr -d '\r' < "$record" 2>/dev/null; }
stored() { e2e_reg_values "$arch" "$instance" | sort; }
same() {
  [ "$1" = "$2" ] && return 0
  printf 'expected:\n%s\nseen:\n%s\n' "$2" "$1"
  return 1
}
# run ACTION MSIEXEC-ARGS: msiexec with a fresh record and action log, which
# must end well and see ACTION succeed.
run() {
  local action=$1 code; shift
  rm -f "$record" "$(e2e_action_log)"
  code=$(e2e_msiexec "$arch" "$work" "$@")
  check "msiexec $1 ends well (exit status $code)" test "$code" = 0
  check "the installer ran $action and saw it succeed" action_succeeded "$work/msiexec.log" "$action"
}

# An interrupted run may have left the fixture in place of Wine's server.
e2e_restore_com_servers "$arch"
e2e_reg "$arch" delete "$control" /f >/dev/null 2>&1
e2e_reg "$arch" delete "$monitoring" /f >/dev/null 2>&1
e2e_com_server "$arch" "$locator" "$fixtures/WmiLocator.dll" || { echo "FAIL: the locator fixture could not be registered"; exit 1; }
e2e_reg "$arch" add "$control" /v Record /d "$(e2e_windows_path "$record")" /f >/dev/null

echo "== $arch: the installation registers the product"
run InstallSecurityCenter /i "$package"
check "the locator was asked for the namespace, the instance, the class and a new instance" \
  same "$(recorded)" "$(printf '%s\n' "$connect" "GetObject $path 0" 'GetObject AntiVirusProduct 0' \
    'SpawnInstance 0' 'Put instanceGuid 0 BSTR {3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD} 0' \
    'Put displayName 0 BSTR Kestro Anti-Virus 0' 'Put onAccessScanningEnabled 0 BOOL false 0' \
    'Put productUptoDate 0 BOOL true 0' 'PutInstance 0' "$unloaded")"
check "the stored instance holds the product's four properties" \
  same "$(stored)" "$(printf '%s\n' 'displayName=Kestro Anti-Virus' \
    'instanceGuid={3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD}' 'onAccessScanningEnabled=0x0' 'productUptoDate=0x1')"
check "the action log holds no failure" test -z "$(e2e_log_text)"

echo "== $arch: the removal unregisters it and clears the monitoring flag"
e2e_reg "$arch" add "$monitoring" /v Disablemonitoring /t REG_DWORD /d 1 /f >/dev/null
run UninstallSecurityCenter /x "$package"
check "the locator was asked to delete the instance" \
  same "$(recorded)" "$(printf '%s\n' "$connect" "DeleteInstance $path 0" "$unloaded")"
check "the instance is gone" absent e2e_reg "$arch" query "$instance"
check "the value Disablemonitoring is gone" absent e2e_reg "$arch" query "$monitoring" /v Disablemonitoring
check "the action log holds no failure" test -z "$(e2e_log_text)"

echo "== $arch: without the namespace the installation goes on, and so does the removal"
e2e_reg "$arch" add "$control" /v Fail /d ConnectServer /f >/dev/null
e2e_reg "$arch" add "$control" /v FailWith /t REG_DWORD /d 0x8004100E /f >/dev/null
run InstallSecurityCenter /i "$package"
check "the action log holds the connection's failure" \
  same "$(e2e_log_text)" "Error returned from CWindowsSecurityCenter::Install() was: -2147217394"
check "nothing was registered" absent e2e_reg "$arch" query "$instance"
e2e_reg "$arch" delete "$control" /v Fail /f >/dev/null
run UninstallSecurityCenter /x "$package"
check "the locator was asked to delete the instance" \
  same "$(recorded)" "$(printf '%s\n' "$connect" "DeleteInstance $path 0" "$unloaded")"
check "an instance that is not there is no failure" test -z "$(e2e_log_text)"

# Leave the prefix as it was.
check "Wine's own locator is registered again" e2e_restore_com_servers "$arch"
e2e_reg "$arch" delete "$control" /f >/dev/null 2>&1
e2e_reg "$arch" delete "$monitoring" /f >/dev/null 2>&1
e2e_summary "$arch security center"
