#!/usr/bin/env bash
# The Windows program end to end: the real Pixelkite.exe of a win64 build
# under 64-bit Wine on a private Xvfb, with the Chinese environment, looked at
# from outside by the probe helper. Also runs the GUI tests of pk_win_tests,
# which need a display.
# usage: tests/e2e/run.sh <win64 build dir> [all|program|files|names|modules]
#   files: start-up, single instance, the commands on icon files and bitmaps
#   (and under another code page, the comparison with 936); names: the
#   commands on names outside the code page, the command line, the ways out,
#   the GUI tests and 144 DPI; modules: the commands on modules. Each part
#   starts a window of its own, so make test runs them side by side, each on
#   its own display and prefix. program is files and names; all (the
#   default) is all three.
# With PK_WINE_LANG=C.UTF-8 and a prefix of its own (PK_WINEPREFIX) it runs
# under code page 1252, and compares the skinned buttons with a 936 copy.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?usage: run.sh <win64 build dir> [all|program|files|names|modules]}
build=$(cd "$build" && pwd)
case ${2:-all} in
  all) parts="files names modules" ;;
  program) parts="files names" ;;
  files | names | modules) parts=$2 ;;
  *) echo "run.sh: unknown part $2" >&2; exit 2 ;;
esac
has() { [[ " $parts " == *" $1 "* ]]; }
exe=$build/bin/Pixelkite.exe
probe_exe=$build/bin/pk_e2e_probe.exe
tests_exe=$build/bin/pk_win_tests.exe
for f in "$exe" "$probe_exe"; do
  [ -f "$f" ] || { echo "e2e: $f is missing (build the win64 preset)" >&2; exit 1; }
done

source "$root/scripts/gui-env.sh"
work=$(mktemp -d)
export PK_WINE_RERUNS=${PK_WINE_RERUNS:-$work/reruns}
pids=()
cleanup() {
  pk_gui_stop
  rm -rf "$work"
}
trap cleanup EXIT
pk_gui_prepare || exit 1
pk_gui_start_xvfb || exit 1
# The wineserver and Wine's helper processes start with the first program and
# keep its file descriptors: let that be one that holds nothing open.
"$PK_WINE" "$probe_exe" count Pixelkite >/dev/null 2>&1 </dev/null
# The system's code page comes from the locale (PK_WINE_LANG): 936 for the
# Chinese systems the program is written for, 1252 under C.UTF-8. Everything
# below must read the same in both, but for what the system itself words.
codepage=$("$PK_WINE" "$probe_exe" codepage - 2>/dev/null </dev/null | tr -d '\r\n')
echo "system code page: $codepage"

passed=0 failed=0
# Each result gives the seconds since the one before, to show where the time goes.
last_result=$SECONDS
since_last() { since=$((SECONDS - last_result)); last_result=$SECONDS; }
check() {  # check NAME COMMAND...
  local name=$1; shift
  # Output goes to a file, not a pipe: Wine's background processes would
  # hold a pipe open and stall the reader.
  if "$@" >"$work/out" 2>&1; then
    since_last; passed=$((passed + 1)); echo "PASS $name ($since s)"
  else
    since_last; failed=$((failed + 1)); echo "FAIL $name ($since s)"; sed 's/^/    /' "$work/out"
  fi
}
# One probe process answers the part's steps (scripts/gui-env.sh).
probe() { pk_probe "$@"; }
pk_probe_serve "$probe_exe" "$work"
start() {  # start EXE: runs it in the background, remembers its pid
  "$PK_WINE" "$1" >/dev/null 2>&1 </dev/null &
  pids+=($!)
}
count_is() {  # count_is N TITLE [SECONDS]: waits for exactly N windows
  local i n
  for i in $(seq 1 $((${3:-20} * 2))); do
    probe count "$2" >"$work/count" 2>/dev/null </dev/null
    n=$(tr -d '\r\n' <"$work/count")
    [ "$n" = "$1" ] && return 0
    sleep 0.5
  done
  echo "windows titled $2: $n, expected $1"
  return 1
}
# Windows paths for the probe (Wine maps / to Z:).
winpath() { echo "Z:${1//\//\\}"; }

if has files; then
# First start: the main window with its controls.
start "$exe"
first=${pids[-1]}
check "start-up: the window Pixelkite appears" probe wait Pixelkite 60000
check "start-up: controls, empty list and preview, Save as and Copy disabled" probe startup Pixelkite
# Its skinned buttons as drawn, for the comparison with another code page below.
check "start-up: the skinned buttons' pixels are read" probe buttons Pixelkite "$(winpath "$work/buttons-$codepage.txt")"
# The window's own ways (minimising, a single instance by the program's
# name) go through no text of the code page: under another one, only the
# 936 run takes them.
if [ "$codepage" = 936 ]; then
# While it is alone on the screen: with copies of the program just started
# beside it, Wine now and then restored the window right after minimising
# it, or did not minimise it at all.
check "minimising and restoring the window" probe minimised Pixelkite "$(winpath "$exe")"

