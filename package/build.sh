#!/usr/bin/env bash
# Builds the reference package and its installation media:
#   OUTPUT/Kestro.msi     the package (wixl, then fix-package.sh)
#   OUTPUT/...            what the actions take from the source folder: QMX.CFG
#                         and its scripts, the engine library and data files, the
#                         driver sets, and the catalogue cidsync.upd of them all
# Usage: package/build.sh ARCH [OUTPUT]     ARCH is x64 or x86;
#   OUTPUT defaults to build/ARCH/package
# Environment:
#   IH_DLL      the InstallerHelper.dll of ARCH (default build/ARCH/src/InstallerHelper.dll)
#   IH_ENGINE   the library put on the media as QMXI.dll; it needs registration
#               entries (default: the test engine, build/ARCH/tests/windows/fixtures/TestEngine.dll)
#   IH_VERSION  the product version (default 1.0.0)
#   IH_EXTRA_MEDIA  a folder whose files are laid over the media before the
#               catalogue is written (a later version's engine data or drivers)
#   IH_CATALOGUE  the native ih-catalogue that writes cidsync.upd (default
#               build/native/tools/authoring/ih-catalogue, built when missing)
# The product's programs, engine files and drivers are one-line stand-ins.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
arch=${1:?usage: build.sh x64|x86 [OUTPUT]}
case "$arch" in x64|x86) ;; *) echo "build.sh: unknown architecture $arch" >&2; exit 2 ;; esac
output=$(realpath -m "${2:-$root/build/$arch/package}")
dll=${IH_DLL:-$root/build/$arch/src/InstallerHelper.dll}
engine=${IH_ENGINE:-$root/build/$arch/tests/windows/fixtures/TestEngine.dll}
version=${IH_VERSION:-1.0.0}
for file in "$dll" "$engine"; do
  [ -f "$file" ] || { echo "build.sh: $file is missing (build the $arch preset first)" >&2; exit 1; }
done
catalogue_tool=${IH_CATALOGUE:-$("$root/tools/authoring/native-tool.sh" ih-catalogue)}

stand_in() { mkdir -p "$(dirname "$1")"; printf 'Stand-in for %s\r\n' "$(basename "$1")" > "$1"; }

# wixl takes its sources by names relative to where it runs.
staging=$output.staging
rm -rf "$output" "$staging"
mkdir -p "$output" "$staging"
cp -r "$here/product" "$staging/"
for program in QMX.exe QMXService.exe QMXAdminService.exe; do stand_in "$staging/product/$program"; done
cp "$here/Kestro.wxs" "$here/InstallerHelper.wxi" "$here/InstallerHelperSequence.wxi" "$staging/"
cp "$dll" "$staging/InstallerHelper.dll"
if ! (cd "$staging" && wixl -a "$arch" -D Arch="$arch" -D InstallerHelperDll=InstallerHelper.dll \
        -D Version="$version" -o "$output/Kestro.msi" Kestro.wxs); then
  echo "build.sh: wixl could not build the package" >&2
  exit 1
fi
"$here/fix-package.sh" "$output/Kestro.msi"

cp -r "$here/media/." "$output/"
cp "$engine" "$output/QMXI.dll"
for file in VDL.DAT daily.vdb names.IDE Zorl.dll KMTQ.dll; do stand_in "$output/$file"; done
for set in WinXP_i386 WinXP_AMD64 WinXP_IA64; do
  # No qmx.cat: unsigned sets, which InstallUnsignedDrivers installs.
  for driver in qmxonaccessfilter.sys qmxonaccesscontrol.sys; do stand_in "$output/$set/$driver"; done
done
if [ -n "${IH_EXTRA_MEDIA:-}" ]; then cp -r "$IH_EXTRA_MEDIA/." "$output/"; fi
# The catalogue of every file the package installs and every file of the media,
# each named by its path below its folder, in the library's own format and
# stamps (ih-catalogue).
catalogue_list() {
  local folder=$1 relative
  (cd "$folder" && find . -type f ! -iname cidsync.upd ! -iname '*.msi' -printf '%P\n') |
    while IFS= read -r relative; do printf '%s\t%s\n' "${relative//\//\\}" "$folder/$relative"; done
}
{ catalogue_list "$staging/product"; catalogue_list "$output"; } | LC_ALL=C sort -f -t $'\t' -k1,1 |
  "$catalogue_tool" build "$output/cidsync.upd" --list - >/dev/null ||
  { echo "build.sh: the catalogue could not be written" >&2; exit 1; }
rm -rf "$staging"
echo "built $output/Kestro.msi"
