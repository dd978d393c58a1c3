# Bulk extraction and content detection checks for run.sh (sourced: uses
# check, expect_grep, pk, work, ico, wine_modules).
native=$([ ${#pk[@]} -eq 1 ] && echo yes || echo no)
count_files() { find "$1" -type f | wc -l; }
same_count() {  # same_count NAME WANT GOT
  if [ "$2" -eq "$3" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $1: $3 files, expected $2"; fi
}
no_grep() {  # no_grep NAME PATTERN FILE
  if grep -q -- "$2" "$3"; then failed=$((failed + 1)); echo "FAIL: $1: '$2' in $(basename "$3")"; else passed=$((passed + 1)); fi
}

# A folder of inputs: an icon file, a module under a name that is no module
# extension, a text file posing as a module, a file with no icon extension.
in="$work/bulk-in"
mkdir -p "$in/sub"
cp "$ico" "$in/sample.ico"
printf 'just text\n' >"$in/notes.dll"
printf 'ignored\n' >"$in/readme.txt"
if [ -f "$wine_modules/notepad.exe" ]; then
  cp "$wine_modules/notepad.exe" "$in/sub/editor.scr"
  cp "$wine_modules/notepad.exe" "$work/editor.dat"
  check "list a module by its content" 0 "${pk[@]}" list "$work/editor.dat"
  expect_grep "module by content" "editor.dat: module, 1 icon group" "$work/out"
  check "list .cpl" 0 "${pk[@]}" list "$wine_modules/appwiz.cpl"
fi

# list: several inputs, one JSON document; a named text file is reported.
printf 'text\n' >"$work/notes.txt"
check "list folder and files" 1 "${pk[@]}" list --json -r "$in" "$work/notes.txt"
expect_grep "one document" '^{"files": \[' "$work/out"
expect_grep "icon in folder" '"kind": "icon"' "$work/out"
expect_grep "named text file" '"error": "not an icon file or a module"' "$work/out"
expect_grep "named text file reported" "notes.txt: not an icon file or a module" "$work/err"
no_grep "folder text file quiet" "notes.dll" "$work/err"
if [ -f "$in/sub/editor.scr" ]; then expect_grep "module in sub-folder" '"kind": "module"' "$work/out"; fi
# The document parses, whatever the names hold: every Windows path has
# backslashes, and a Linux name may hold them, quotes and control characters.
odd="$work/json-in"
mkdir -p "$odd"
[ "$native" = yes ] && cp "$ico" "$odd/"$'back\\slash "quoted"\ttab.ico'
cp "$ico" "$odd/plain.ico"
check "list odd names" 0 "${pk[@]}" list --json "$odd"
cp "$work/out" "$work/odd.json"
check "json parses, names intact" 0 python3 -c '
import json, os, sys
files = [f["file"] for f in json.load(open(sys.argv[1], encoding="utf-8", errors="replace"))["files"]]
names = sorted(os.path.basename(f.replace("\\", "/")) if sys.argv[2] != "yes" else os.path.basename(f) for f in files)
want = sorted(n for n in os.listdir(sys.argv[3]))
sys.exit(0 if names == want else "%r != %r" % (names, want))' "$work/odd.json" "$native" "$odd"

# extract -d: the folder recursively, into ico, png and bmp.
check "bulk ico" 0 "${pk[@]}" extract "$in" -r -d "$work/bulk-ico" --quiet
[ ! -s "$work/out" ] && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAIL: output with --quiet"; }
check "bulk png" 0 "${pk[@]}" extract "$in" -r -d "$work/bulk-png" --format png
expect_grep "summary" "files written" "$work/out"
no_grep "no progress line off a terminal" $'\r' "$work/err"
check "bulk bmp" 0 "${pk[@]}" extract "$in" -r -d "$work/bulk-bmp" --format bmp --jobs 1
if [ -f "$in/sub/editor.scr" ]; then
  same_count "ico files" 2 "$(count_files "$work/bulk-ico")"
  same_count "bmp files" 2 "$(count_files "$work/bulk-bmp")"
  # The same bytes as one extraction of each icon.
  check "single group" 0 "${pk[@]}" extract "$in/sub/editor.scr" --group 768 -o "$work/single.ico"
  cmp -s "$work/single.ico" "$work/bulk-ico/editor_768.ico" && passed=$((passed + 1)) ||
    { failed=$((failed + 1)); echo "FAIL: bulk editor_768.ico differs from the single extraction"; }
  check "single bmp" 0 "${pk[@]}" extract "$in/sub/editor.scr" -o "$work/single.bmp"
  cmp -s "$work/single.bmp" "$work/bulk-bmp/editor_768.bmp" && passed=$((passed + 1)) ||
    { failed=$((failed + 1)); echo "FAIL: bulk editor_768.bmp differs from the single extraction"; }
fi
check "single ico" 0 "${pk[@]}" extract "$in/sample.ico" -o "$work/single-sample.ico"
cmp -s "$work/single-sample.ico" "$work/bulk-ico/sample.ico" && passed=$((passed + 1)) ||
  { failed=$((failed + 1)); echo "FAIL: bulk sample.ico differs from the single extraction"; }
for p in /usr/bin/python3 python3; do
  if "$p" -c 'import PIL' 2>/dev/null; then
    check "png pixels" 0 "$p" "$here/png_reference.py" "$work/bulk-ico" "$work/bulk-png"
    break
  fi
done

# A named file that is not an icon source fails; the rest are written.
check "a failing file among good ones" 1 "${pk[@]}" extract "$work/notes.txt" "$in/sample.ico" -d "$work/bulk-mixed"
expect_grep "failure reported" "notes.txt: not an icon file or a module" "$work/err"
expect_grep "failure counted" "; 1 failed" "$work/out"
same_count "good file written" 1 "$(count_files "$work/bulk-mixed")"

# An output folder that cannot take files: one message, nothing read.
mkdir -p "$work/ro"
if [ "$(id -u)" -eq 0 ]; then ro_on() { chattr +i "$1" 2>/dev/null; }; ro_off() { chattr -i "$1" 2>/dev/null; }
else ro_on() { chmod 555 "$1"; }; ro_off() { chmod 755 "$1"; }; fi
if ro_on "$work/ro"; then
  check "read-only output folder" 1 "${pk[@]}" extract "$in" -r -d "$work/ro"
  ro_off "$work/ro"
  expect_grep "read-only message" "cannot write into this folder" "$work/err"
  same_count "nothing in the read-only folder" 0 "$(count_files "$work/ro")"
else
  echo "note: no way to make a read-only folder here; that check is left out"
fi

# The progress line: drawn on a terminal, never with --quiet.
if [ "$native" = yes ] && command -v script >/dev/null; then
  script -qec "${pk[0]} extract '$in' -r -d '$work/bulk-tty' --format png" /dev/null >"$work/tty" 2>&1
  expect_grep "progress on a terminal" "files .* icons .* MB/s  ETA" "$work/tty"
  script -qec "${pk[0]} extract '$in' -r -d '$work/bulk-tty' --quiet" /dev/null >"$work/tty" 2>&1
  no_grep "no progress with --quiet" "ETA" "$work/tty"
fi

check "bulk usage: no folder" 2 "${pk[@]}" extract "$in" -d
check "bulk usage: format" 2 "${pk[@]}" extract "$in" -d "$work/x" --format gif
check "bulk usage: -o and -d" 2 "${pk[@]}" extract "$in" -d "$work/x" -o "$work/y.ico"
check "bulk usage: jobs" 2 "${pk[@]}" extract "$in" -d "$work/x" --jobs 0
check "bulk usage: group" 2 "${pk[@]}" extract "$in" -d "$work/x" --group 1
