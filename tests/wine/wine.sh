# Sourced by the test scripts: picks the Wine loader for an architecture and
# tells whether this machine can run it.
#   wine_loader x64|x86   prints the loader's path
#   wine_usable x64|x86   succeeds when the loader starts here

wine_loader() {
  case "$1" in
    x64)
      if [ -x /usr/lib/wine/wine64 ]; then echo /usr/lib/wine/wine64; else command -v wine64 || echo wine64; fi ;;
    x86)
      if [ -x /usr/lib/wine/wine ]; then echo /usr/lib/wine/wine; else command -v wine || echo wine; fi ;;
    *) echo "unknown architecture $1" >&2; return 2 ;;
  esac
}

wine_usable() {
  local loader
  loader=$(wine_loader "$1") || return 1
  "$loader" --version >/dev/null 2>&1
}

wine_server() {
  if [ -x /usr/lib/wine/wineserver ]; then echo /usr/lib/wine/wineserver; else command -v wineserver || echo wineserver; fi
}

# Exit code that ctest reads as "skipped".
WINE_SKIP=77
