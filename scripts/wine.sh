#!/usr/bin/env bash
# Runs a Windows program of the x86_64 build under 64-bit Wine, in the
# project's own prefix (PK_WINEPREFIX, default build/wineprefix), with a
# Chinese code page so the program's GBK text is what a user would see.
# The wineserver it starts keeps running for later calls; stop it with
#   WINEPREFIX=<prefix> /usr/lib/wine/wineserver -k
set -euo pipefail
[[ $0 == */* ]] && here=${0%/*} || here=.
source "$here/gui-env.sh"
pk_wine_prefix
pk_wine_keep
# Test scripts of programs that never fail without a word set
# PK_WINE_RERUN_SILENT=1: see pk_wine_rerun.
if [ "${PK_WINE_RERUN_SILENT:-}" = 1 ]; then
  status=0
  pk_wine_rerun "$@" || status=$?
  exit $status
fi
exec "$PK_WINE" "$@"
