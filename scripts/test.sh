#!/usr/bin/env bash
# Every test suite of the project: the native unit tests (with sanitizers),
# the command line's package, the Windows build's tests under 64-bit Wine,
# the command line on Linux against Wine, the 32-bit Windows build (compiled
# only: these machines cannot run 32-bit programs) and make dist, the GUI end to end
# (under code pages 936 and 1252), the installer and a hostile corpus under
# Xvfb, and a short fuzz run.
#
# Builds run one after another, each on every core, and build only what the
# suites run. A suite starts as soon as the builds above its line are done
# and runs beside the rest: each has its own Wine prefix (a copy of one
# prepared at the start) and its own display, so suites share no state. A
# suite's output goes to build/test-logs/NAME.log and is shown when it
# fails. Prints one line per build and per suite, with its time and the
# processor time of what it ran (Wine's servers aside), which does not
# depend on what else the machine is doing.
#
# A new suite is one line below: `suite NAME COMMAND...`, after the builds
# it needs (`build [-DVAR=VALUE...] PRESET [TARGET...]`, one at a time, from
# this script only).
#   PK_SUITES="native fuzz" runs only those suites (the builds all run).
#   PK_FUZZ_SECONDS sets the seconds per fuzz target (5: each target's
#   corpus and seeds run whole first, then it explores for the rest; the
#   long search is make fuzz-campaign).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export PK_GUI_ROOT=$root  # scripts/gui-env.sh need not find it again each time
cd "$root"
jobs=$(nproc)
fuzz_seconds=${PK_FUZZ_SECONDS:-5}
logs=$root/build/test-logs
rm -rf "$logs"
mkdir -p "$logs"
started=$(date +%s)

# One prefix is prepared (fonts, code page, settings) while the first build
# runs; every suite that runs Wine makes its own copy of it on first use
# (scripts/gui-env.sh) and its wineserver is stopped when the suite ends.
export PK_WINEPREFIX_TEMPLATE=$root/build/wine/template
prepare_wine() {
  mkdir -p "$root/build/wine"
  exec 9>>"$PK_WINEPREFIX_TEMPLATE.lock"
  flock -x 9
  (
    export PK_WINEPREFIX=$PK_WINEPREFIX_TEMPLATE
    source scripts/gui-env.sh
    pk_gui_prepare >"$logs/wine-template.log" 2>&1
    "$PK_WINESERVER" -k 2>/dev/null
    "$PK_WINESERVER" -w 2>/dev/null
    flock -u 9
  ) &
  exec 9>&-
}

elapsed() { echo $(($(date +%s) - $1)); }
# The user and system seconds of a subshell's children, as `times` wrote them.
cpu_of() { awk 'NR == 2 { for (i = 1; i <= 2; ++i) { split($i, p, "m"); n += p[1] * 60 + p[2] } } END { printf "%d", n }' "$1"; }
report() {  # report KIND NAME STATUS SECONDS LOG CPU-SECONDS
  local word=ok
  [ "$3" -eq 0 ] || word=FAILED
  printf '%-5s %-18s %-6s %4d s   cpu %4d s\n' "$1" "$2" "$word" "$4" "$6"
  if [ "$3" -ne 0 ]; then
    echo "----- last lines of $5"
    tail -n 40 "$5" | sed 's/^/  /'
    echo "-----"
  fi
}

