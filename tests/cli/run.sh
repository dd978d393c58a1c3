#!/usr/bin/env bash
# Drives the pixelkite command end to end: exit statuses, messages on
# standard error, files written. usage: run.sh [LAUNCHER] PIXELKITE
# (LAUNCHER runs a Windows build under Wine).
set -u
pk=("$@")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
# Under Wine, a run that Wine ends at once without a word runs again (scripts/wine.sh).
export PK_WINE_RERUN_SILENT=1
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

check() {  # check NAME EXPECTED_STATUS COMMAND...
  local name=$1 want=$2; shift 2
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  if [ "$got" -eq "$want" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $name: exit $got, expected $want"
    sed 's/^/  stdout: /' "$work/out" | head -5
    sed 's/^/  stderr: /' "$work/err" | head -5
  fi
}

expect_grep() {  # expect_grep NAME PATTERN FILE
  # A Windows build prints in the system's code page (GBK under Wine's Chinese
  # locale) when its output is not a console: compare in UTF-8.
  if [ ${#pk[@]} -gt 1 ] && iconv -f GBK -t UTF-8 "$3" >"$3.utf8" 2>/dev/null; then
    mv "$3.utf8" "$3"
  fi
  if grep -q -- "$2" "$3"; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAIL: $1: '$2' not in $(basename "$3")"; sed 's/^/  /' "$3" | head -5; fi
}

# The sample icon is made here with printf, so the script needs nothing but
# the program under test.
ico="$work/sample.ico"
# 16x16 4-bit icon: header, one entry, 40-byte header, 64-byte table, 128 bytes of rows, 64 of mask.
{
  printf '\x00\x00\x01\x00\x01\x00'
  printf '\x10\x10\x10\x00\x01\x00\x04\x00\x28\x01\x00\x00\x16\x00\x00\x00'
  printf '\x28\x00\x00\x00\x10\x00\x00\x00\x20\x00\x00\x00\x01\x00\x04\x00'
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  head -c 64 /dev/zero | tr '\0' '\x7f'
  head -c 128 /dev/zero | tr '\0' '\x12'
  head -c 64 /dev/zero
} >"$ico"

check "help" 0 "${pk[@]}" --help
expect_grep "help text" "usage: pixelkite" "$work/out"
check "version" 0 "${pk[@]}" --version
expect_grep "version text" "^pixelkite [0-9]*\.[0-9]*\.[0-9]*\.[0-9]*" "$work/out"
check "a command's help wins over its other arguments" 0 "${pk[@]}" extract "$ico" --bogus --help
expect_grep "extract help" "^usage: pixelkite extract FILE" "$work/out"
check "no command" 2 "${pk[@]}"
check "unknown command" 2 "${pk[@]}" frobnicate
check "list without file" 2 "${pk[@]}" list
check "list unknown option" 2 "${pk[@]}" list "$ico" --bogus

check "list ico" 0 "${pk[@]}" list "$ico"
expect_grep "list line" "16x16" "$work/out"
expect_grep "list depth" " 4 bpp  DIB  296 bytes" "$work/out"
check "list json" 0 "${pk[@]}" list --json "$ico"
expect_grep "json" '"bitsPerPixel": 4' "$work/out"

check "extract ico" 0 "${pk[@]}" extract "$ico" -o "$work/copy.ico"
check "list copy" 0 "${pk[@]}" list "$work/copy.ico"
expect_grep "copy listed" " 4 bpp  DIB  296 bytes" "$work/out"
check "extract without -o" 2 "${pk[@]}" extract "$ico"
# 32-bit icons with alpha and no mask, or half a mask, as the system takes them.
data=$here/../data/ico
check "list alpha icons without a whole mask" 0 "${pk[@]}" list "$data/alpha-no-mask.ico" "$data/alpha-short-mask.ico"
expect_grep "alpha icon listed" "32x32   32 bpp  DIB  4136 bytes" "$work/out"
check "extract them as png and bmp" 0 "${pk[@]}" extract "$data/alpha-no-mask.ico" "$data/alpha-short-mask.ico" -d "$work/alpha" --format png
check "and as bmp" 0 "${pk[@]}" extract "$data/alpha-short-mask.ico" -o "$work/alpha.bmp"

# Refused files: status 1 and the message, "caption: text", on standard error.
printf '\x00\x00\x02\x00\x01\x00' >"$work/cursor.ico"
check "cursor file refused" 1 "${pk[@]}" list "$work/cursor.ico"
expect_grep "header message" "cursor.ico: 读图标文件头时出错!" "$work/err"
check "missing file" 1 "${pk[@]}" list "$work/absent.ico"
expect_grep "open message" "图标文件打开时出错!" "$work/err"
head -c 100 "$ico" >"$work/short.ico"
check "short image refused" 1 "${pk[@]}" extract "$work/short.ico" -o "$work/never.ico"
expect_grep "short message" "读图标内容出错!" "$work/err"
[ ! -e "$work/never.ico" ] && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAIL: output written after a refused read"; }

# Names outside any code page (an emoji, Hangul, a combining accent) are taken
# and written whole, by the Windows build too, alone and from a folder so named.
names=$work/폴더
mkdir -p "$names"
for name in "$(printf '\xf0\x9f\x98\x80')" 한글 "$(printf 'cafe\xcc\x81')"; do
  check "extract to $name.ico" 0 "${pk[@]}" extract "$ico" -o "$names/$name.ico"
  check "list $name.ico" 0 "${pk[@]}" list "$names/$name.ico"
  expect_grep "$name.ico listed" " 4 bpp  DIB  296 bytes" "$work/out"
done
if [ -f /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/notepad.exe ]; then
  cp /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/notepad.exe "$work/한글.exe"
  check "list a module named outside the code page" 0 "${pk[@]}" list "$work/한글.exe"
  expect_grep "its group listed" "^Icon \[768\]" "$work/out"
fi
check "extract a folder of such names" 0 "${pk[@]}" extract "$names" -d "$work/names-out"
for name in "$(printf '\xf0\x9f\x98\x80')" 한글 "$(printf 'cafe\xcc\x81')"; do
  cmp -s "$names/$name.ico" "$work/names-out/$name.ico" && passed=$((passed + 1)) ||
    { failed=$((failed + 1)); echo "FAIL: $name.ico not extracted under its own name"; }
done

# Further checks from other parts of the program live beside this script
# (in a fixed order: run-bulk.sh uses what run-modules.sh sets).
wine_modules=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
for extra in "$here"/run-modules.sh "$here"/run-bulk.sh; do
  [ -e "$extra" ] || continue
  # shellcheck source=/dev/null
  . "$extra"
done

echo "cli: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
