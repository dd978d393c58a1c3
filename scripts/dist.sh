#!/usr/bin/env bash
# Builds the shipped 32-bit program and zips what a user unpacks into one
# folder: Pixelkite.exe, NubUpdater.dll (which it needs beside it) and
# pixelkite-cli.exe. Output: build/pixelkite-<version>-win32.zip
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset win32 >/dev/null
cmake --build build/win32 -j"$(nproc)" --target Pixelkite NubUpdater pixelkite
bash tests/updater/check_imports.sh build/win32
bash scripts/check-static.sh build/win32
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win32/CMakeCache.txt)
out=$root/build/pixelkite-${version:-unknown}-win32.zip
rm -f "$out"
zip -j -q "$out" build/win32/bin/Pixelkite.exe build/win32/bin/NubUpdater.dll build/win32/bin/pixelkite-cli.exe
echo "dist: $out"
zip -sf "$out"
