#!/usr/bin/env bash
# Runs a Windows program under Wine in the test prefix and returns its exit
# code; returns 77 (skipped) when this machine cannot run the architecture.
# Usage: run.sh PROGRAM [ARGUMENTS...]   (IH_ARCH and WINEPREFIX from the environment)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine.sh"
arch=${IH_ARCH:?IH_ARCH must be x64 or x86}
if ! wine_usable "$arch"; then
  echo "skipped: Wine cannot run $arch programs on this machine" >&2
  exit $WINE_SKIP
fi
"$(wine_loader "$arch")" "$@"
