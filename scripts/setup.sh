#!/usr/bin/env bash
# Installs everything Pixelkite needs to build and test on Debian 12.
# Idempotent and quick when everything is already there.
set -euo pipefail

packages=(
  # native build and tests
  build-essential cmake ninja-build pkg-config googletest libspng-dev ccache lld
  # fuzzing (clang with libFuzzer and the sanitizer runtimes; llvm-cov for coverage)
  clang libclang-rt-14-dev llvm-14
  # Windows builds: mingw-w64 with POSIX threads (GoogleTest needs std::thread)
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  # Windows tests under 64-bit Wine, GUI tests under Xvfb, Chinese text
  wine64 xvfb xauth x11-utils xdotool imagemagick locales fonts-wqy-microhei fonts-wine
  # tests that read and write files made by other tools
  python3 python3-pil
  # update manifests: the signing tool and the updater's tests; make dist
  python3-cryptography zip
  # the Windows installer, Authenticode signing, looking inside installers;
  # the .deb and its man page; the release files' checks
  nsis osslsigncode openssl p7zip-full dpkg-dev man-db python3-yaml
)

here=$(cd "$(dirname "$0")" && pwd)
bash "$here/install-packages.sh" "${packages[@]}"

# Wine takes code page 936 (GBK) from a Chinese locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi

# Optional steps contributed by other parts of the project (for example the
# unpacking of test modules) live beside this script as setup-*.sh.
for extra in "$here"/setup-*.sh; do
  [ -e "$extra" ] || continue
  bash "$extra"
done
