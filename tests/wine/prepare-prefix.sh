#!/usr/bin/env bash
# Prepares the throwaway Wine prefix the Windows tests run in: headless (null
# graphics driver), no Mono or Gecko prompts, Task Scheduler service started.
# Usage: prepare-prefix.sh ARCH   (WINEPREFIX names the prefix)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine.sh"
arch=$1
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Skips only where this machine cannot run the architecture at all; under
# x86 emulation the smoke set still needs the prefix.
wine_gate "$arch" smoke
# Programs of both architectures run in a 64-bit prefix; it is made with the
# 64-bit loader so that an x86 test run works wherever the x64 one does.
wine_gate x64 >/dev/null
loader=$(wine_loader x64)
if [ -f "$WINEPREFIX/.ih-ready" ]; then exit 0; fi
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
log=$(dirname "$WINEPREFIX")/wineprefix-setup.log
# While i386 programs go through qemu-i386 (see wine.sh), wineboot installs the
# prefix's 32-bit half emulated, which takes several times longer.
setup_limit=300
if grep -qx enabled "$wine_x86_binfmt" 2>/dev/null; then setup_limit=1200; fi
if ! { timeout "$setup_limit" "$loader" wineboot -i &&
       timeout 60 "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f; } >"$log" 2>&1; then
  echo "FAIL: the Wine prefix $WINEPREFIX cannot be prepared:" >&2
  tail -20 "$log" >&2
  exit 1
fi
timeout 60 "$loader" net start schedule >>"$log" 2>&1 || true
timeout 300 "$(wine_server)" -w
touch "$WINEPREFIX/.ih-ready"
