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

if ! wine_usable "$arch"; then
  echo "Wine cannot run $arch programs on this machine: $(wine_loader "$arch") does not start" >&2
  exit $WINE_SKIP
fi
# Programs of both architectures run in a 64-bit prefix; it is made with the
# 64-bit loader so that an x86 test run works wherever the x64 one does.
loader=$(wine_loader x64)
if [ -f "$WINEPREFIX/.ih-ready" ]; then exit 0; fi
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
"$loader" wineboot -i >/dev/null 2>&1
"$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
"$loader" net start schedule >/dev/null 2>&1 || true
"$(wine_server)" -w
touch "$WINEPREFIX/.ih-ready"
