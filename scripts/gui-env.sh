# Shared set-up for running the Windows program on Linux: a Wine prefix with
# the Chinese environment (code page 936 from a zh_CN locale, a CJK font
# standing in for the fonts the dialogs name) and a display (this one, or a
# private Xvfb). Sourced by scripts/run-gui.sh and tests/e2e/run.sh:
#
#   source scripts/gui-env.sh
#   pk_gui_prepare          # prefix and fonts (once per prefix)
#   pk_gui_start_xvfb       # private display; DISPLAY is set, PK_XVFB_PID kept
#   "$PK_WINE" program.exe
#   pk_gui_stop             # wineserver -k for this prefix, then Xvfb by PID
#
# With PK_WINE_KEEP=1 (scripts/test.sh sets it for its suites) the prefix's
# wineserver is kept up once the display is chosen, until it is stopped with
# wineserver -k (pk_gui_stop; test.sh stops each suite's).
#
# With PK_WINEPREFIX_TEMPLATE set (scripts/test.sh sets it), a prefix that
# does not exist yet is made as a copy of that prepared one: each test suite
# gets a prefix of its own in a second instead of a new one in a minute.
# (Found once and passed on: wine.sh runs for every Windows program a test starts.)
if [ -z "${PK_GUI_ROOT:-}" ]; then
  PK_GUI_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  export PK_GUI_ROOT
fi
pk_gui_root=$PK_GUI_ROOT
export WINEPREFIX=${PK_WINEPREFIX:-$pk_gui_root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts, and no menu entries or file types made on the
# desktop for what the prefix installs (winemenubuilder: a process each time).
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}
# Wine takes the ANSI code page from the locale: zh_CN gives 936 (GBK).
export LANG=${PK_WINE_LANG:-zh_CN.UTF-8}
export LC_ALL=$LANG
PK_WINE=/usr/lib/wine/wine64
PK_WINESERVER=/usr/lib/wine/wineserver
PK_XVFB_PID=
# pk_wine_sys PROGRAM ARGS...: a program of Wine's system folder (reg, cmd).
# Named by its full Windows path it starts at once; by its bare name Wine
# starts it through start.exe, a second process that costs as much again.
pk_wine_sys() { "$PK_WINE" "C:\\windows\\system32\\$1.exe" "${@:2}"; }

# Makes $WINEPREFIX unless it exists: a copy of PK_WINEPREFIX_TEMPLATE when
# that is set, else a new prefix.
pk_wine_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  local template=${PK_WINEPREFIX_TEMPLATE:-}
  if [ -n "$template" ] && [ "$template" != "$WINEPREFIX" ]; then
    # The template is made under an exclusive lock on this file; copies wait
    # for it. The system folder's DLLs are never written, so they are linked.
    (
      flock -s 9
      [ -f "$template/system.reg" ] || exit 1
      rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX" &&
        tar -C "$template" --exclude=./drive_c/windows/system32 -cf - . | tar -C "$WINEPREFIX" -xf - &&
        cp -al "$template/drive_c/windows/system32" "$WINEPREFIX/drive_c/windows/"
    ) 9>>"$template.lock" && return 0
  fi
  mkdir -p "$WINEPREFIX"
  "$PK_WINE" wineboot -i >/dev/null 2>&1 || true
  "$PK_WINESERVER" -w || true
}

