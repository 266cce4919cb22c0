#!/usr/bin/env bash
# End to end: the product's lifecycle as the demo runs it (tools/lifecycle),
# on a fresh Wine prefix: install 1.0.0, engine-only update to 1.0.1 with
# engine clients running, full update to 1.0.2, uninstall. Checks each step's
# kept logs: the actions that ran, the properties, the clients' handshake and
# what changed on the machine.
# Usage: lifecycle.sh ARCH DLL FIXTURES-FOLDER WORKDIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
arch=$1 dll=$(realpath -m "$2") fixtures=$(realpath -m "$3") work=$(realpath -m "$4")
e2e_start "$arch"

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/prefix
"$here/../wine/prepare-prefix.sh" "$arch" || { echo "FAIL: the fresh prefix could not be prepared"; exit 1; }
"$here/../../tools/lifecycle/lifecycle.sh" "$arch" "$dll" "$fixtures" "$work/run" \
  > "$work/report.txt" 2>&1
code=$?
logs=$work/run/logs
cat "$work/report.txt"
echo "----"
check "the lifecycle ended as expected (status $code)" test "$code" = 0

folder=$(e2e_install_folder "$arch" "Kestro/Kestro Anti-Virus")
ran() { grep -qxE "ACTION	$2	[a-z]+	succeeded	[0-9]+" "$logs/$1/actions.tsv"; }
left_out() { ! grep -qE "^ACTION	$2	" "$logs/$1/actions.tsv"; }
property() { sed -n "s/^PROPERTY	$2	//p" "$logs/$1/actions.tsv"; }
changed() { grep -qF -- "$2" "$logs/$1/changes.txt"; }
logged() { grep -qxF -- "$2" "$logs/$1/action-log.txt"; }
client() { tr -d '\r' < "$logs/$1/client-$2.txt" 2>/dev/null | paste -sd' '; }
# holds STEP FILE RELATIVE-PATH: after STEP, the machine's file at the path
# below drive_c had FILE's content (from the step's snapshot).
holds() {
  python3 - "$logs/$1/after.json" "$2" "$3" <<'EOF2'
import hashlib, json, sys
files = json.load(open(sys.argv[1]))["files"]
sys.exit(0 if files.get(sys.argv[3]) == hashlib.sha1(open(sys.argv[2], "rb").read()).hexdigest() else 1)
EOF2
}
case "$arch" in x64) programs="Program Files" ;; x86) programs="Program Files (x86)" ;; esac
product="$programs/Kestro/Kestro Anti-Virus"
data="ProgramData/Kestro/Kestro Anti-Virus"
# Both engine clients let go of the engine, were suspended and loaded it again.
clients_resumed() {
  local name
  for name in QMXService QMXScanner; do
    check "$1: client $name let go, was suspended and resumed ($(client $step $name))" \
      test "$(client $step $name)" = "started requested suspended complete resumed"
  done
}
# The product folder's changed files, by name, sorted, on one line.
product_changes() {
  sed -nE 's/^ +[-+~] C:\\Program Files( \(x86\))?\\Kestro\\Kestro Anti-Virus\\([^ ]+).*$/\2/p' "$logs/$1/changes.txt" |
    LC_ALL=C sort -f | paste -sd' '
}

step=1-install-1.0.0
for action in PreInstallChecks ReadCatalog UpdateQMXI CopyOtherFiles InstallUnsignedDrivers SetFolderPermissions \
              SetServiceSecurity SetServiceXP RunAfterScripts; do
  check "install: $action ran and succeeded" ran $step $action
done
check "install: the group actions are left out (QMXNOGROUPS)" left_out $step CreateUserGroups
check "install: ReadCatalog found no earlier catalogue" logged $step "No catalog file was found - doing a full update"
check "install: the report says plainly that Wine cannot create the groups" \
  grep -q "Wine's account functions cannot create them" "$work/report.txt"
check "install: the engine was added" changed $step "+ C:\\"
check "install: QMXService was created to run as the local service" \
  grep -qF "+ QMXService (own process, demand start, as NT AUTHORITY\\LocalService" "$logs/$step/changes.txt"

