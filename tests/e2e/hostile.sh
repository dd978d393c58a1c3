#!/usr/bin/env bash
# The real Pixelkite.exe of a win64 build opens a hostile corpus under 64-bit
# Wine on a private Xvfb: malformed icon files, bitmaps and modules, regression
# files and a sample of the fuzz corpus, real modules cut short, a module with
# thousands of groups, sparse files of 2 GiB and more, folders named like
# files, paths of 259 and 300 bytes. One running program opens them all, one
# after another; after each the probe checks that it lives and answers, that
# the expected boxes came, and the list, buttons and preview. Live handle
# counts after the warm-up must equal those at the end. Files named on the
# command line get a program started for each.
#
# usage: tests/e2e/hostile.sh <win64 build dir> [<pk_hostile_corpus>]
#   PK_HOSTILE_KEEP=DIR keeps the corpus, plan, results and program log in DIR.
#   PK_HOSTILE_SOURCE=DIR takes tests/data and fuzz/corpus from another tree.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?usage: hostile.sh <win64 build dir> [<pk_hostile_corpus>]}
build=$(cd "$build" && pwd)
exe=$build/bin/Pixelkite.exe
probe_exe=$build/bin/pk_e2e_probe.exe
builder=${2:-$root/build/native/bin/pk_hostile_corpus}
for f in "$exe" "$probe_exe"; do
  [ -f "$f" ] || { echo "hostile: $f is missing (build the win64 preset)" >&2; exit 1; }
done
if [ ! -x "$builder" ]; then
  # The corpus is written by a native program on the test builders.
  (cd "$root" && cmake --preset native >/dev/null && cmake --build build/native --target pk_hostile_corpus -j2 >/dev/null) ||
    { echo "hostile: cannot build pk_hostile_corpus" >&2; exit 1; }
  builder=$root/build/native/bin/pk_hostile_corpus
fi

