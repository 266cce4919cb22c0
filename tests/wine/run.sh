#!/usr/bin/env bash
# Runs a Windows program under Wine in the test prefix and returns its exit
# code. Skipped (77) only where this machine cannot run the architecture (or,
# for x86 under emulation, when the test is not in the smoke set: IH_SET=smoke
# marks those); a missing or broken Wine fails.
# Usage: run.sh PROGRAM [ARGUMENTS...]   (IH_ARCH and WINEPREFIX from the environment)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine.sh"
arch=${IH_ARCH:?IH_ARCH must be x64 or x86}
wine_gate "$arch" "${IH_SET:-}"
"$(wine_loader "$arch")" "$@"
