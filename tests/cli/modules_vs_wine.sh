#!/usr/bin/env bash
# The command line on Linux (our own module reader) against the Windows build
# under Wine (the system loader): for every module of Wine's module folders
# that has icon groups, `list --json` must say the same, and `extract --group`
# of its first group by id and its first by name must write the same .ico
# file, byte for byte. Then the bulk mode over all the folders at once, which
# writes every group: the .ico and .bmp trees must be identical, the PNG
# trees must hold the same names, and each PNG tree must show the pixels of
# its icons (tests/cli/png_reference.py; the two PNG encoders compress
# differently, so their bytes may differ). (Every group through a Windows
# process of its own took most of make test's time, and the bulk trees
# compare the same bytes.)
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
wine() { "$root/scripts/wine.sh" "$windows" "$@" 2>/dev/null; }

modules=0 groups=0 failed=0
for folder in "${folders[@]}"; do
  for f in "$folder"/*; do
    case "${f,,}" in *.exe|*.dll|*.icl|*.cpl|*.ocx|*.scr) ;; *) continue ;; esac
    "$native" list --json "$f" > "$work/native.json" 2>/dev/null || continue
    modules=$((modules + 1))
    wine list --json "Z:${f//\//\\}" | tr -d '\r' > "$work/wine.json" || true
    # The file names differ (Z:\...); everything else must not.
    if ! diff <(sed 's/^{"file": "[^"]*"//' "$work/native.json") <(sed 's/^{"file": "[^"]*"//' "$work/wine.json") >/dev/null; then
      echo "DIFFERENT list: $f"
      failed=$((failed + 1))
      continue
    fi
    # The first group named by an id and the first by a text, as list --json
    # gives them: the lookup by each kind of name.
    python3 -c 'import json,sys
groups = json.load(open(sys.argv[1]))["files"][0]["groups"]
for key in ("id", "name"):
    for g in groups:
        if key in g:
            print(g[key])
            break' "$work/native.json" > "$work/names"
    while IFS= read -r name; do
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
    done < "$work/names"
  done
done

winpath() { local p; p=$(cd "$1" && pwd); echo "Z:${p//\//\\}"; }
win_folders=()
for folder in "${folders[@]}"; do win_folders+=("$(winpath "$folder")"); done
python=""
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c 'import PIL' 2>/dev/null; then python=$candidate; break; fi
done
for format in ico bmp png; do
  mkdir -p "$work/linux-$format" "$work/wine-$format"
  "$native" extract "${folders[@]}" -d "$work/linux-$format" --format "$format" --quiet || true
  wine extract "${win_folders[@]}" -d "$(winpath "$work/wine-$format")" --format "$format" --quiet >/dev/null || true
  count=$(find "$work/linux-$format" -type f | wc -l)
  if [ "$count" -eq 0 ]; then
    echo "DIFFERENT bulk $format: nothing written"; failed=$((failed + 1)); continue
  fi
  if [ "$format" = png ]; then
    if ! diff <(ls "$work/linux-png") <(ls "$work/wine-png") >/dev/null; then
      echo "DIFFERENT bulk png: file names"; failed=$((failed + 1))
    fi
    if [ -n "$python" ]; then
      for side in linux wine; do
        "$python" "$root/tests/cli/png_reference.py" "$work/$side-ico" "$work/$side-png" >"$work/ref.txt" ||
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
