#!/usr/bin/env bash
# Opens the Windows program under 64-bit Wine with the Chinese environment,
# on $DISPLAY or, without one, on a private Xvfb (then stopped afterwards).
# Builds nothing.   usage: scripts/run-gui.sh [path/to/Pixelkite.exe]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=${1:-$root/build/win64/bin/Pixelkite.exe}
[ -f "$exe" ] || { echo "run-gui: $exe not found (build the win64 preset first)" >&2; exit 1; }
source "$root/scripts/gui-env.sh"
pk_gui_prepare
if [ -z "${DISPLAY:-}" ]; then
  pk_gui_start_xvfb
  trap pk_gui_stop EXIT
  echo "run-gui: no display; running on a private Xvfb ($DISPLAY)"
fi
"$PK_WINE" "$exe"
