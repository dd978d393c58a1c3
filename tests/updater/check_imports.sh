#!/usr/bin/env bash
# The program links the update library at load time: in each build,
# Pixelkite.exe must import CheckForUpdate by that name from NubUpdater.dll,
# and NubUpdater.dll beside it must export exactly that name, undecorated.
# usage: check_imports.sh BUILD_DIR...
set -uo pipefail
objdump=x86_64-w64-mingw32-objdump  # reads 32- and 64-bit programs alike
status=0
for dir in "$@"; do
  exe=$dir/bin/Pixelkite.exe dll=$dir/bin/NubUpdater.dll
  for f in "$exe" "$dll"; do
    [ -f "$f" ] || { echo "imports: $f is missing"; status=1; continue 2; }
  done
  imports=$($objdump -p "$exe" | awk '
    /DLL Name:/ { inside = ($3 == "NubUpdater.dll"); next }
    inside && NF == 0 { inside = 0 }
    inside && $1 ~ /^[0-9a-f]+$/ && NF >= 3 { print $3 }')
  exports=$($objdump -p "$dll" | awk '
    /\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
    inside && NF == 0 { inside = 0 }
    inside { print $NF }')
  if [ "$imports" != "CheckForUpdate" ]; then
    echo "imports: $exe takes [${imports//$'\n'/ }] from NubUpdater.dll, not CheckForUpdate alone"
    status=1
  elif [ "$exports" != "CheckForUpdate" ]; then
    echo "imports: $dll exports [${exports//$'\n'/ }], not CheckForUpdate alone"
    status=1
  else
    echo "imports: $(basename "$dir"): Pixelkite.exe imports CheckForUpdate from NubUpdater.dll, which exports it"
  fi
done
exit $status
