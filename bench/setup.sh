#!/usr/bin/env bash
# Installs what the benchmarks compare against and measure with (Debian
# packages; idempotent). Kept apart from scripts/setup.sh: the tests need none of it.
set -euo pipefail
packages=(icoutils p7zip-full imagemagick time)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "bench setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
