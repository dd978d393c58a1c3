#!/usr/bin/env bash
# Fails when a Windows executable of a build imports a MinGW runtime DLL:
# Pixelkite ships as programs that need nothing beside them.
# usage: check-static.sh BUILD_DIR...
set -euo pipefail
status=0
for dir in "$@"; do
  for exe in "$dir"/bin/*.exe "$dir"/bin/*.dll; do
    [ -e "$exe" ] || continue
    bad=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}' |
          grep -i -E 'libstdc\+\+|libgcc|libwinpthread' || true)
    if [ -n "$bad" ]; then
      echo "not static: $exe imports $bad"
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "static: every Windows program stands alone"
exit $status
