#!/usr/bin/env bash
# Builds and opens Pixelkite: the Windows program under 64-bit Wine when it
# is there (on this display, or a virtual one), else the command line on the
# program's own icon.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
cmake --preset win64 >/dev/null
if cmake --build build/win64 -j"$jobs" --target Pixelkite >/dev/null 2>&1 && [ -x scripts/run-gui.sh ]; then
  exec bash scripts/run-gui.sh "$root/build/win64/bin/Pixelkite.exe"
fi
cmake --preset native >/dev/null
cmake --build build/native -j"$jobs" --target pixelkite
sample=$root/res/pixelkite.ico
[ -f "$sample" ] || sample=$root/tests/data/sample.ico
build/native/bin/pixelkite --help
echo
build/native/bin/pixelkite list "$sample"
