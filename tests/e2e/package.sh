# Sourced by the end-to-end test and by the demo: builds a package around a
# built DLL with wixl and installs it with Wine's msiexec.
#   e2e_prepare ARCH DLL WORKDIR    lays out WORKDIR as installation media:
#                                   the package and the files CopyOtherFiles takes
#   e2e_msiexec ARCH WORKDIR ARGS   runs msiexec (waits for every process) and
#                                   prints the installer's own exit code
#   e2e_install_folder ARCH, e2e_action_log: Unix paths of what the package changes
#   e2e_reg ARCH ARGS               runs Wine's reg in the package's registry view
# WINEPREFIX names the prefix.

e2e_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$e2e_here/../wine/wine.sh"

e2e_prepare() {
  local arch=$1 dll=$2 work=$3
  rm -rf "$work"
  mkdir -p "$work/WinXP_i386"
  cp "$e2e_here/OtherFiles.wxs" "$dll" "$work/"
  echo "Kestro package test" > "$work/readme.txt"
  # wixl takes source files by relative name only.
  (cd "$work" && wixl -a "$arch" -D Arch="$arch" -D Dll="$(basename "$dll")" -D Readme=readme.txt \
      -o package.msi OtherFiles.wxs 2>/dev/null)
  rm -f "$work/OtherFiles.wxs" "$work/readme.txt" "$work/$(basename "$dll")"
  printf 'catalogue %s\n' "$arch" > "$work/cidsync.upd"
  printf 'driver description\n' > "$work/WinXP_i386/QMXONACCESSDRIV.INF"
  printf 'not this one\n' > "$work/QMXONACCESSDRIV.INF"
  printf '<configuration/>\n' > "$work/qmxconf.xml"
  printf 'configuration program\n' > "$work/ConfigureQMX.exe"
}

e2e_windows_path() { echo "Z:${1//\//\\}"; }

e2e_msiexec() {
  local arch=$1 work=$2; shift 2
  local code=0
  # msiexec may return before its custom-action server is done.
  "$(wine_loader "$arch")" msiexec "$@" /qn /l*v "$(e2e_windows_path "$work/msiexec.log")" >/dev/null 2>&1 || code=$?
  "$(wine_server)" -w
  echo "$code"
}

e2e_install_folder() {
  case "$1" in
    x64) echo "$WINEPREFIX/drive_c/Program Files/Kestro Package Test" ;;
    x86) echo "$WINEPREFIX/drive_c/Program Files (x86)/Kestro Package Test" ;;
  esac
}

# The custom-action server runs as the prefix's user; its temporary folder
# holds the shared action log.
e2e_action_log() { echo "$WINEPREFIX/drive_c/users/$(id -un)/Temp/Kestro Anti-Virus CustomActions Log.txt"; }

e2e_reg() {
  local arch=$1; shift
  local view=/reg:64
  [ "$arch" = x86 ] && view=/reg:32
  "$(wine_loader x64)" reg "$@" "$view" 2>/dev/null
}