source "$root/scripts/gui-env.sh"
work=${PK_HOSTILE_KEEP:-$(mktemp -d)}
mkdir -p "$work"
pid=
cleanup() {
  pk_gui_stop
  # The corpus holds sparse files of several GiB (a few MB on disk).
  [ -n "${PK_HOSTILE_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

winpath() { echo "Z:${1//\//\\}"; }
probe() { "$PK_WINE" "$probe_exe" "$@"; }
start() {  # start [FILE]: the program, in the background
  "$PK_WINE" "$exe" "$@" >>"$work/program.log" 2>&1 </dev/null &
  pid=$!
  probe wait Pixelkite 60000 </dev/null || { echo "hostile: the window did not appear" >&2; return 1; }
}
stop() {
  probe close Pixelkite </dev/null
  pk_gone_within 30 "$pid" || { echo "hostile: the program did not end"; kill "$pid" 2>/dev/null; return 1; }
}

started=$(date +%s)
"$builder" "$work/corpus" "${PK_HOSTILE_SOURCE:-$root}" >"$work/corpus.txt" || { echo "hostile: the corpus could not be written" >&2; exit 1; }
plan=$work/corpus/plan.txt
results=$work/results.txt
: >"$results"
echo "corpus: $(tr '\n' ' ' <"$work/corpus.txt")"

pk_gui_prepare || exit 1
# A copy of the program under its own name, so that the prefix can treat it
# apart: its windows are not managed (with no window manager on Xvfb, each
# box that closes would wait two seconds for one), and a crash ends it at
# once, with a backtrace in its log, rather than behind Wine's crash dialog.
# The update library must lie beside it.
mkdir -p "$work/program"
cp "$exe" "$work/program/PixelkiteHostile.exe"
cp "$build/bin/NubUpdater.dll" "$work/program/"
exe=$work/program/PixelkiteHostile.exe
# (After the display: with a kept wineserver, the settings need no wait
# for it to end, and Wine's services start once.)
pk_gui_start_xvfb || exit 1
marker=$WINEPREFIX/.pk-hostile-settings
if [ ! -f "$marker" ]; then
  pk_wine_sys reg add 'HKCU\Software\Wine\AppDefaults\PixelkiteHostile.exe\X11 Driver' /v Managed /d N /f \
    >/dev/null 2>&1 &&
    pk_wine_sys reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 &&
    pk_wine_settle && touch "$marker"
fi
"$PK_WINE" "$probe_exe" count Pixelkite >/dev/null 2>&1 </dev/null

status=0
died=()
start || exit 1
first=1
while :; do
  probe hostile Pixelkite "$(winpath "$plan")" "$first" "$(winpath "$results")" >"$work/probe.out" 2>&1 </dev/null
  run_status=$?
  cat "$work/probe.out" >>"$work/probe.log"
  tr -d '\r' <"$work/probe.out" | grep -a -e '^FAIL' -e '^counts' -e '^private' -e '^opened'
  [ $run_status -eq 0 ] || status=1
  grep -aq '^opened' "$work/probe.out" && [ $run_status -ne 3 ] && break
  # The program (or the probe) ended early: go on behind the last file done.
  last=$(awk -F'\t' '$1 == "ok" || $1 == "FAIL" { last = $2 } END { print last + 0 }' "$results")
  [ "$last" -ge "$first" ] || { echo "hostile: no progress from plan line $first"; break; }
  if kill -0 "$pid" 2>/dev/null; then
    echo "hostile: the probe ended early after plan line $last"
  else
    died+=("$last")
    echo "the program died on plan line $last; its log ends:"
    grep -av 'Read access denied for device' "$work/program.log" | tail -n 5 | sed 's/^/    /'
    start || exit 1
  fi
  first=$((last + 1))
done
stop || status=1

# Files named on the command line, each in a program of its own.
while IFS= read -r line; do
  file=$(sed -n "${line}p" "$plan" | cut -f4)
  start "$file" || { status=1; continue; }
  probe hostile-start Pixelkite "$(winpath "$plan")" "$line" "$(winpath "$results")" >"$work/probe.out" 2>&1 </dev/null ||
    status=1
  cat "$work/probe.out" >>"$work/probe.log"
  tr -d '\r' <"$work/probe.out" | grep -a -e '^FAIL'
  stop || status=1
done < <(awk -F'\t' '$1 == "open" && $2 == "start" { print NR }' "$plan")

# One line per category: files opened, passed, and what the program showed.
echo "by category (opens, failed, time taken; outcomes):"
awk -F'\t' '
  $1 == "ok" || $1 == "FAIL" {
    files[$3]++
    if ($1 == "FAIL") failed[$3]++
    ms[$3] += $6
    outcome = $4
    sub(/ \(.*/, "", outcome)
    seen[$3 "\t" outcome]++
  }
  END {
    for (c in files) {
      line = sprintf("  %-13s %4d opens, %d failed, %5.1f s:", c, files[c], failed[c] + 0, ms[c] / 1000)
      for (k in seen) {
        split(k, p, "\t")
        if (p[1] == c) line = line sprintf(" %s x%d;", p[2], seen[k])
      }
      print line
    }
  }
' "$results" | sort
echo "messages read: $(awk -F'\t' '$1 == "ok" || $1 == "FAIL" { n += gsub(/k[A-Z][A-Za-z]+/, "", $4) } END { print n + 0 }' "$results")"
echo "handle counts: $(grep -a '^counts' "$results" | cut -f3- | tr '\t' ' ' | paste -sd ';')"
echo "took $(($(date +%s) - started)) s"
failed=$(grep -c '^FAIL' "$results")
[ ${#died[@]} -eq 0 ] || echo "the program died on plan lines ${died[*]}"
echo "hostile corpus: $(sed -n 's/.*total //p' "$work/corpus.txt") files, $(grep -c -e '^ok' -e '^FAIL' "$results") opens, $failed failed"
[ "$status" -eq 0 ] && [ "$failed" -eq 0 ]
