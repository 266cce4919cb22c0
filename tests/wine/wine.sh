# Sourced by the test scripts: picks the Wine loader for an architecture and
# tells how this machine runs it.
#   wine_loader x64|x86   prints the loader's path
#   wine_mode x64|x86     prints "native", "emulated" (x86 through qemu-i386)
#                         or "cannot: REASON"; fails (status 1, with the reason)
#                         when Wine is missing or broken, which is never a skip
#   wine_usable x64|x86   succeeds when the loader runs here, natively or emulated

wine_loader() {
  case "$1" in
    x64)
      if [ -x /usr/lib/wine/wine64 ]; then echo /usr/lib/wine/wine64; else command -v wine64 || echo /usr/lib/wine/wine64; fi ;;
    x86)
      if [ -x /usr/lib/wine/wine ]; then echo /usr/lib/wine/wine; else command -v wine || echo /usr/lib/wine/wine; fi ;;
    *) echo "unknown architecture $1" >&2; return 2 ;;
  esac
}

wine_server() {
  if [ -x /usr/lib/wine/wineserver ]; then echo /usr/lib/wine/wineserver; else command -v wineserver || echo wineserver; fi
}

# Exit code that ctest reads as "skipped".
WINE_SKIP=77

wine_x86_binfmt=/proc/sys/fs/binfmt_misc/qemu-i386

# Sends every i386 program through qemu-i386 (Wine's child processes too).
# Needs root and qemu-user; used only where the kernel cannot start them itself.
wine_enable_x86_emulation() {
  [ -x /usr/bin/qemu-i386 ] || return 1
  [ -e "$wine_x86_binfmt" ] && return 0
  [ "$(id -u)" = 0 ] || return 1
  [ -e /proc/sys/fs/binfmt_misc/register ] ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || return 1
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
    > /proc/sys/fs/binfmt_misc/register 2>/dev/null
  [ -e "$wine_x86_binfmt" ]
}

wine_mode() {
  local arch=$1 loader output
  loader=$(wine_loader "$arch") || return 1
  if [ ! -x "$loader" ]; then
    echo "Wine's $arch loader $loader is not installed (run tools/setup.sh)"
    return 1
  fi
  if output=$("$loader" --version 2>&1); then
    if [ "$arch" = x86 ] && grep -qx enabled "$wine_x86_binfmt" 2>/dev/null; then echo emulated; else echo native; fi
    return 0
  fi
  # The one reason to skip: this kernel cannot start 32-bit programs at all.
  if [ "$arch" = x86 ] && grep -q 'Exec format error' <<<"$output"; then
    if wine_enable_x86_emulation && "$loader" --version >/dev/null 2>&1; then
      echo emulated
    else
      echo "cannot: this kernel cannot start 32-bit programs (Exec format error) and qemu-i386 emulation is not available"
    fi
    return 0
  fi
  echo "Wine's $arch loader does not start: $output"
  return 1
}

wine_usable() {
  local mode
  mode=$(wine_mode "$1") || return 1
  [ "${mode%%:*}" != cannot ]
}

# wine_gate ARCH [smoke]: for a test script. Returns when the test is to run;
# otherwise ends it: skipped (77) when the machine cannot run ARCH, or when
# ARCH runs only emulated and the test is not in the x86 smoke set; failed (1)
# when Wine is missing or broken.
wine_gate() {
  local arch=$1 set=${2:-} mode
  if ! mode=$(wine_mode "$arch"); then
    echo "FAIL: $mode" >&2
    exit 1
  fi
  case "$mode" in
    native) return 0 ;;
    emulated)
      [ "$set" = smoke ] && return 0
      echo "skipped: $arch runs here only under qemu-i386 emulation (the kernel cannot start 32-bit programs); this test is not in the x86 smoke set"
      exit $WINE_SKIP ;;
    *)
      echo "skipped: ${mode#cannot: }"
      exit $WINE_SKIP ;;
  esac
}
