#!/usr/bin/env bash
# Remakes the committed corpus under fuzz/corpus/ from real files: every icon
# group of Wine's modules (the 64-bit ones installed, the 32-bit ones unpacked
# by scripts/setup.sh), the images inside them, those modules cut down to
# their headers and resources, and bitmaps written by ImageMagick and Pillow;
# the test builders' seeds join them. Each target's raw seeds are then
# minimised to the inputs that add coverage (libFuzzer's -merge=1).
#
# usage: fuzz/collect-seeds.sh        (after make setup; takes a few minutes)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
cmake --preset fuzz >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
raw=$build/raw
rm -rf "$raw"
mkdir -p "$raw"
modules=(/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
         "$root/build/wine32-modules/usr/lib/i386-linux-gnu/wine/i386-windows")
for m in "${modules[@]}"; do
  [ -d "$m" ] || { echo "collect-seeds: $m is missing (run make setup)" >&2; exit 1; }
done

# The command line of this project extracts every group (icon files) and
# every image (PNG files); a small program takes the rest apart (the
# system Python: Pillow is its package).
"$build/bin/pixelkite" extract "${modules[@]}" -r -d "$raw/groups" --format ico --quiet
"$build/bin/pixelkite" extract "${modules[@]}" -r -d "$raw/pngs" --format png --quiet
/usr/bin/python3 "$root/fuzz/tools/seed_files.py" "$raw" "${modules[@]}"

for target in "$build"/bin/fuzz_*; do
  name=$(basename "$target")
  name=${name#fuzz_}
  mkdir -p "$raw/$name"
  "$build/bin/pk_seeds" "$name" "$raw/$name"
  out=$root/fuzz/corpus/$name
  rm -rf "$out"
  mkdir -p "$out"
  dict=()
  [ -f "$root/fuzz/dict/$name.dict" ] && dict=(-dict="$root/fuzz/dict/$name.dict")
  "$target" -merge=1 -rss_limit_mb=4096 -timeout=30 "${dict[@]}" "$out" "$raw/$name" >"$build/merge-$name.log" 2>&1 ||
    { echo "collect-seeds: merging $name failed (log: $build/merge-$name.log)" >&2; exit 1; }
  echo "collect-seeds: $name: $(ls "$out" | wc -l) inputs, $(du -sh "$out" | cut -f1)"
done
