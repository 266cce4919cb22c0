# Sourced by the end-to-end test and by the demo: builds a package around a
# built DLL with wixl and installs it with Wine's msiexec.
#   e2e_start ARCH                  ends the test as skipped where ARCH cannot run
#   e2e_build_package ARCH DLL WORKDIR WXS   builds WORKDIR/package.msi from WXS
#   e2e_prepare ARCH DLL WORKDIR    lays out WORKDIR as installation media:
#                                   the other-files package and the files CopyOtherFiles takes
#   e2e_msiexec ARCH WORKDIR ARGS   runs msiexec (waits for every process) and
#                                   prints the installer's own exit code
#   e2e_install_folder ARCH [NAME], e2e_action_log: Unix paths of what a package changes
#   e2e_reg ARCH ARGS               runs Wine's reg in the package's registry view
#   e2e_reg_values ARCH KEY, e2e_reg_value ARCH KEY NAME: what reg shows of values
#   e2e_com_server ARCH CLSID DLL, e2e_restore_com_servers ARCH: a fixture in
#                                   place of a COM class's in-process server
# WINEPREFIX names the prefix.

e2e_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$e2e_here/../wine/wine.sh"

# e2e_start ARCH: quiet Wine for the test; ends the test as skipped when this
# machine cannot run ARCH programs (natively: installations start too many
# processes for the x86 emulation), as failed when Wine is missing or broken.
e2e_start() {
  export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  wine_gate "$1"
}

# Bounds for one installation and for the processes it leaves running: a hung
# action fails its test instead of holding the run.
E2E_MSIEXEC_SECONDS=${E2E_MSIEXEC_SECONDS:-400}

e2e_build_package() {
  local arch=$1 dll=$2 work=$3 wxs=$4
  rm -rf "$work"
  mkdir -p "$work"
  cp "$e2e_here/$wxs" "$dll" "$work/"
  echo "Kestro package test" > "$work/readme.txt"
  # wixl takes source files by relative name only.
  if ! (cd "$work" && wixl -a "$arch" -D Arch="$arch" -D Dll="$(basename "$dll")" -D Readme=readme.txt \
      -o package.msi "$wxs" 2>wixl-errors.txt); then
    echo "FAIL: wixl could not build $wxs:" >&2
    cat "$work/wixl-errors.txt" >&2
    return 1
  fi
  rm -f "$work/$wxs" "$work/readme.txt" "$work/$(basename "$dll")"
}

e2e_prepare() {
  local arch=$1 dll=$2 work=$3
  e2e_build_package "$arch" "$dll" "$work" OtherFiles.wxs || return 1
  mkdir -p "$work/WinXP_i386"
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
  timeout "$E2E_MSIEXEC_SECONDS" "$(wine_loader "$arch")" msiexec "$@" /qn \
    /l*v "$(e2e_windows_path "$work/msiexec.log")" >/dev/null 2>&1 || code=$?
  if [ "$code" = 124 ]; then echo "FAIL: msiexec $* did not end within $E2E_MSIEXEC_SECONDS s" >&2; fi
  if ! timeout "$E2E_MSIEXEC_SECONDS" "$(wine_server)" -w; then
    echo "FAIL: Wine processes were still running $E2E_MSIEXEC_SECONDS s after msiexec $*" >&2
    code=124
  fi
  echo "$code"
}

# e2e_install_folder ARCH [FOLDER NAME]: where the package's INSTALLDIR lands.
e2e_install_folder() {
  local name=${2:-Kestro Package Test}
  case "$1" in
    x64) echo "$WINEPREFIX/drive_c/Program Files/$name" ;;
    x86) echo "$WINEPREFIX/drive_c/Program Files (x86)/$name" ;;
  esac
}

# The custom-action server runs as the prefix's user; its temporary folder
# holds the shared action log.
e2e_action_log() { echo "$WINEPREFIX/drive_c/users/$(id -un)/Temp/Kestro Anti-Virus CustomActions Log.txt"; }

