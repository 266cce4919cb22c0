#!/usr/bin/env bash
# End to end: a wixl package installed with Wine's msiexec runs the deferred
# CopyOtherFiles and UpdateQmxAdapterDll of the built DLL. Checks effects, not
# only exit codes (Wine reports a crashed action as success).
# Usage: other-files.sh ARCH DLL WORKDIR   (WINEPREFIX names a prepared prefix)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
arch=$1 dll=$2 work=$3
e2e_start "$arch"

same_file() { cmp -s "$1" "$2"; }
adapters='HKLM\Software\Kestro\Corvane\ManagementAgent\Adapters'

e2e_prepare "$arch" "$dll" "$work" || { echo "FAIL: the package could not be built"; exit 1; }
package=$(e2e_windows_path "$work/package.msi")
folder=$(e2e_install_folder "$arch")
rm -rf "$folder"
rm -f "$(e2e_action_log)"
e2e_reg "$arch" delete 'HKLM\Software\Kestro\Corvane' /f >/dev/null

echo "== $arch: CopyOtherFiles with one field fails the installation"
code=$(e2e_msiexec "$arch" "$work" /i "$package" BREAK_COPY=1)
# The installer's 1603 reaches the shell as its low byte.
check "msiexec ends with 1603 (exit status $code)" test "$code" = $((1603 & 255))
check "the action log holds the action's line" \
  test "$(e2e_log_text)" = "CopyOtherFiles custom action data was empty - unable to determine SOURCEDIR or INSTALLDIR"
check "the installation was rolled back" test ! -e "$folder/readme.txt"
check "nothing was copied" test ! -e "$folder/cidsync.upd"

echo "== $arch: a good installation"
rm -f "$(e2e_action_log)"
code=$(e2e_msiexec "$arch" "$work" /i "$package")
check "msiexec succeeds (exit status $code)" test "$code" = 0
check "the package's own file is installed" test -f "$folder/readme.txt"
check "the catalogue is copied" same_file "$work/cidsync.upd" "$folder/cidsync.upd"
check "the driver description comes from WinXP_i386" same_file "$work/WinXP_i386/QMXONACCESSDRIV.INF" "$folder/QMXONACCESSDRIV.INF"
check "the configuration file is copied" same_file "$work/qmxconf.xml" "$folder/qmxconf.xml"
check "the configuration program is copied" same_file "$work/ConfigureQMX.exe" "$folder/ConfigureQMX.exe"
check "the installer ran CopyOtherFiles and saw it succeed" action_succeeded "$work/msiexec.log" CopyOtherFiles
check "the installer ran UpdateQmxAdapterDll and saw it succeed" action_succeeded "$work/msiexec.log" UpdateQmxAdapterDll
check "the action log is empty after a clean run" test -z "$(e2e_log_text)"
check "the adapters key written by the package is there" e2e_reg "$arch" query "$adapters"
check "its QMX registration was withdrawn" absent e2e_reg "$arch" query "$adapters\\QMX"

e2e_msiexec "$arch" "$work" /x "$package" >/dev/null
rm -rf "$folder"
e2e_summary "$arch other files"
