#!/usr/bin/env bash
# Every test suite of the project, in order: native, native with sanitizers,
# the Windows build under 64-bit Wine, the 32-bit Windows build (compiled
# only: these machines cannot run 32-bit programs) and make dist, the GUI end
# to end (under code pages 936 and 1252), the installer and on a hostile
# corpus under Xvfb, and a short fuzz run. Prints one line per suite and a
# summary.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
export PK_WINEPREFIX=${PK_WINEPREFIX:-$root/build/wineprefix}
fuzz_seconds=${PK_FUZZ_SECONDS:-15}

stop_wine() {
  if [ -d "$PK_WINEPREFIX" ]; then
    WINEPREFIX=$PK_WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true
  fi
}
trap stop_wine EXIT

passed=0 failed=0 failures=()
suite() {  # suite NAME COMMAND...
  local name=$1; shift
  echo "=== $name"
  if "$@"; then
    passed=$((passed + 1)); echo "=== $name: ok"
  else
    failed=$((failed + 1)); failures+=("$name"); echo "=== $name: FAILED"
  fi
}

build() {  # build PRESET [TARGETS...]
  local preset=$1; shift
  cmake --preset "$preset" >/dev/null && cmake --build "build/$preset" -j"$jobs" "$@"
}
ctest_in() { ctest --test-dir "build/$1" --output-on-failure -j1 "${@:2}"; }

build_and_test() { build "$1" && ctest_in "$1"; }
suite native build_and_test native
suite native-asan build_and_test native-asan
# The Windows tests include GUI tests (and a list-box cross-check), so they
# run on a private Xvfb with the Chinese fonts in the prefix.
win64_under_wine() {
  build win64 || return 1
  (
    source scripts/gui-env.sh
    trap pk_gui_stop EXIT
    pk_gui_prepare && pk_gui_start_xvfb && ctest_in win64
  )
}
suite win64-wine win64_under_wine
suite cli-linux-vs-wine tests/cli/modules_vs_wine.sh "$root/build/native/bin/pixelkite" "$root/build/win64/bin/pixelkite-cli.exe"
suite win32-build build win32
# make dist as a test build: the 32-bit installer, zip, .deb and manifests.
suite dist python3 tests/dist/run.py
suite updater-imports tests/updater/check_imports.sh build/win32 build/win64
suite static-link scripts/check-static.sh build/win32 build/win64
if [ -x tests/e2e/run.sh ]; then
  suite gui-e2e tests/e2e/run.sh "$root/build/win64"
  # The same under code page 1252, in a prefix of its own.
  suite gui-e2e-1252 env PK_WINE_LANG=C.UTF-8 PK_WINEPREFIX="$root/build/wineprefix-1252" tests/e2e/run.sh "$root/build/win64"
fi
# The 64-bit installer in a fresh prefix: install, update on Exit, uninstall.
suite gui-install tests/e2e/install.sh "$root/build/win64"
# The program opens a hostile corpus, file after file, in one running window.
suite gui-hostile tests/e2e/hostile.sh "$root/build/win64" "$root/build/native/bin/pk_hostile_corpus"
suite fuzz scripts/fuzz.sh "$fuzz_seconds"

echo
[ ${#failures[@]} -gt 0 ] && echo "failed suites: ${failures[*]}"
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
