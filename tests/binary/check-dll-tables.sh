#!/usr/bin/env bash
# Reads a built DLL's headers and fails when
#  - it is not a PE DLL of the expected architecture,
#  - it imports anything but Windows system DLLs (a MinGW runtime DLL would
#    keep it from loading on a clean machine),
#  - it imports a function that imports.tsv does not list, or one that the
#    oldest Windows of its architecture lacks (2000 for x86, the first x64
#    Windows for x64): a missing import fails the whole DLL at load,
#  - its export table differs in any way from the project's export list
#    (a missing, extra or decorated name).
# Usage: check-dll-tables.sh DLL OBJDUMP EXPORT_LIST.def x64|x86 IMPORTS.tsv
set -euo pipefail
dll=$1 objdump=$2 def=$3 arch=$4 allowed=$5

system_dlls='advapi32 comctl32 comdlg32 crypt32 gdi32 kernel32 msi msvcrt netapi32 newdev ntdll ole32 oleaut32
  rpcrt4 secur32 setupapi shell32 shlwapi user32 userenv version wintrust ws2_32 wtsapi32'

headers=$("$objdump" -p "$dll")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

case "$arch" in
  x64) want='pei-x86-64' oldest=5.2 ;;
  x86) want='pei-i386' oldest=5.0 ;;
  *) echo "unknown architecture $arch"; exit 2 ;;
esac
grep -q "file format $want" <<<"$headers" || fail "$dll is not a $want image"
# The characteristics flags are the tab-indented lines after "Characteristics".
awk '/^Characteristics/ {flags = 1; next} flags && /^\t/ {print; next} {flags = 0}' <<<"$headers" \
  | grep -qx $'\tDLL' || fail "$dll is not a DLL"

imports=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$headers" | sort -u)
[ -n "$imports" ] || fail "no import table found"
for import in $imports; do
  base=${import%.dll}
  grep -qw "$base" <<<"$system_dlls" || fail "imports $import, which is not a Windows system DLL"
done

# Imported functions: under each "DLL Name:" the lines "<vma> <hint> <name>".
functions=$(awk '/DLL Name:/ { dll = tolower($3); next }
                 dll != "" && /^\t[0-9a-f]+\t +[0-9]+  [^ ]+$/ { print dll "\t" $NF; next }
                 dll != "" && /^\t[0-9a-f]+\t/ { print dll "\t(by ordinal)"; next }
                 /^$/ { dll = "" }' <<<"$headers" | sort -u)
[ -n "$functions" ] || fail "no imported functions found"
while IFS=$'\t' read -r import function; do
  row=$(awk -F'\t' -v d="$import" -v f="$function" '$1 == d && $2 == f {print $3; exit}' "$allowed")
  if [ -z "$row" ]; then
    fail "imports $import!$function, which $(basename "$allowed") does not list"
  elif awk -v first="$row" -v oldest="$oldest" 'BEGIN { exit !(first + 0 > oldest + 0) }'; then
    fail "imports $import!$function, which arrived with Windows $row (the $arch DLL must load on $oldest)"
  fi
done <<<"$functions"
function_count=$(grep -c . <<<"$functions" || true)

# Export names: the lines after "[Ordinal/Name Pointer] Table" look like "[   0] Name".
exported=$(awk '/\[Ordinal\/Name Pointer\] Table|\[Name Pointer\/Ordinal\] Table/ {in_table = 1; next}
                in_table && /^[[:space:]]*\[[[:space:]]*[0-9]+\] [^+]/ {print $NF}
                in_table && /^$/ {in_table = 0}' <<<"$headers" | sort)
expected=$(awk 'toupper($1) == "EXPORTS" {in_list = 1; next}
                in_list && NF > 0 && $1 !~ /^;/ {print $1}' "$def" | sort)
if [ "$exported" != "$expected" ]; then
  fail "export table differs from $def:"
  diff <(echo "$expected") <(echo "$exported") | sed 's/^</  missing:/; s/^>/  unexpected:/' | grep -E 'missing|unexpected' || true
fi

count=$(grep -c . <<<"$exported" || true)
if [ "$failures" -eq 0 ]; then
  echo "$dll: $want, imports [$(echo $imports)] ($function_count functions, none newer than Windows $oldest), $count exports as listed"
  exit 0
fi
exit 1