# Second start under the same name: ends at once, no second window.
second_started=$(date +%s)
"$PK_WINE" "$exe" >/dev/null 2>&1
second_status=$?
second_took=$(( $(date +%s) - second_started ))
check "single instance: a second start ends at once (exit $second_status after ${second_took}s)" \
  test "$second_status" -eq 0 -a "$second_took" -lt 30
check "single instance: still one window after the second start" count_is 1 Pixelkite 3

# A copy under another name runs beside it, and so does one whose name
# differs only in letter case: the mutex name is compared exactly.
# Each copy needs the update library beside it: the loader looks there.
cp "$exe" "$work/Pixelkite2.exe"
mkdir -p "$work/lower" && cp "$exe" "$work/lower/pixelkite.exe"
cp "$build/bin/NubUpdater.dll" "$work/" && cp "$build/bin/NubUpdater.dll" "$work/lower/"
start "$work/Pixelkite2.exe"
check "a copy named Pixelkite2.exe runs beside the first" count_is 2 Pixelkite 60
start "$work/lower/pixelkite.exe"
check "a copy named pixelkite.exe (other case) runs beside them" count_is 3 Pixelkite 60
fi


# Closing takes the Exit path and ends every process.
probe close Pixelkite
all_gone() {
  local p
  for p in "${pids[@]}"; do pk_gone_within 30 "$p" || { echo "process $p still runs"; return 1; }; done
}
check "closing the windows ends the programs" all_gone
pids=()
fi

# Starting again right after works at once: the mutex went with the process.
start "$exe"
check "a new start after closing shows the window again" probe wait Pixelkite 60000

# The commands, on this window.
source "$root/tests/e2e/commands.sh"
probe close Pixelkite
check "and it closes again" pk_gone_within 30 "${pids[-1]}"

if has names; then

# A file named on the command line ("Open with") opens as a chosen one does;
# a relative name is taken from the current folder, in a GBK-named folder.
(cd "$files/中文目录" && "$PK_WINE" "$exe" 图标.Ico >/dev/null 2>&1 </dev/null) &
pids+=($!)
check "command line: the window appears" probe wait Pixelkite 60000
expect "command line: the file is listed under its full path" \
  "$(lines "$(one "$(f 中文目录/图标.Ico)")" "$ON" "preview icon=1")" state Pixelkite
probe close Pixelkite
check "command line: and it closes" pk_gone_within 30 "${pids[-1]}"
# A name outside the code page, from the command line.
(cd "$files/中文目录" && "$PK_WINE" "$exe" "$emoji.ico" >/dev/null 2>&1 </dev/null) &
pids+=($!)
check "command line: a name outside the code page, the window appears" probe wait Pixelkite 60000
expect "command line: that file is listed under its full path" \
  "$(lines "$(one "$(f "中文目录/$emoji.ico")")" "$ON" "preview icon=1")" state Pixelkite
probe close Pixelkite
check "command line: and it closes" pk_gone_within 30 "${pids[-1]}"

# Leaving the main window asks the update library first, once, while the
# window is still up: a copy of the program runs with a recording
# NubUpdater.dll beside it, which notes each call and returns at once.
# Wine draws this copy's caption itself (there is no window manager to draw
# it), so that its close box can be clicked.
recording=$build/bin/updater-recording/NubUpdater.dll
# (The call and its location hold no text of the code page: the 936 run only.)
if [ -f "$recording" ] && [ "$codepage" = 936 ]; then
  mkdir -p "$work/exit"
  copy=$work/exit/PixelkiteExit.exe
  cp "$exe" "$copy"
  cp "$recording" "$work/exit/NubUpdater.dll"
  pk_wine_sys reg add 'HKCU\Software\Wine\AppDefaults\PixelkiteExit.exe\X11 Driver' /v Decorated /d N /f \
    >/dev/null 2>&1 </dev/null
  calls=$work/update-calls.txt
  export PK_UPDATE_RECORD
  PK_UPDATE_RECORD=$(winpath "$calls")
  expected='CheckForUpdate("https://www.pixelkite.example/up/pixelkite/", 0) window shown'
  called_once() {
    local got
    got=$(tr -d '\r' <"$calls" 2>/dev/null)
    [ "$got" = "$expected" ] || { echo "calls: ${got:-none}"; echo "expected: $expected"; return 1; }
  }
  leave_by() {  # leave_by COMMAND [ARG]: starts the copy, leaves it by "probe COMMAND Pixelkite ARG", checks the call
    local command=$1
    shift
    rm -f "$calls"
    start "$copy"
    probe wait Pixelkite 60000 || { echo "the window did not appear"; return 1; }
    probe "$command" Pixelkite "$@" || return 1
    pk_gone_within 30 "${pids[-1]}" || { echo "the program still runs"; return 1; }
    called_once
  }
  check "Exit button: one update call with the location and 0, then the window goes" leave_by click 2
  check "Escape: one update call, then the window goes" leave_by key escape
  check "the caption's close box: one update call, then the window goes" leave_by closebox
  enter_then_exit() {
    rm -f "$calls"
    start "$copy"
    probe wait Pixelkite 60000 || { echo "the window did not appear"; return 1; }
    probe key Pixelkite enter || return 1
    # Enter browses; the file dialog it opened is cancelled again.
    probe dismiss-owned Pixelkite 20000 || { echo "Enter opened no dialog"; return 1; }
    sleep 1
    [ ! -s "$calls" ] || { echo "Enter called the library: $(cat "$calls")"; return 1; }
    count_is 1 Pixelkite 5 || return 1
    probe click Pixelkite 2 >/dev/null
    pk_gone_within 30 "${pids[-1]}" || { echo "the program still runs"; return 1; }
    called_once
  }
  check "Enter never calls the update library (Exit afterwards calls it once)" enter_then_exit
  unset PK_UPDATE_RECORD
