#!/usr/bin/env bash
# The command line on Linux (our own module reader) against the Windows build
# under Wine (the system loader): for every module of Wine's module folders
# that has icon groups, `list --json` must say the same, and `extract --group`
# of a sample's first group by id and first by name must write the same .ico
# file, byte for byte. Then the bulk mode over all the folders at once, which
# writes every group: the .ico and .bmp trees must be identical, the PNG
# trees (of the first folder) must hold the same names, and each PNG tree
# must show the pixels of its icons (tests/cli/png_reference.py; the two PNG encoders compress
# differently, so their bytes may differ). (A Windows process per module or
# per group took most of make test's time, and the bulk trees compare the
# same bytes.)
#
# usage: tests/cli/modules_vs_wine.sh NATIVE_PIXELKITE WIN64_PIXELKITE_EXE [FOLDER...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native=$1 windows=$2
shift 2
folders=("$@")
if [ ${#folders[@]} -eq 0 ]; then
  folders=(/usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  [ -d "$root/build/wine32-modules/usr/lib/i386-linux-gnu/wine/i386-windows" ] &&
    folders+=("$root/build/wine32-modules/usr/lib/i386-linux-gnu/wine/i386-windows")
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A run that Wine ends at once without a word runs again (scripts/wine.sh).
export PK_WINE_RERUN_SILENT=1
wine() { "$root/scripts/wine.sh" "$windows" "$@" 2>/dev/null; }

winpath() { local p; p=$(cd "$1" && pwd); echo "Z:${p//\//\\}"; }
win_folders=()
for folder in "${folders[@]}"; do win_folders+=("$(winpath "$folder")"); done
groups=0 failed=0

# Every module with icons in the folders, listed by one process on each side:
# the same modules in the same order, the same groups and images (the paths
# differ, Z:\... under Wine: only their last part is compared).
file_names() { sed -E 's/^\{"file": "[^"]*[\\/]([^"\\/]*)"/{"file": "\1"/' "$1"; }
"$native" list --json "${folders[@]}" >"$work/native.json" 2>/dev/null || true
wine list --json "${win_folders[@]}" | tr -d '\r' >"$work/wine.json" || true
modules=$(grep -c '^{"file"' "$work/native.json" || true)
if [ "$modules" -eq 0 ] || ! diff <(file_names "$work/native.json") <(file_names "$work/wine.json") >"$work/list.diff"; then
  echo "DIFFERENT list ($modules modules): $(head -c 600 "$work/list.diff")"
  failed=$((failed + 1))
fi

# A group picked by its name, as list --json gives it: the first named by an
# id and the first by a text, in every module that has groups named by texts
# and in the first two of each folder (the bulk trees below hold every group
# of every module; this is the lookup by each kind of name).
python3 -c 'import json, os, sys
seen = {}
for f in json.load(open(sys.argv[1]))["files"]:
    groups = f.get("groups", [])
    folder = os.path.dirname(f["file"])
    seen[folder] = seen.get(folder, 0) + 1
    if seen[folder] > 2 and not any("name" in g for g in groups):
        continue
    for key in ("id", "name"):
        for g in groups:
            if key in g:
                print("%s\t%s" % (f["file"], g[key]))
                break' "$work/native.json" >"$work/names"
while IFS=$'\t' read -r f name; do
  groups=$((groups + 1))
  rm -f "$work/a.ico" "$work/b.ico"
  "$native" extract "$f" --group "$name" -o "$work/a.ico" >/dev/null 2>&1 || true
  wine_extract() { "$root/scripts/wine.sh" "$windows" extract "Z:${f//\//\\}" --group "$name" -o "Z:${work//\//\\}\\b.ico" >/dev/null 2>"$work/wine.err" || true; }
  wine_extract
  if [ -s "$work/a.ico" ] && ! cmp -s "$work/a.ico" "$work/b.ico"; then
    # A loaded machine now and then makes one Wine process fail on its
    # own; our reader's answer does not change between runs, so a
    # difference must show again to count.
    echo "note: $f group $name: the Windows run differed once ($(tr -d '\r' <"$work/wine.err" | tail -1)); trying again"
    rm -f "$work/b.ico"
    wine_extract
  fi
  if [ ! -s "$work/a.ico" ] || ! cmp -s "$work/a.ico" "$work/b.ico"; then
    echo "DIFFERENT extract: $f group $name"
    failed=$((failed + 1))
  fi
done <"$work/names"

python=""
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c 'import PIL' 2>/dev/null; then python=$candidate; break; fi
done
for format in ico bmp png; do
  mkdir -p "$work/linux-$format" "$work/wine-$format"
  # The PNG trees of the first folder only: the readers are compared by the
  # .ico and .bmp trees of all; the PNGs test the encoder, image by image,
  # and Wine's folders hold the same icons in both builds. (Wine scans the
  # whole folder for each file it makes: 4500 PNGs took 26 core-seconds.)
  from=("${folders[@]}") win_from=("${win_folders[@]}")
  [ "$format" = png ] && from=("${folders[0]}") win_from=("${win_folders[0]}")
  "$native" extract "${from[@]}" -d "$work/linux-$format" --format "$format" --quiet || true
  wine extract "${win_from[@]}" -d "$(winpath "$work/wine-$format")" --format "$format" --quiet >/dev/null || true
  count=$(find "$work/linux-$format" -type f | wc -l)
  if [ "$count" -eq 0 ]; then
    echo "DIFFERENT bulk $format: nothing written"; failed=$((failed + 1)); continue
  fi
  if [ "$format" = png ]; then
    if ! diff <(ls "$work/linux-png") <(ls "$work/wine-png") >/dev/null; then
      echo "DIFFERENT bulk png: file names"; failed=$((failed + 1))
    fi
    if [ -n "$python" ]; then
      # The icons those PNGs came from, of the same folder.
      mkdir -p "$work/linux-png-ico" "$work/wine-png-ico"
      "$native" extract "${from[@]}" -d "$work/linux-png-ico" --quiet || true
      wine extract "${win_from[@]}" -d "$(winpath "$work/wine-png-ico")" --quiet >/dev/null || true
      for side in linux wine; do
        "$python" "$root/tests/cli/png_reference.py" "$work/$side-png-ico" "$work/$side-png" >"$work/ref.txt" ||
          { echo "DIFFERENT bulk png ($side): $(tail -1 "$work/ref.txt")"; failed=$((failed + 1)); }
      done
    fi
  elif ! diff -r "$work/linux-$format" "$work/wine-$format" >/dev/null; then
    echo "DIFFERENT bulk $format trees"; failed=$((failed + 1))
  fi
  echo "bulk $format: $count files"
done
echo "modules_vs_wine: $modules modules, $groups groups by name, $failed differences"
[ "$failed" -eq 0 ]
