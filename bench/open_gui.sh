#!/usr/bin/env bash
# How long the Windows program takes to open Wine's shell32.dll (184 icon
# groups): from pressing Open in the real open dialog until the list is filled
# and the paint has set the preview, against a bare LoadLibraryExA +
# EnumResourceNamesA of the same file, measured in the same run (the win64
# build under Wine on a private Xvfb). Prints a small table of medians.
#   usage: bench/open_gui.sh [win64 build dir] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
rounds=${2:-7}
exe=$build/bin/Pixelkite.exe
probe_exe=$build/bin/pk_e2e_probe.exe
for f in "$exe" "$probe_exe"; do
  [ -f "$f" ] || { echo "open_gui: $f is missing (build the win64 preset)" >&2; exit 1; }
done
source "$root/scripts/gui-env.sh"
work=$(mktemp -d)
cleanup() { pk_gui_stop; rm -rf "$work"; }
trap cleanup EXIT
pk_gui_prepare
pk_gui_start_xvfb
# The module and a small icon to open in between, side by side, so that the
# dialog opens in their folder and never has to change folders.
cp /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll "$root/res/pixelkite.ico" "$work/"
win() { echo "Z:${1//\//\\}"; }
"$PK_WINE" "$probe_exe" count Pixelkite >/dev/null 2>&1 </dev/null
"$PK_WINE" "$exe" >/dev/null 2>&1 </dev/null &
"$PK_WINE" "$probe_exe" wait Pixelkite 60000 </dev/null
"$PK_WINE" "$probe_exe" bench Pixelkite "$(win "$work/shell32.dll")" "$(win "$work/pixelkite.ico")" "$rounds" \
  </dev/null >"$work/out" 2>&1 || { cat "$work/out"; exit 1; }
"$PK_WINE" "$probe_exe" close Pixelkite </dev/null >/dev/null 2>&1 || true
tr -d '\r' <"$work/out" | awk -v rounds="$rounds" '
  /^median whole/ {whole=$3} /^median dialog/ {dialog=$3} /^median program/ {program=$3} /^median bare/ {bare=$3}
  END {
    printf "Opening shell32.dll (184 groups), median of %d rounds, milliseconds\n", rounds
    printf "%-58s %9s %7s\n", "measure", "ms", "x bare"
    printf "%-58s %9.1f %7.1f\n", "Open pressed -> list filled, preview set (whole)", whole, whole / bare
    printf "%-58s %9.1f %7.1f\n", "  of which Wine'"'"'s file dialog closing", dialog, dialog / bare
    printf "%-58s %9.1f %7.1f\n", "  of which the program (dialog gone -> preview set)", program, program / bare
    printf "%-58s %9.1f %7.1f\n", "bare LoadLibraryExA + EnumResourceNamesA", bare, 1
  }'
