#!/usr/bin/env bash
# End to end: the engine actions in a wixl package installed with Wine's
# msiexec. PreInstallChecks refuses a pending restart (error 3000) and an
# earlier generation with an unexpected status (error 3002), removes an
# installed earlier generation through its uninstaller; UpdateQMXI installs and
# registers the engine library; RemoveQMXI makes a running client let go of it
# and deletes it. Checks effects and the installer's log, not only exit codes.
# Usage: engine.sh ARCH DLL FIXTURES-FOLDER WORKDIR   (WINEPREFIX names a prepared prefix)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
arch=$1 dll=$2 fixtures=$3 work=$4
e2e_start "$arch"

installer_log_has() { iconv -f UTF-16LE -t UTF-8 "$work/msiexec.log" 2>/dev/null | grep -qF "$1" || grep -qF "$1" "$work/msiexec.log"; }
log_last() { e2e_log_text | tail -n 1; }
same_file() { cmp -s "$1" "$2"; }
has_line() { grep -qxF "$2" "$1" 2>/dev/null; }
calls_have() { tr -d '\r' < "$folder/engine-calls.txt" 2>/dev/null | grep -qE "^$1 [0-9]+ .*\\\\QMXI\.dll$"; }

# The package, with the Error table rows wixl cannot write, and the media.
rm -rf "$work"
# wixl cannot write the Error table; its rows are imported into the built package.
(e2e_build_package "$arch" "$dll" "$work" Engine.wxs && msibuild "$work/package.msi" -i "$here/../../package/Error.idt") ||
  { echo "FAIL: the package could not be built"; exit 1; }
cp "$fixtures/TestEngine.dll" "$work/QMXI.dll"
printf 'data\n' > "$work/main.DAT"
printf 'virus data\n' > "$work/daily.vdb"
printf 'zorl\n' > "$work/Zorl.dll"
printf 'kmtq\n' > "$work/KMTQ.dll"
printf 'ide\n' > "$work/engine.IDE"

package=$(e2e_windows_path "$work/package.msi")
case "$arch" in
  x64) folder="$WINEPREFIX/drive_c/Program Files/Kestro Engine Test"; win_folder='C:\Program Files\Kestro Engine Test' ;;
  x86) folder="$WINEPREFIX/drive_c/Program Files (x86)/Kestro Engine Test"; win_folder='C:\Program Files (x86)\Kestro Engine Test' ;;
esac
marker="$(dirname "$(e2e_action_log)")/KestroRebootTest.txt"
classic="$WINEPREFIX/drive_c/Kestro Classic E2E"
classic_key='HKLM\SOFTWARE\Kestro\BruskNT'
clients_key='HKLM\SOFTWARE\Kestro\QMXI'
cleanup() {
  rm -rf "$folder" "$classic" "$marker"
  e2e_reg "$arch" delete "$classic_key" /f >/dev/null
  e2e_reg "$arch" delete "$clients_key" /f >/dev/null
}
cleanup
rm -f "$(e2e_action_log)"

echo "== $arch: a pending restart refuses the installation with error 3000"
mkdir -p "$(dirname "$marker")" && : > "$marker"
code=$(e2e_msiexec "$arch" "$work" /i "$package")
check "msiexec ends with 1603 (exit status $code)" test "$code" = $((1603 & 255))
check "the installer shows error 3000 from the package's Error table" \
  installer_log_has "A restart of the computer is pending. Restart it, then run this installation again."
check "nothing was installed" test ! -e "$folder/QMXI.dll"
check "the action log is empty" test -z "$(e2e_log_text)"
rm -f "$marker"

echo "== $arch: an earlier generation with status 48 refuses it with error 3002"
e2e_reg "$arch" add "$classic_key" /v Status /t REG_DWORD /d 48 /f >/dev/null
code=$(e2e_msiexec "$arch" "$work" /i "$package")
check "msiexec ends with 1603 (exit status $code)" test "$code" = $((1603 & 255))
check "the installer shows error 3002 with the product's name" \
  installer_log_has "Classic QMX could not be removed, so Kestro Anti-Virus cannot be installed."
check "the record is left as it was" e2e_reg "$arch" query "$classic_key" /v Status
e2e_reg "$arch" delete "$classic_key" /f >/dev/null

echo "== $arch: the earlier generation is removed, then the engine installed"
mkdir -p "$classic"
printf 'zorl\n' > "$classic/ZORL.DLL"
printf 'remove' > "$classic/behaviour.txt"
cp "$fixtures/classic_setup.exe" "$classic/setup.exe"
e2e_reg "$arch" add "$classic_key" /v Status /t REG_DWORD /d 32 /f >/dev/null
e2e_reg "$arch" add "$classic_key" /v Path /t REG_SZ /d 'C:\Kestro Classic E2E\' /f >/dev/null
code=$(e2e_msiexec "$arch" "$work" /i "$package")
check "msiexec succeeds (exit status $code)" test "$code" = 0
check "the earlier generation's uninstaller ran with its command line" \
  has_line "$classic/setup-called.txt" '"C:\Kestro Classic E2E\setup.exe" -ni -remove -noimp'
check "its library is gone" test ! -e "$classic/ZORL.DLL"
check "its record was removed" absent e2e_reg "$arch" query "$classic_key"
check "the installer ran PreInstallChecks and saw it succeed" action_succeeded "$work/msiexec.log" PreInstallChecks
check "the installer ran UpdateQMXI and saw it succeed" action_succeeded "$work/msiexec.log" UpdateQMXI
check "the engine library is installed" same_file "$work/QMXI.dll" "$folder/QMXI.dll"
check "the data files and further libraries are copied" \
  bash -c 'for f in main.DAT daily.vdb Zorl.dll KMTQ.dll engine.IDE; do cmp -s "$1/$f" "$2/$f" || exit 1; done' _ "$work" "$folder"
check "the new engine was registered" calls_have DllRegisterServer
check "the action log ends with the success line" test "$(log_last)" = "QMXI dll was installed successfully"

echo "== $arch: removal while a client process holds the engine"
client_status="$work/client.txt"
rm -f "$client_status"
"$(wine_loader "$arch")" "$fixtures/engine_client.exe" E2EClient prompt - "$win_folder\\QMXI.dll" \
  "$(e2e_windows_path "$client_status")" - 8000 >/dev/null 2>&1 &
for _ in $(seq 1 100); do has_line "$client_status" started && break; sleep 0.1; done
check "the client started with the engine loaded" has_line "$client_status" started
rm -f "$(e2e_action_log)"
code=$(e2e_msiexec "$arch" "$work" /x "$package")
wait
check "msiexec succeeds (exit status $code)" test "$code" = 0
check "the installer ran RemoveQMXI and saw it succeed" action_succeeded "$work/msiexec.log" RemoveQMXI
check "the client was asked to let go and suspended" \
  bash -c 'tr -d "\r" < "$1" | grep -qx requested && tr -d "\r" < "$1" | grep -qx suspended' _ "$client_status"
check "the engine library is deleted" test ! -e "$folder/QMXI.dll"
check "the old engine was unregistered" calls_have DllUnregisterServer
check "the action log ends with the removal's success line" test "$(log_last)" = "QMXI dll uninstalled successfully"

cleanup
e2e_summary "$arch engine"
