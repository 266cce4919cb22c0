#!/usr/bin/env bash
# Builds the reference package around the built DLL and checks its tables.
# Usage: package-tables.sh ARCH DLL ENGINE EXPORTS.def WORKDIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
arch=$1 dll=$2 engine=$3 exports=$4 work=$5
IH_DLL=$dll IH_ENGINE=$engine "$here/../../package/build.sh" "$arch" "$work"
python3 "$here/check-package-tables.py" "$work/Kestro.msi" "$dll" "$exports" "$here/actions.tsv" "$here/order.tsv"
