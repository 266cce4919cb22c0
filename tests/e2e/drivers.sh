#!/usr/bin/env bash
# End to end: the driver actions in a wixl package installed with Wine's
# msiexec. SetDriverProperty chooses the driver set of the source folder for
# this machine (a 64-bit one: a 32-bit package learns it from
# PROCESSOR_ARCHITEW6432) and publishes UPDATEDRIVERS when the set has no
# catalogue; InstallUnsignedDrivers copies the set's drivers into the system's
# driver folder and creates both file-system driver services, which
# StartDriverServices cannot start under Wine. The uninstallation's
# DeleteDriverKeys removes the services' keys and event-log sources from every
# control set. A failing installation's rollback runs RollbackDeleteService,
# which stops and deletes the product's running service (the test_service
# fixture). Checks effects and the installer's log, not only exit codes.
# Usage: drivers.sh ARCH DLL FIXTURES-FOLDER WORKDIR   (WINEPREFIX names a prepared prefix)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
arch=$1 dll=$2 fixtures=$3 work=$4
e2e_start "$arch"

# wixl writes a rollback action as an immediate one; the built row gets the
# in-script and rollback bits (DLL from the Binary table 1 + in-script 1024 +
# rollback 256 + no impersonation 2048).
rollback_type=3329
(e2e_build_package "$arch" "$dll" "$work" Drivers.wxs && cd "$work" &&
  msibuild package.msi -q "UPDATE \`CustomAction\` SET \`Type\` = $rollback_type WHERE \`Action\` = 'RollbackDeleteService'") ||
  { echo "FAIL: the package could not be built"; exit 1; }
package=$(e2e_windows_path "$work/package.msi")
folder=$(e2e_install_folder "$arch" "Kestro Drivers Test")
drivers="$WINEPREFIX/drive_c/windows/system32/drivers"
sc() { timeout 60 "$(wine_loader x64)" sc "$@" >/dev/null 2>&1; }
action_type() { msiinfo export "$work/package.msi" CustomAction | tr -d '\r' | awk -F'\t' -v a="$1" '$1 == a { print $2 }'; }
check "the built rollback action has the rollback type" test "$(action_type RollbackDeleteService)" = "$rollback_type"

# Service keys are read in the 64-bit view, where the Service Control Manager keeps them.
services='HKLM\SYSTEM\CurrentControlSet\Services'
service_value() {  # service_value SERVICE VALUE: the value's data as reg prints it
  timeout 60 "$(wine_loader x64)" reg query "$services\\$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' |
    awk -v v="$2" '$1 == v { sub(/^[[:space:]]*[^[:space:]]+[[:space:]]+[^[:space:]]+[[:space:]]+/, ""); print }'
}
key_exists() { timeout 60 "$(wine_loader x64)" reg query "$1" /reg:64 >/dev/null 2>&1; }
marks='HKLM\Software\Kestro\DriversTest'
published() { e2e_reg "$arch" query "$marks" /v DriverProperties | tr -d '\r' | awk '$1 == "DriverProperties" { print $3 }'; }

# The driver sets of the source folder (the package's own folder): the machine's
# set with and without its catalogue, and the others with theirs.
for set in WinXP_i386 WinXP_AMD64 WinXP_IA64; do
  mkdir -p "$work/$set"
  printf 'filter %s\n' "$set" > "$work/$set/qmxonaccessfilter.sys"
  printf 'control %s\n' "$set" > "$work/$set/qmxonaccesscontrol.sys"
  printf 'catalogue %s\n' "$set" > "$work/$set/qmx.cat"
done

remove_drivers() {
  sc delete "QMXOnAccess Filter"; sc delete "QMXOnAccess Control"; sc delete QMXService
  timeout 60 "$(wine_server)" -w
  rm -f "$drivers/qmxonaccessfilter.sys" "$drivers/qmxonaccesscontrol.sys"
}
remove_drivers
e2e_msiexec "$arch" "$work" /x "$package" >/dev/null
rm -rf "$folder"

# What the log says: the architecture the action was told, and for a 32-bit
# package on this 64-bit machine the machine's own; then the two services that
# Wine cannot start.
expected_log() {
  case "$arch" in
    x64) echo "PROCESSOR_ARCHITECTURE environment variable is: AMD64" ;;
    x86) echo "PROCESSOR_ARCHITECTURE environment variable is: x86"
         echo "PROCESSOR_ARCHITEW6432 environment variable is: AMD64" ;;
  esac
  echo "Setting the DriverProperty to AMD64"
  echo "An error occurred starting the OnAccess Control service - service will not be started until next reboot"
  echo "An error occurred starting the OnAccess Filter service - service will not be started until next reboot"
}

install() {  # install DESCRIPTION
  echo "== $arch: $1"
  rm -f "$(e2e_action_log)"
  code=$(e2e_msiexec "$arch" "$work" /i "$package")
  check "msiexec succeeds (exit status $code)" test "$code" = 0
  for action in SetDriverProperty InstallUnsignedDrivers StartDriverServices; do
    check "the installer ran $action and saw it succeed" action_succeeded "$work/msiexec.log" "$action"
  done
  check "the action log holds the driver actions' lines" test "$(e2e_log_text)" = "$(expected_log)"
}

install "the machine's driver set with its catalogue"
check "DRIVERVERSION is AMD64 and UPDATEDRIVERS unset" test "$(published)" = "AMD64|"
check "the filter driver of the AMD64 set is in the system's driver folder" \
  test "$(cat "$drivers/qmxonaccessfilter.sys" 2>/dev/null)" = "filter WinXP_AMD64"
