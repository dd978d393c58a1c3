#!/usr/bin/env bash
# Installs what the benchmarks compare against and measure with (Debian
# packages). Kept apart from scripts/setup.sh: the tests need none of it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-packages.sh" icoutils p7zip-full imagemagick time