# A wineserver ends, with Wine's own service processes, a moment after its
# last program: the next program then starts them all again, which costs
# twice or three times what the program itself does. Test suites that run
# hundreds of short programs keep one up instead. The first program starts
# the service processes, and they keep its file descriptors: it holds no
# pipe that a test reads.
# The same goes for the desktop and its explorer.exe, which Wine ends a
# second after the last program with a window: with a display, a helper
# that never ends holds it (the probe's "keep-desktop", when the win64 tree has it),
# also without one in suites that set PK_WINE_HEADLESS=1.
# Called once the display is chosen (pk_gui_start_xvfb), or for programs
# that show no window (scripts/wine.sh).
pk_wine_keep() {
  [ "${PK_WINE_KEEP:-}" = 1 ] || return 0
  [ "${PK_WINE_KEPT:-}" = "$WINEPREFIX" ] && return 0
  # Refused (status 2) when a server already runs for the prefix.
  "$PK_WINESERVER" -p </dev/null >/dev/null 2>&1 || return 0
  export PK_WINE_KEPT=$WINEPREFIX
  local holder=${PK_WINE_HOLDER:-$pk_gui_root/build/win64/bin/pk_e2e_probe.exe}
  # Without a display only where the suite shows none (PK_WINE_HEADLESS=1):
  # a desktop held before the display is chosen would show nothing.
  if { [ -n "${DISPLAY:-}" ] || [ "${PK_WINE_HEADLESS:-}" = 1 ]; } && [ -f "$holder" ]; then
    # The holder is the first program: it starts the services and the
    # desktop, and says so once it holds the desktop. Until then no other
    # program starts: a desktop that a test's own program started would
    # keep that program's output open (explorer.exe inherits it), and the
    # test reading it would wait for ever.
    local said=$WINEPREFIX/.pk-desktop-kept i
    rm -f "$said"
    ("$PK_WINE" "$holder" keep-desktop - </dev/null >"$said" 2>/dev/null &)
    for i in $(seq 600); do
      grep -q kept "$said" 2>/dev/null && return 0
      sleep 0.1
    done
    echo "gui-env: the desktop holder said nothing within a minute" >&2
  else
    # (By its bare name: through start.exe, which starts the desktop too.)
    "$PK_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
  fi
}
# pk_wine_rerun EXE ARGS...: runs a Windows program that never fails without
# a word (the probe, which prints before it acts; the command line). On a
# loaded machine Wine now and then ends a program at once, before its first
# line, with status 1; such a run did nothing, so it runs once more, and the
# line goes to $PK_WINE_RERUNS for pk_wine_reruns_report. Its output comes
# once the program has ended, standard error after standard output.
pk_wine_rerun() {
  local out err began=$EPOCHREALTIME status
  out=$(mktemp "${TMPDIR:-/tmp}/pk-wine-out.XXXXXX") || return 1
  err=$out.err
  "$PK_WINE" "$@" >"$out" 2>"$err"
  status=$?
  if [ $status -eq 1 ] && [ ! -s "$out" ] && [ ! -s "$err" ] &&
    (( ${EPOCHREALTIME/./} - ${began/./} < 3000000 )); then
    echo "exit $status: ${*:2}" >>"${PK_WINE_RERUNS:-/dev/null}"
    "$PK_WINE" "$@" >"$out" 2>"$err"
    status=$?
  fi
  cat "$out"
  cat "$err" >&2
  rm -f "$out" "$err"
  return $status
}

# pk_probe_serve EXE DIR: one process of the test probe EXE ("EXE serve",
# a line per command) answers what pk_probe asks in this prefix: a Windows
# process started for each of hundreds of steps cost a tenth of a
# core-second each. DIR takes its two pipes. Both are held open here for
# reading and writing, so neither side blocks on opening them nor dies
# writing to one whose reader has gone: a probe that has gone shows as
# silence. Without a serving probe, pk_probe starts one per command.
PK_PROBE_SERVER=
pk_probe_serve() {
  PK_PROBE_EXE=$1
  mkfifo "$2/probe.in" "$2/probe.out" || return 0
  exec {pk_probe_in}<>"$2/probe.in" {pk_probe_out}<>"$2/probe.out"
  "$PK_WINE" "$PK_PROBE_EXE" serve <"$2/probe.in" >"$2/probe.out" 2>&1 &
  PK_PROBE_SERVER=$! pk_probe_prefix=$WINEPREFIX
  pk_probe codepage - >/dev/null || { echo "the probe does not serve: one per command"; pk_probe_stop; }
}
pk_probe() {
  # A probe that has gone (its wineserver stopped) is started no more.
  [ -z "$PK_PROBE_SERVER" ] || kill -0 "$PK_PROBE_SERVER" 2>/dev/null || PK_PROBE_SERVER=
  if [ -z "$PK_PROBE_SERVER" ] || [ "$WINEPREFIX" != "$pk_probe_prefix" ]; then
    pk_wine_rerun "$PK_PROBE_EXE" "$@"
    return
  fi
  local IFS=$'\x1f' line part= waited=0
  printf '%s\n' "$*" >&"$pk_probe_in"
  while [ $waited -lt 900 ]; do
    if IFS= read -r -t 5 -u "$pk_probe_out" line; then
      line=$part${line%$'\r'} part=
      [[ $line == $'\x01'* ]] && return "${line:1}"
      printf '%s\n' "$line"
    elif part+=$line; kill -0 "$PK_PROBE_SERVER" 2>/dev/null; then
      waited=$((waited + 5))
    else
      break
    fi
  done
  echo "FAIL the probe ended or stopped answering during: $*"
  pk_probe_stop
  return 1
}
pk_probe_stop() {
  [ -z "$PK_PROBE_SERVER" ] || kill "$PK_PROBE_SERVER" 2>/dev/null
  PK_PROBE_SERVER=
}
pk_wine_reruns_report() {
  [ -s "${PK_WINE_RERUNS:-}" ] || return 0
  echo "Wine ended a program at once without a word, and it ran again, $(wc -l <"$PK_WINE_RERUNS") time(s):"
  sed 's/^/  /' "$PK_WINE_RERUNS"
}