check "the control driver of the AMD64 set is in the system's driver folder" \
  test "$(cat "$drivers/qmxonaccesscontrol.sys" 2>/dev/null)" = "control WinXP_AMD64"
for pair in "QMXOnAccess Filter:qmxonaccessfilter.sys" "QMXOnAccess Control:qmxonaccesscontrol.sys"; do
  service=${pair%%:*} file=${pair#*:}
  check "$service: a file-system driver (type 2)" test "$(service_value "$service" Type)" = 0x2
  check "$service: started by the system (start 1)" test "$(service_value "$service" Start)" = 0x1
  check "$service: normal error control (1)" test "$(service_value "$service" ErrorControl)" = 0x1
  check "$service: in the AntiVirus group" test "$(service_value "$service" Group)" = AntiVirus
  check "$service: displayed under its name" test "$(service_value "$service" DisplayName)" = "$service"
  check "$service: the binary path keeps its doubled separator" \
    test "$(service_value "$service" ImagePath)" = "C:\\windows\\system32\\Drivers\\\\$file"
done

# The control sets this prefix has; the driver keys and an event-log source of
# each are in every one of them before the removal.
sets=()
for set in CurrentControlSet ControlSet001 ControlSet002; do
  key_exists "HKLM\\SYSTEM\\$set" && sets+=("$set")
done
echo "control sets: ${sets[*]}"
for set in "${sets[@]}"; do
  for service in "QMXOnAccess control" "QMXOnAccess filter"; do
    e2e_reg x64 add "HKLM\\SYSTEM\\$set\\Services\\$service\\Parameters\\Instances" /v Kept /d 1 /f >/dev/null
    e2e_reg x64 add "HKLM\\SYSTEM\\$set\\Services\\EventLog\\System\\$service" /v TypesSupported /t REG_DWORD /d 7 /f >/dev/null
  done
done

echo "== $arch: uninstall"
rm -f "$(e2e_action_log)"
code=$(e2e_msiexec "$arch" "$work" /x "$package")
check "msiexec uninstalls (exit status $code)" test "$code" = 0
check "the installer ran DeleteDriverKeys and saw it succeed" action_succeeded "$work/msiexec.log" DeleteDriverKeys
check "the action log is empty" test -z "$(e2e_log_text)"
for set in "${sets[@]}"; do
  for service in "QMXOnAccess control" "QMXOnAccess filter"; do
    check "$set: the $service service key is gone" absent key_exists "HKLM\\SYSTEM\\$set\\Services\\$service"
    check "$set: the $service event-log source is gone" \
      absent key_exists "HKLM\\SYSTEM\\$set\\Services\\EventLog\\System\\$service"
  done
  check "$set: the event-log root stays" key_exists "HKLM\\SYSTEM\\$set\\Services\\EventLog\\System"
done
check "the services are gone for the Service Control Manager too" absent sc query "QMXOnAccess Filter"
rm -f "$drivers/qmxonaccessfilter.sys" "$drivers/qmxonaccesscontrol.sys"

rm -f "$work/WinXP_AMD64/qmx.cat"
install "the machine's driver set without its catalogue"
check "DRIVERVERSION is AMD64 and UPDATEDRIVERS is 2" test "$(published)" = "AMD64|2"
check "the filter driver is in the system's driver folder" test -f "$drivers/qmxonaccessfilter.sys"
check "the filter service exists again" test "$(service_value "QMXOnAccess Filter" Type)" = 0x2
e2e_msiexec "$arch" "$work" /x "$package" >/dev/null
remove_drivers

echo "== $arch: a failing installation rolls the product's service back"
record="$work/service-record.txt"
rm -f "$record" "$(e2e_action_log)"
check "the product's service is created" \
  sc create QMXService binpath= "\"$(e2e_windows_path "$fixtures/test_service.exe")\" QMXService --record \"$(e2e_windows_path "$record")\""
check "and started" sc start QMXService
for _ in $(seq 50); do grep -qx running "$record" 2>/dev/null && break; sleep 0.2; done
check "the fixture runs" grep -qx running "$record"
code=$(e2e_msiexec "$arch" "$work" /i "$package" FAILINSTALL=1)
check "msiexec ends with 1603 (exit status $code)" test "$code" = $((1603 & 255))
check "the failing action said why" \
  test "$(e2e_log_text)" = "Unable to determine OS level from property set in InstallUnsignedDrivers"
# Wine logs every scheduled action once while it builds the script, and again
# when it runs it: the rollback action must start after the failing action's
# last end.
ran_in_rollback() {
  awk '/Action ended .*: FailWithWindows2000Drivers\./ { failed = 1; ran = 0 }
       failed && /Action start .*: RollbackDeleteService\./ { ran = 1 }
       END { exit !ran }' "$work/msiexec.log"
}
check "the installer ran RollbackDeleteService in the rollback" ran_in_rollback
check "the service was asked to stop and stopped" \
  test "$(tr -d '\r' < "$record" 2>/dev/null | tr '\n' ,)" = "running,control 1,stopped,"
check "the service key is gone" absent key_exists "$services\\QMXService"
check "the Service Control Manager knows no such service" absent sc query QMXService
check "the package's registry value was rolled back" absent e2e_reg "$arch" query "$marks"

remove_drivers
rm -rf "$folder"
e2e_summary "$arch drivers"
