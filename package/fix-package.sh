#!/usr/bin/env bash
# Completes a package that wixl built with InstallerHelper.wxi: what wixl 0.101
# cannot write, written with msibuild into the built package.
#   - Rollback actions: wixl drops Execute="rollback" from the Type column, so
#     the in-script and rollback bits (0x400 | 0x100) of every CustomAction
#     that a source declares Execute="rollback" are set here.
#   - The Error table rows 3000 and 3002 of PreInstallChecks (Error.idt).
# Usage: fix-package.sh PACKAGE.msi [SOURCE.wxs|.wxi ...]
#   (the sources that declare rollback actions; InstallerHelper.wxi by default)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
package=$1; shift
[ $# -gt 0 ] || set -- "$here/InstallerHelper.wxi"

rollback_ids() {
  python3 - "$@" <<'EOF'
import sys
import xml.etree.ElementTree as ET
for source in sys.argv[1:]:
    for element in ET.parse(source).iter():
        if element.tag.rsplit("}", 1)[-1] == "CustomAction" and element.get("Execute") == "rollback":
            print(element.get("Id"))
EOF
}

in_script=0x400 rollback=0x100
for id in $(rollback_ids "$@"); do
  type=$(msiinfo export "$package" CustomAction | awk -F'\t' -v id="$id" 'NR > 3 && $1 == id { print $2 }')
  if [ -z "$type" ]; then echo "fix-package: $package has no custom action $id" >&2; exit 1; fi
  msibuild "$package" -q "UPDATE \`CustomAction\` SET \`Type\` = $((type | in_script | rollback)) WHERE \`Action\` = '$id'"
done
msibuild "$package" -i "$here/Error.idt"
