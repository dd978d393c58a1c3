#!/usr/bin/env bash
# Takes the README's picture of the main window: the win64 Pixelkite.exe
# under Wine on a private Xvfb, Wine drawing the window's caption itself
# (there is no window manager), cropped to the window. The program opens
# Wine's shell32.dll from its command line and a group is selected, so the
# list is filled and the preview shows an icon. PK_SCREENSHOT_FILE names
# another file to open instead (a Linux path), PK_SCREENSHOT_ENTRY the entry.
# PK_SCREENSHOT_DIALOG=about or settings takes that dialog instead, opened
# from its button; PK_SCREENSHOT_DPI=144 (say) sets the prefix's DPI first
# (give such a run a prefix of its own with PK_WINEPREFIX).
#   usage: tests/e2e/screenshot.sh <win64 build dir> <out.png>
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$(cd "$1" && pwd)/bin/Pixelkite.exe
probe_exe=$(cd "$1" && pwd)/bin/pk_e2e_probe.exe
out=$2
module='Z:\usr\lib\x86_64-linux-gnu\wine\x86_64-windows\shell32.dll'
if [ -n "${PK_SCREENSHOT_FILE:-}" ]; then module="Z:${PK_SCREENSHOT_FILE//\//\\}"; fi
entry=${PK_SCREENSHOT_ENTRY:-4}
source "$root/scripts/gui-env.sh"
trap pk_gui_stop EXIT
pk_gui_prepare
pk_gui_start_xvfb
key='HKCU\Software\Wine\X11 Driver'
pk_wine_sys reg add "$key" /v Decorated /d N /f >/dev/null 2>&1 </dev/null
if [ -n "${PK_SCREENSHOT_DPI:-}" ]; then
  pk_wine_sys reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$PK_SCREENSHOT_DPI" /f >/dev/null 2>&1 </dev/null
  "$PK_WINESERVER" -w || true
fi
"$PK_WINE" "$exe" "$module" >/dev/null 2>&1 </dev/null &
for i in $(seq 1 100); do
  id=$(xdotool search --name '^Pixelkite$' 2>/dev/null | head -1) && [ -n "$id" ] && break
  sleep 0.3
done
[ -n "${id:-}" ] || { echo "screenshot: no window" >&2; exit 1; }
xdotool windowfocus "$id" 2>/dev/null || true
"$PK_WINE" "$probe_exe" select Pixelkite "$entry" >/dev/null 2>&1 </dev/null
sleep 2
case "${PK_SCREENSHOT_DIALOG:-}" in
  about) button=3 title='关于' ;;
  settings) button=1007 title='软件设置' ;;
  *) button= ;;
esac
if [ -n "$button" ]; then
  "$PK_WINE" "$probe_exe" click Pixelkite "$button" >/dev/null 2>&1 </dev/null &
  id=
  for i in $(seq 1 50); do
    id=$(xdotool search --name "^$title\$" 2>/dev/null | head -1) && [ -n "$id" ] && break
    sleep 0.3
  done
  [ -n "$id" ] || { echo "screenshot: no $title dialog" >&2; exit 1; }
  sleep 1
fi
geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width/{w=$2} /Height/{h=$2} END{print w"x"h"+"x"+"y}')
import -window root -crop "$geometry" +repage "$out"
[ -z "$button" ] || "$PK_WINE" "$probe_exe" close "$title" >/dev/null 2>&1 </dev/null || true
"$PK_WINE" "$probe_exe" close Pixelkite >/dev/null 2>&1 </dev/null || true
pk_wine_sys reg delete "$key" /v Decorated /f >/dev/null 2>&1 </dev/null || true
echo "screenshot: $out ($geometry)"