fi
fi

# Under another code page the skinned buttons are drawn exactly as under 936:
# the same program under the Chinese prefix, on this display, draws the
# reference. (Each prefix has its own wineserver, so its own probe looks.)
# The buttons of this code page were read at start-up.
if has files && [ "$codepage" != 936 ]; then
  prefix936=${PK_WINEPREFIX_936:-$root/build/wineprefix}
  as_936() { WINEPREFIX=$prefix936 LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$@"; }
  (export WINEPREFIX=$prefix936 LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8; pk_gui_prepare) || exit 1
  as_936 "$PK_WINE" "$exe" >/dev/null 2>&1 </dev/null &
  pids+=($!)
  check "936: the window appears beside this code page's prefix" as_936 "$PK_WINE" "$probe_exe" wait Pixelkite 60000
  check "the skinned buttons are drawn the same under 936 and $codepage, pixel for pixel" \
    as_936 "$PK_WINE" "$probe_exe" buttons Pixelkite "$(winpath "$work/buttons-936.txt")" \
    "$(winpath "$work/buttons-$codepage.txt")"
  as_936 "$PK_WINE" "$probe_exe" close Pixelkite >/dev/null 2>&1 </dev/null
  check "936: and it closes" pk_gone_within 30 "${pids[-1]}"
  as_936 "$PK_WINESERVER" -k >/dev/null 2>&1 || true
  # The update library's prompt and progress window, read back by their texts
  # (the cases that show them; the rest show nothing and run under 936).
  if [ -f "$build/CTestTestfile.cmake" ]; then
    check "the update library's prompt and progress window under code page $codepage" \
      env PK_UPDATER_CASES='the user (declines|agrees|cancels)' \
      ctest --test-dir "$build" -R updater_loopback --output-on-failure
  fi
fi

# The GUI tests of pk_win_tests need this display too. (make test runs all
# of them under 936 in another suite and sets PK_E2E_936_TESTS_ELSEWHERE=1:
# only another code page's run is left to this one.)
if has names && [ -f "$tests_exe" ] && { [ "$codepage" != 936 ] || [ -z "${PK_E2E_936_TESTS_ELSEWHERE:-}" ]; }; then
    # These include what the probe cannot see from outside under Wine: the
  # system menu, the drag and window icons and the minimised paint.
  gui_tests='Framework*:SkinButton*:MainDialog*'
  # Under another code page, every test of the windows and the texts they show;
  # not the two that repeat an open or a repaint hundreds of times to count
  # handles (no text goes through the code page there; they run under 936).
  [ "$codepage" = 936 ] || gui_tests+=':OpenCommand*:AboutDialog*:SettingsDialog*:Hyperlink*:WideText*:SourcePath*'\
'-MainDialogTest.RepaintingAModulesGroupFiveHundredTimesLeaksNothing:OpenCommandTest.TwoHundredOpens*'
  check "pk_win_tests GUI tests ($gui_tests)" "$PK_WINE" "$tests_exe" --gtest_filter="$gui_tests" --gtest_brief=1
fi

# At 144 DPI (150 %), in a prefix of its own: the about box's addresses fit
# their links and no controls overlap, the picture holds a 48-pixel icon,
# the skinned buttons are stretched to their larger size.
if has names && [ -f "$tests_exe" ] && [ "$codepage" = 936 ]; then
  prefix144=${PK_WINEPREFIX_144:-$root/build/wineprefix-144}
  at_144() { WINEPREFIX=$prefix144 "$@"; }
  (export WINEPREFIX=$prefix144; pk_gui_prepare &&
    pk_wine_sys reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1 &&
    pk_wine_settle) || exit 1
  check "144 DPI: about box, picture, skinned buttons and keyboard" \
    at_144 env PK_EXPECT_DPI=144 "$PK_WINE" "$tests_exe" --gtest_brief=1 \
    --gtest_filter='AboutDialog*:OpenCommandTest.ThePreview*:SkinButton*:MainDialogKeyboard*:SettingsDialog*'
  at_144 "$PK_WINESERVER" -k >/dev/null 2>&1 || true
fi

pk_wine_reruns_report
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