step=2-engine-update-1.0.1
check "engine update: ih-catalogue foresaw an engine-only update" grep -qF 'QMXIONLY = "1"' "$logs/$step/notes.txt"
check "engine update: ReadCatalog set QMXIONLY ($(property $step QMXIONLY))" test "$(property $step QMXIONLY)" = 1
check "engine update: and UPDATEDRIVERS to 0 ($(property $step UPDATEDRIVERS))" test "$(property $step UPDATEDRIVERS)" = 0
for action in UpdateQMXI CopyOtherFiles RunAfterScripts SetUpdateFinished; do
  check "engine update: $action ran and succeeded" ran $step $action
done
for action in UpdateQmxAdapterDll InstallUnsignedDrivers SetFolderPermissions SetServiceSecurity SetServiceXP \
              InstallSecurityCenter SetInstallationComplete; do
  check "engine update: $action is left out" left_out $step $action
done
clients_resumed "engine update"
check "engine update: the new engine is installed" holds $step "$work/run/media-1.0.1/QMXI.dll" "$product/QMXI.dll"
check "engine update: only engine files, the catalogue and the engine's registration record changed ($(product_changes $step))" \
  test "$(product_changes $step)" = "cidsync.upd daily.vdb engine-calls.txt QMXI.dll VDL.DAT"
check "engine update: nothing changed in the product data folder" \
  bash -c '! grep -qF "C:\\ProgramData\\Kestro" "$1"' _ "$logs/$step/changes.txt"
check "engine update: no service changed" grep -qx 'services: no change' "$logs/$step/changes.txt"
check "engine update: removing 1.0.0 left the engine alone" \
  bash -c '! grep -qxF "QMXI dll uninstalled successfully" "$1"' _ "$logs/$step/action-log.txt"

step=3-full-update-1.0.2
check "full update: ih-catalogue foresaw a full update" grep -qF "QMXIONLY not set" "$logs/$step/notes.txt"
check "full update: QMXIONLY is not set ($(property $step QMXIONLY))" test -z "$(property $step QMXIONLY)"
check "full update: UPDATEDRIVERS stays 2 ($(property $step UPDATEDRIVERS))" test "$(property $step UPDATEDRIVERS)" = 2
for action in UpdateQmxAdapterDll UpdateQMXI InstallUnsignedDrivers SetFolderPermissions SetServiceXP \
              InstallSecurityCenter SetInstallationComplete; do
  check "full update: $action ran and succeeded" ran $step $action
done
clients_resumed "full update"
check "full update: the new control driver is installed" \
  holds $step "$work/run/media-1.0.2/WinXP_AMD64/qmxonaccesscontrol.sys" windows/system32/drivers/qmxonaccesscontrol.sys
check "full update: the product's configuration stayed" \
  holds $step "$here/../../package/product/Config/Machine.xml" "$data/Config/Machine.xml"

step=4-uninstall
for action in RemoveQMXI DeleteDriverKeys DeleteOtherFiles ForceDeleteFiles UninstallSecurityCenter; do
  check "uninstall: $action ran and succeeded" ran $step $action
done
check "uninstall: the product's scheduled scan was made" grep -qF ": scheduled" "$logs/$step/notes.txt"
check "uninstall: and DeleteOtherFiles removed it" grep -qiE '^ +- C:\\windows\\Tasks\\Kestro weekly scan\.job$' "$logs/$step/changes.txt"
for name in QMXService QMXScanner; do
  check "uninstall: client $name let go and stayed suspended ($(client $step $name))" \
    test "$(client $step $name)" = "started requested suspended"
done
check "uninstall: the engine is gone" test ! -e "$folder/QMXI.dll"
check "uninstall: DeleteDriverKeys removed both drivers' services" \
  bash -c 'grep -qxF -- "  - QMXOnAccess Filter" "$1" && grep -qxF -- "  - QMXOnAccess Control" "$1"' _ "$logs/$step/changes.txt"
check "uninstall: the engine data and configuration are gone" \
  bash -c '! grep -qE "(VDL\.DAT|Machine\.xml|cidsync\.upd)$" <(sed -n "/^Left on the machine/,\$p" "$1")' _ "$work/report.txt"
check "uninstall: the restart marker is left for the restart" changed $step "+ C:\\users\\"

e2e_summary "$arch lifecycle"