# build [-DVAR=VALUE...] PRESET [TARGETS...]: configures and builds in the
# foreground.
build() {
  local defines=() preset t0
  while [[ "$1" == -D* ]]; do defines+=("$1"); shift; done
  preset=$1
  shift
  t0=$(date +%s)
  local log=$logs/build-$preset.log
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  # A tree that this script configured from the same presets and options,
  # and that nothing configured since, is not configured again (some 5
  # processor-seconds a run for the five): its build configures again by
  # itself when a CMakeLists.txt changes.
  local cache=build/$preset/CMakeCache.txt stamp=build/$preset/.pk-configured want
  want=$(cat CMakePresets.json CMakeUserPresets.json 2>/dev/null; printf '%s\n' "${defines[@]}" "$(command -v ccache)")
  want=$(printf '%s' "$want" | sha1sum | cut -c1-40)
  (
    if [ -f "$cache" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$want $(sha1sum <"$cache" | cut -c1-40)" ]; then
      echo "configured already" >"$log"
    else
      rm -f "$stamp"
      cmake --preset "$preset" "${defines[@]}" >"$log" 2>&1 && echo "$want $(sha1sum <"$cache" | cut -c1-40)" >"$stamp"
    fi && cmake --build "build/$preset" -j"$jobs" "${targets[@]}" >>"$log" 2>&1
    status=$?
    times >"$logs/build-$preset.times"
    exit $status
  )
  local status=$?
  echo $status >"$logs/build-$preset.status"
  report build "$preset" $status "$(elapsed "$t0")" "$log" "$(cpu_of "$logs/build-$preset.times")"
  [ $status -eq 0 ] || build_failures+=("$preset")
}
built() { [ "$(cat "$logs/build-$1.status" 2>/dev/null)" = 0 ]; }

# suite [--again] NAME COMMAND...: runs the suite in the background. With
# --again (the suites under Wine) a failed suite runs once more, in a new
# prefix: Wine on a loaded machine now and then loses a window or a program
# that a second run finds. Such a suite counts as passed, and says so under
# its line and at the end, with the steps that failed the first time
# (kept in NAME.first.log).
suite() {
  local again=
  [ "$1" != --again ] || { again=1; shift; }
  local name=$1
  shift
  if [ -n "${PK_SUITES:-}" ] && [[ " $PK_SUITES " != *" $name "* ]]; then return 0; fi
  (
    t0=$(date +%s)
    export PK_WINEPREFIX=$root/build/wine/$name
    # Its wineserver stays up for the whole suite (scripts/gui-env.sh).
    export PK_WINE_KEEP=1
    # Programs that Wine ended at once without a word and that ran again
    # (scripts/gui-env.sh, pk_wine_rerun).
    export PK_WINE_RERUNS=$logs/$name.reruns
    rm -f "$PK_WINE_RERUNS" "$logs/$name.first.log"
    run_once() {
      rm -rf "$PK_WINEPREFIX"
      ("$@") >"$logs/$name.log" 2>&1 </dev/null
      status=$?
      if [ -d "$PK_WINEPREFIX" ]; then
        WINEPREFIX=$PK_WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null
      fi
    }
    run_once "$@"
    if [ $status -ne 0 ] && [ -n "$again" ]; then
      mv "$logs/$name.log" "$logs/$name.first.log"
      run_once "$@"
    fi
    times >"$logs/$name.times"
    echo "$status $(elapsed "$t0")" >"$logs/$name.result"
    # One write, so that suites ending together do not interleave their lines.
    local out
    out=$(
      report suite "$name" "$status" "$(elapsed "$t0")" "$logs/$name.log" "$(cpu_of "$logs/$name.times")"
      [ ! -s "$PK_WINE_RERUNS" ] ||
        echo "      Wine ended $(wc -l <"$PK_WINE_RERUNS") program(s) at once without a word; each ran again ($PK_WINE_RERUNS)"
      [ ! -f "$logs/$name.first.log" ] || { echo "      it failed the first time and ran again:"; failed_steps "$name.first"; }
    )
    printf '%s\n' "$out"
  ) &
  suites+=("$name")
}
# failed_steps LOG-NAME: the lines that name what failed in a suite's log.
failed_steps() {
  grep -a -m 8 -e '^ *FAIL' -e 'Failed' -e 'FAILED' "$logs/$1.log" 2>/dev/null | cut -c1-200 | sed "s/^/  $1: /"
}

# Suites that show no window: Wine's desktop is held for them all the same (scripts/gui-env.sh).
headless() {
  export PK_WINE_HEADLESS=1
  # The prefix's wineserver and desktop kept from the start, once for all.
  scripts/wine.sh 'C:\windows\system32\cmd.exe' /c exit >/dev/null 2>&1 </dev/null
  export PK_WINE_KEPT=$PK_WINEPREFIX
  "$@"
}
# (A test that hangs fails after 15 minutes rather than holding the run.)
ctest_in() { ctest --test-dir "build/$1" --output-on-failure -j1 --timeout 900 "${@:2}"; }
# The Windows tests include GUI tests (and a list-box cross-check), so they
# run on a private Xvfb with the Chinese fonts in the prefix.
win64_under_wine() {
  (
    source scripts/gui-env.sh
    trap pk_gui_stop EXIT
    pk_gui_prepare && pk_gui_start_xvfb && ctest_in win64 "$@"
  )
}

suites=() build_failures=()
prepare_wine

# The native tree without sanitizers only for the command line as it ships,
# its package and the corpus builder; the unit tests run with sanitizers
# below. Packaging builds what it installs, not the whole tree.
build -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON native pixelkite pk_man_page pk_hostile_corpus
suite native ctest_in native -R '^(cli|deb_package)$'

build win64
# The program opens a hostile corpus, file after file, in one running window.
# (First: it is the longest suite, one program after another.)
suite --again gui-hostile tests/e2e/hostile.sh "$root/build/win64" "$root/build/native/bin/pk_hostile_corpus"
# The GUI tests and the updater's windows on a display; the rest, headless,
# beside them (one chain of five took the longest of any suite).
suite --again win64-wine-gui win64_under_wine -R '^(win|updater_loopback)$'
suite --again win64-wine headless ctest_in win64 -E '^(win|updater_loopback|bitmap_interop)$'
suite --again win64-interop headless ctest_in win64 -R bitmap_interop
suite --again cli-linux-vs-wine headless tests/cli/modules_vs_wine.sh "$root/build/native/bin/pixelkite" "$root/build/win64/bin/pixelkite-cli.exe"
# The program end to end in three parts, each in a window of its own: they
# wait on the program far more than they compute, so they run side by side.
# (win64-wine-gui runs the GUI tests under 936 already.)
for part in files names modules; do
  suite --again gui-e2e-$part env PK_E2E_936_TESTS_ELSEWHERE=1 tests/e2e/run.sh "$root/build/win64" $part
done
# The program's own commands under code page 1252, beside a 936 prefix that
# draws the reference buttons.
for part in files names; do
  suite --again gui-e2e-1252-$part env PK_WINE_LANG=C.UTF-8 PK_WINEPREFIX_936="$root/build/wine/gui-e2e-1252-936" \
    tests/e2e/run.sh "$root/build/win64" $part
done
# The 64-bit installer in a fresh prefix: install, update on Exit, uninstall.
suite --again gui-install tests/e2e/install.sh "$root/build/win64"

build native-asan
# (The package is built and installed from the plain tree, above.)
suite native-asan ctest_in native-asan -E '^deb_package$'

build fuzz $(scripts/fuzz.sh --targets)
suite fuzz scripts/fuzz.sh "$fuzz_seconds"

# The shipped 32-bit program is compiled, not run.
build win32 Pixelkite NubUpdater pixelkite
suite win32-build built win32
suite updater-imports tests/updater/check_imports.sh build/win32 build/win64
suite static-link scripts/check-static.sh build/win32 build/win64
# make dist as a test build: the 32-bit installer, zip, .deb and manifests.
suite dist python3 tests/dist/run.py

wait
passed=0 failed=0 failures=()
for name in "${suites[@]}"; do
  read -r status _ <"$logs/$name.result" 2>/dev/null || status=1
  if [ "$status" -eq 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)) failures+=("$name"); fi
done
echo
[ ${#build_failures[@]} -gt 0 ] && echo "failed builds: ${build_failures[*]}"
[ ${#failures[@]} -gt 0 ] && echo "failed suites: ${failures[*]}"
# The failed steps once more, last, where a short tail of the output shows them.
for name in "${suites[@]}"; do
  [[ " ${failures[*]} " == *" $name "* ]] || [ ! -f "$logs/$name.first.log" ] ||
    { echo "passed the second time: $name"; failed_steps "$name.first"; }
done
for name in "${failures[@]}"; do failed_steps "$name"; done
echo "suites: $passed passed, $failed failed, in $(elapsed "$started") s (logs: build/test-logs/)"
[ "$failed" -eq 0 ] && [ ${#build_failures[@]} -eq 0 ]
