#!/usr/bin/env bash
# Runs a Windows program of the x86_64 build under 64-bit Wine, in the
# project's own prefix (PK_WINEPREFIX, default build/wineprefix), with a
# Chinese code page so the program's GBK text is what a user would see.
# The wineserver it starts keeps running for later calls; stop it with
#   WINEPREFIX=<prefix> /usr/lib/wine/wineserver -k
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${PK_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts in a prefix that needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export LANG=${PK_WINE_LANG:-zh_CN.UTF-8}
export LC_ALL=$LANG
wine=/usr/lib/wine/wine64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w || true
fi
exec "$wine" "$@"
