#!/usr/bin/env bash
# Unpacks Debian's 32-bit Wine modules (PE32 .dll/.exe files) without
# installing the package, so the module tests can cross-check our resource
# reader on real PE32 files as well as on the PE32+ ones of the 64-bit Wine.
# The machines cannot run 32-bit programs; the files are only read as data.
#
# usage: scripts/fetch-wine32-modules.sh [DEST]   (default: build/wine32-modules)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dest=${1:-$root/build/wine32-modules}

if [ -d "$dest/usr/lib/i386-linux-gnu/wine/i386-windows" ]; then
  echo "wine32 modules already in $dest"
  exit 0
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  apt-get update -qq
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The same Wine version as the installed 64-bit one, so both folders match.
version=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null || true)
cd "$work"
if [ -n "$version" ]; then
  apt-get download -qq "wine32:i386=$version" || apt-get download -qq wine32:i386
else
  apt-get download -qq wine32:i386
fi
# wine32 itself holds the loader; the modules come from libwine:i386.
for deb in wine32_*.deb; do dpkg -x "$deb" "$work/x"; done
if [ ! -d "$work/x/usr/lib/i386-linux-gnu/wine/i386-windows" ]; then
  lib=$(apt-cache depends wine32:i386 2>/dev/null | sed -n 's/.*Depends: \(libwine[^ ]*\).*/\1/p' | head -n1)
  lib=${lib%%:*}
  lib=${lib:-libwine}
  if [ -n "$version" ]; then
    apt-get download -qq "$lib:i386=$version" || apt-get download -qq "$lib:i386"
  else
    apt-get download -qq "$lib:i386"
  fi
  for deb in libwine*_i386.deb; do dpkg -x "$deb" "$work/x"; done
fi
mkdir -p "$dest"
cp -a "$work/x/." "$dest/"
count=$(find "$dest" -path '*i386-windows*' -type f | wc -l)
echo "unpacked $count files of the i386 Wine into $dest"