# Waits for the prefix's wineserver to end, which writes the registry to
# disk; a kept one never ends, and the programs after see its registry anyway.
pk_wine_settle() {
  [ "${PK_WINE_KEPT:-}" = "$WINEPREFIX" ] || "$PK_WINESERVER" -w || true
}

pk_gui_prepare() {
  if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
    echo "gui-env: the zh_CN.UTF-8 locale is missing (run scripts/setup.sh)" >&2
    return 1
  fi
  pk_wine_prefix
  # Wine draws the caption buttons with its Marlett font (package fonts-wine);
  # outside the prefix's font folder it goes unseen and the glyphs show as letters.
  local marlett=/usr/share/wine/fonts/marlett.ttf
  if [ -f "$marlett" ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
    cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  fi
  local marker=$WINEPREFIX/.pk-gui-fonts
  if [ ! -f "$marker" ]; then
    # The dialogs ask for 宋体 (SimSun); Wine has none of these fonts, so
    # they all map to WenQuanYi Micro Hei, which carries the Chinese glyphs.
    local key='HKCU\Software\Wine\Fonts\Replacements' name
    for name in SimSun 宋体 NSimSun 新宋体 Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "MS Sans Serif"; do
      pk_wine_sys reg add "$key" /v "$name" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1 || return 1
    done
    pk_wine_settle
    touch "$marker"
  fi
  # Test programs keep their windows from the window manager (Xvfb has none):
  # hiding a managed window waits two seconds for one. Pixelkite.exe itself
  # stays managed, as on a desktop.
  local unmanaged=$WINEPREFIX/.pk-unmanaged-tests
  if [ ! -f "$unmanaged" ]; then
    for name in pk_win_tests.exe pk_update_client.exe; do
      pk_wine_sys reg add "HKCU\\Software\\Wine\\AppDefaults\\$name\\X11 Driver" /v Managed /d N /f >/dev/null 2>&1 ||
        return 1
    done
    pk_wine_settle
    touch "$unmanaged"
  fi
}

# Starts a private X server on a free display. The server picks the display
# itself and says which once it listens, so suites starting at the same
# moment never pick the same one.
pk_gui_start_xvfb() {
  local fifo n=
  fifo=$(mktemp -u "${TMPDIR:-/tmp}/pk-xvfb.XXXXXX")
  mkfifo "$fifo" || return 1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  PK_XVFB_PID=$!
  # The number arrives on the pipe; an early end of the server closes it.
  read -r -t 20 n <"$fifo"
  rm -f "$fifo"
  if ! [[ "$n" =~ ^[0-9]+$ ]]; then
    echo "gui-env: Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$n"
  # Wine's desktop process starts with the first program and stays with a
  # kept server: it must find this display.
  pk_wine_keep
}

pk_gui_stop() {
  pk_probe_stop
  "$PK_WINESERVER" -k >/dev/null 2>&1 || true
  [ "${PK_WINE_KEPT:-}" = "$WINEPREFIX" ] && PK_WINE_KEPT=
  if [ -n "$PK_XVFB_PID" ]; then
    kill "$PK_XVFB_PID" 2>/dev/null || true
    wait "$PK_XVFB_PID" 2>/dev/null || true
    PK_XVFB_PID=
  fi
}

# pk_gone_within SECONDS PID: true once the process has ended, false if it
# still runs after SECONDS.
pk_gone_within() {
  local i
  for i in $(seq 1 $(($1 * 10))); do
    kill -0 "$2" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}
