#!/usr/bin/env bash
# The release files, in build/dist/ (or PK_DIST_DIR):
#   pixelkite-<version>-setup.exe   the 32-bit program's installer
#   pixelkite-<version>-win32.zip   the same three files to unpack anywhere
#   pixelkite_<version>_amd64.deb   the command line for Debian and Ubuntu
#   SHA256SUMS, winget/ (a manifest set for the installer), scoop/pixelkite.json (for the zip)
#
# Signing: with PK_SIGN_PKCS12 (a PKCS#12 file) and PK_SIGN_PASSWORD set,
# Pixelkite.exe, NubUpdater.dll, pixelkite-cli.exe, the uninstaller and the
# installer are signed with osslsigncode (PK_SIGN_TIMESTAMP_URL adds a time
# stamp); without them they are left unsigned, and this says so.
#
# The update library must carry the maker's release key: with the
# repository's placeholder or a test key this refuses, unless
# PK_DIST_TEST_BUILD=1 says that this is a test build (make dist TEST_BUILD=1).
# PK_DOWNLOAD_URL: where the files will be published (default: the update
# folder of the maker's web site), for the winget and Scoop manifests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=${PK_DIST_DIR:-$root/build/dist}
test_build=${PK_DIST_TEST_BUILD:-0}
license=${PK_LICENSE:-Freeware}

cmake --preset win32 >/dev/null
cached() { sed -n "s/^$1:[A-Z]*=//p" build/win32/CMakeCache.txt; }
version=$(cached CMAKE_PROJECT_VERSION)
web_site=$(cached PK_MAKER_WEB_SITE)
publisher=$(cached PK_PUBLISHER)
key_file=$(cached PK_UPDATE_KEY)
download=${PK_DOWNLOAD_URL:-$web_site/up/pixelkite/}
download=${download%/}/

# What is wrong with the key the library is built with, if anything.
key_problem() {
  local key
  key=$(tr -d ' \r\n' <"$1" | tr 'A-F' 'a-f')
  if [[ $key =~ ^0+$ ]]; then
    echo "the update library carries the placeholder key ($1); docs/updates.md says how to set the release key"
    return
  fi
  local test_key
  for test_key in build/*/tests/updater/test_key.pub; do
    [ -f "$test_key" ] || continue
    if [ "$(tr -d ' \r\n' <"$test_key" | tr 'A-F' 'a-f')" = "$key" ]; then
      echo "the update library carries a test key ($1)"
      return
    fi
  done
  # A release key's private half never lies beside it.
  [ -e "${1%.pub}.pem" ] && echo "the update library carries a test key: its private half lies beside it (${1%.pub}.pem)"
  return 0
}
problem=$(key_problem "$key_file")
if [ -n "$problem" ]; then
  if [ "$test_build" != 1 ]; then
    echo "dist: refusing to make release files: $problem." >&2
    echo "dist: (PK_DIST_TEST_BUILD=1, or make dist TEST_BUILD=1, makes a test build)" >&2
    exit 1
  fi
  echo "dist: TEST BUILD: $problem. Do not publish these files."
fi

rm -rf "$out"
mkdir -p "$out"
cmake --build build/win32 -j"$(nproc)" --target Pixelkite NubUpdater pixelkite
bash tests/updater/check_imports.sh build/win32
bash scripts/check-static.sh build/win32
# Made afresh, so that it is signed (or not) as this run says.
rm -f "build/win32/dist/pixelkite-$version-setup.exe"
cmake --build build/win32 --target installer
setup=pixelkite-$version-setup.exe
zip=pixelkite-$version-win32.zip
cp "build/win32/dist/$setup" "$out/"
# The zip holds the very files the installer holds (signed, if they are).
files=build/win32/dist/pixelkite-$version-setup.files
zip -j -X -q "$out/$zip" "$files/Pixelkite.exe" "$files/NubUpdater.dll" "$files/pixelkite-cli.exe"

# The .deb carries the same version and maker as the Windows files.
cmake --preset native -DPK_VERSION="$version" -DPK_MAKER_WEB_SITE="$web_site" \
  -DPK_MAKER_EMAIL="$(cached PK_MAKER_EMAIL)" -DPK_PUBLISHER="$publisher" >/dev/null
cmake --build build/native -j"$(nproc)" --target pixelkite pk_man_page
packages=$(mktemp -d)
trap 'rm -rf "$packages"' EXIT
(cd build/native && cpack -G DEB -B "$packages" >/dev/null)
deb=$(basename "$(ls "$packages"/pixelkite_*.deb)")
cp "$packages/$deb" "$out/"

(cd "$out" && sha256sum "$setup" "$zip" "$deb" >SHA256SUMS)
sha() { sha256sum "$out/$1" | cut -d' ' -f1; }
fill() {  # fill TEMPLATE OUTPUT
  mkdir -p "$(dirname "$2")"
  sed -e "s|@VERSION@|$version|g" -e "s|@PUBLISHER@|$publisher|g" -e "s|@WEB_SITE@|$web_site|g" \
    -e "s|@LICENSE@|$license|g" -e "s|@INSTALLER_URL@|$download$setup|g" \
    -e "s|@INSTALLER_SHA256@|$(sha "$setup" | tr 'a-f' 'A-F')|g" \
    -e "s|@ZIP_URL@|$download$zip|g" -e "s|@ZIP_SHA256@|$(sha "$zip")|g" "$1" >"$2"
}
winget=$out/winget/manifests/p/Pixelkite/Pixelkite/$version
for template in packaging/winget/*.yaml.in; do
  name=$(basename "$template" .in)
  fill "$template" "$winget/$name"
done
fill packaging/scoop/pixelkite.json.in "$out/scoop/pixelkite.json"
if [ "$test_build" = 1 ] && [ -n "$problem" ]; then
  echo "$problem" >"$out/NOT-FOR-RELEASE.txt"
fi

echo "dist: $out"
(cd "$out" && find . -type f | sort | sed 's|^\./|  |')
if [ -z "${PK_SIGN_PKCS12:-}" ]; then
  echo "dist: the files are NOT signed (set PK_SIGN_PKCS12 and PK_SIGN_PASSWORD to sign them)"
fi
