#!/usr/bin/env bash
# End to end: a wixl package whose immediate ReadCatalog runs in Wine's
# msiexec, for an engine-only update, a full update that changes a driver and
# one that keeps the drivers, with the previous installation's catalogue in
# place, and for a first installation without one. Later component conditions on
# QMXIONLY and UPDATEDRIVERS leave registry values; the checks look at those.
# Usage: catalogue.sh ARCH DLL WORKDIR   (WINEPREFIX names a prepared prefix)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
arch=$1 dll=$2 work=$3
e2e_start "$arch"

marks='HKLM\Software\Kestro\CatalogueTest'
mark_is() { e2e_reg "$arch" query "$marks" /v "$1" | tr -d '\r' | grep -qE "REG_SZ[[:space:]]+$2\$"; }

# Catalogue bytes: an 84-byte header with an empty name block, records of
# (length, extra, stamp, name and its zero), and the terminating zero length.
le32() { local v=$1; printf "\\x$(printf %02x $((v & 255)))\\x$(printf %02x $(((v >> 8) & 255)))\\x$(printf %02x $(((v >> 16) & 255)))\\x$(printf %02x $(((v >> 24) & 255)))"; }
catalogue() {  # catalogue FILE NAME STAMP [NAME STAMP]...
  local file=$1; shift
  {
    printf 'header %.0s' {1..5}; printf 'hhhhh\0'; printf 'h%.0s' {1..39}; printf 'T\0\0\0'
    while [ $# -gt 0 ]; do
      le32 $((8 + ${#1} + 1)); le32 0; le32 "$2"; printf '%s\0' "$1"; shift 2
    done
    le32 0
  } > "$file"
}

# wixl cannot write component conditions; they are set in the built package.
(e2e_build_package "$arch" "$dll" "$work" ReadCatalog.wxs && cd "$work" &&
  msibuild package.msi -q "UPDATE \`Component\` SET \`Condition\` = 'QMXIONLY = \"1\"' WHERE \`Component\` = 'EngineOnlyMark'" &&
  msibuild package.msi -q "UPDATE \`Component\` SET \`Condition\` = 'UPDATEDRIVERS = \"0\"' WHERE \`Component\` = 'DriversKeptMark'") ||
  { echo "FAIL: the package could not be built"; exit 1; }
package=$(e2e_windows_path "$work/package.msi")
folder=$(e2e_install_folder "$arch" "Kestro Catalogue Test")
installdir="$(e2e_windows_path "$folder")\\"

previous=(QMX.exe 10 'Drivers\QMXONACCESSCONTROL.SYS' 11 'Drivers\QMXONACCESSFILTER.SYS' 12 QMXI.dll 13 daily.vdb 14)

install() {  # install DESCRIPTION [previous catalogue present: yes|no]
  echo "== $arch: $1"
  e2e_msiexec "$arch" "$work" /x "$package" >/dev/null
  rm -rf "$folder"; mkdir -p "$folder"
  [ "$2" = yes ] && catalogue "$folder/cidsync.upd" "${previous[@]}"
  rm -f "$(e2e_action_log)"
  e2e_reg "$arch" delete "$marks" /f >/dev/null
  code=$(e2e_msiexec "$arch" "$work" /i "$package" "INSTALLDIR=$installdir")
  check "msiexec succeeds (exit status $code)" test "$code" = 0
  check "the installer ran ReadCatalog and saw it succeed" action_succeeded "$work/msiexec.log" ReadCatalog
  check "the package's own file is installed" test -f "$folder/readme.txt"
}

catalogue "$work/cidsync.upd" QMX.exe 10 'Drivers\QMXONACCESSCONTROL.SYS' 11 'Drivers\QMXONACCESSFILTER.SYS' 12 \
  QMXI.dll 20 daily.vdb 21 new.vdb 1
install "engine-only update" yes
check "the action log is empty" test -z "$(e2e_log_text)"
check "QMXIONLY = 1 installed EngineOnly" mark_is EngineOnly 1
check "UPDATEDRIVERS = 0 installed DriversKept" mark_is DriversKept 0

catalogue "$work/cidsync.upd" QMX.exe 30 'Drivers\QMXONACCESSCONTROL.SYS' 31 'Drivers\QMXONACCESSFILTER.SYS' 12 \
  QMXI.dll 20 daily.vdb 14
install "full update with a changed driver" yes
check "the action log is empty" test -z "$(e2e_log_text)"
check "no EngineOnly value" absent e2e_reg "$arch" query "$marks" /v EngineOnly
check "no DriversKept value" absent e2e_reg "$arch" query "$marks" /v DriversKept

catalogue "$work/cidsync.upd" QMX.exe 40 'Drivers\QMXONACCESSCONTROL.SYS' 11 'Drivers\QMXONACCESSFILTER.SYS' 12 \
  QMXI.dll 13 daily.vdb 14
install "full update that keeps the drivers" yes
check "no EngineOnly value" absent e2e_reg "$arch" query "$marks" /v EngineOnly
check "UPDATEDRIVERS = 0 installed DriversKept" mark_is DriversKept 0

install "first installation, no previous catalogue" no
check "the action log says why" test "$(e2e_log_text)" = "No catalog file was found - doing a full update"
check "no EngineOnly value" absent e2e_reg "$arch" query "$marks" /v EngineOnly
check "no DriversKept value" absent e2e_reg "$arch" query "$marks" /v DriversKept

e2e_msiexec "$arch" "$work" /x "$package" >/dev/null
rm -rf "$folder"
e2e_reg "$arch" delete "$marks" /f >/dev/null
e2e_summary "$arch catalogue"