# Counts checks and failures for a test script: check DESCRIPTION COMMAND...
e2e_checks=0 e2e_failures=0
check() {
  local what=$1; shift
  e2e_checks=$((e2e_checks + 1))
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; e2e_failures=$((e2e_failures + 1)); fi
}
absent() { ! "$@" >/dev/null; }
# Every end of the action in the installer's log says 1 (success).
action_succeeded() {
  grep -qE "Action ended .*: $2\. Return value 1\." "$1" && ! grep -qE "Action ended .*: $2\. Return value [^1]" "$1"
}
e2e_summary() {
  echo "e2e $1: $((e2e_checks - e2e_failures)) of $e2e_checks checks passed"
  [ "$e2e_failures" -eq 0 ]
}

# The action log's text, decoded, without line ends' carriage returns.
e2e_log_text() { iconv -f UTF-16LE -t UTF-8 "$(e2e_action_log)" 2>/dev/null | tr -d '\r'; }

e2e_reg() {
  local arch=$1; shift
  local view=/reg:64
  [ "$arch" = x86 ] && view=/reg:32
  # reg's complaints go to the test's output, shown when a check fails.
  timeout 60 "$(wine_loader x64)" reg "$@" "$view"
}

# e2e_reg_values ARCH KEY [QUERY OPTIONS]: the key's values as NAME=DATA
# lines; fails when the key (or the value asked for) is missing.
e2e_reg_values() {
  local arch=$1 key=$2 text; shift 2
  text=$(e2e_reg "$arch" query "$key" "$@" 2>/dev/null) || return 1
  tr -d '\r' <<<"$text" | sed -n 's/^ *\([^ ]*\) \{4\}REG_[A-Z_]* \{4\}\(.*\)$/\1=\2/p'
}
# e2e_reg_value ARCH KEY NAME: one value's data as reg shows it (0x1 for a DWORD).
e2e_reg_value() { e2e_reg_values "$1" "$2" /v "$3" | sed -n "s/^$3=//p"; }

e2e_class_key() { echo "HKLM\\Software\\Classes\\CLSID\\$1"; }

# e2e_com_server ARCH CLSID DLL: DLL (a Unix path) serves the class CLSID
# (braced) in process, in the package's registry view, until
# e2e_restore_com_servers ARCH. What the prefix had is kept in a file in the
# prefix meanwhile, so the next run puts right a run that was cut short.
e2e_com_server() {
  local arch=$1 clsid=$2 dll=$3
  local key saved="$WINEPREFIX/.ih-com-server.$1.$2"
  key="$(e2e_class_key "$clsid")\\InprocServer32"
  if [ ! -e "$saved" ]; then
    e2e_com_registration "$arch" "$clsid" > "$saved.new" && mv "$saved.new" "$saved" || return 1
  fi
  e2e_reg "$arch" add "$key" /ve /d "$(e2e_windows_path "$dll")" /f >/dev/null &&
    e2e_reg "$arch" add "$key" /v ThreadingModel /d Both /f >/dev/null
}

# The in-process server registered for CLSID: "registered", its path and its
# threading model on three lines, or "absent".
e2e_com_registration() {
  local values
  values=$(e2e_reg_values "$1" "$(e2e_class_key "$2")\\InprocServer32") || { echo absent; return 0; }
  echo registered
  sed -n 's/^(Default)=//p' <<<"$values"
  sed -n 's/^ThreadingModel=//p' <<<"$values"
}

# Puts back every class e2e_com_server replaced in ARCH's view; fails unless
# each registration reads back as it was.
e2e_restore_com_servers() {
  local arch=$1 saved clsid key state server model restored=0
  for saved in "$WINEPREFIX/.ih-com-server.$arch".*; do
    [ -e "$saved" ] || continue
    clsid=${saved##*.}
    key=$(e2e_class_key "$clsid")
    { read -r state; read -r server; read -r model; } < "$saved"
    if [ "$state" = registered ]; then
      e2e_reg "$arch" add "$key\\InprocServer32" /ve /d "$server" /f >/dev/null
      if [ -n "$model" ]; then
        e2e_reg "$arch" add "$key\\InprocServer32" /v ThreadingModel /d "$model" /f >/dev/null
      else
        e2e_reg "$arch" delete "$key\\InprocServer32" /v ThreadingModel /f >/dev/null 2>&1
      fi
    else
      e2e_reg "$arch" delete "$key" /f >/dev/null 2>&1
    fi
    if [ "$(e2e_com_registration "$arch" "$clsid")" = "$(cat "$saved")" ]; then
      rm -f "$saved"
    else
      echo "the registration of $clsid could not be restored" >&2
      restored=1
    fi
  done
  return $restored
}
