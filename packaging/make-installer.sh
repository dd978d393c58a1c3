#!/usr/bin/env bash
# Builds the Windows installer around one build's files (the CMake target
# `installer` runs it; so do make dist and the installer tests).
#
#   make-installer.sh --arch x86|amd64 --version V --out SETUP.exe \
#       --program Pixelkite.exe --updater NubUpdater.dll --cli pixelkite-cli.exe \
#       --publisher NAME --web-site URL
#
# The installer holds stripped copies of the three files, made next to
# SETUP.exe in SETUP.files/. With PK_SIGN_PKCS12 and PK_SIGN_PASSWORD set,
# those, the uninstaller and the installer are signed (packaging/sign-file.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
arch= version= out= program= updater= cli= publisher=Pixelkite web_site=
while [ $# -gt 0 ]; do
  case $1 in
    --arch) arch=$2 ;;
    --version) version=$2 ;;
    --out) out=$2 ;;
    --program) program=$2 ;;
    --updater) updater=$2 ;;
    --cli) cli=$2 ;;
    --publisher) publisher=$2 ;;
    --web-site) web_site=$2 ;;
    *) echo "make-installer: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
for v in arch version out program updater cli web_site; do
  [ -n "${!v}" ] || { echo "make-installer: --${v//_/-} is missing" >&2; exit 2; }
done
command -v makensis >/dev/null || { echo "make-installer: makensis is missing (scripts/setup.sh installs nsis)" >&2; exit 1; }

mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
files=${out%.exe}.files
rm -rf "$files"
mkdir -p "$files"
cp "$program" "$files/Pixelkite.exe"
cp "$updater" "$files/NubUpdater.dll"
cp "$cli" "$files/pixelkite-cli.exe"
# The shipped copies carry no symbols (the build's own keep them for
# debugging); this strip reads 32- and 64-bit programs alike.
x86_64-w64-mingw32-strip "$files/Pixelkite.exe" "$files/NubUpdater.dll" "$files/pixelkite-cli.exe"
export PK_SIGN_URL=$web_site
for f in Pixelkite.exe NubUpdater.dll pixelkite-cli.exe; do
  bash "$here/sign-file.sh" "$files/$f"
done
rm -f "$out"
# Both the uninstaller and the installer pass through sign-file.sh.
makensis -V2 -INPUTCHARSET UTF8 -DARCH="$arch" -DVERSION="$version" -DOUTFILE="$out" \
  -DPROGRAM="$files/Pixelkite.exe" -DUPDATER="$files/NubUpdater.dll" -DCLI="$files/pixelkite-cli.exe" \
  -DPUBLISHER="$publisher" -DWEB_SITE="$web_site" -DICON="$here/../res/pixelkite.ico" \
  -DSIGN="bash $here/sign-file.sh" "$here/pixelkite.nsi"
echo "installer: $out"
