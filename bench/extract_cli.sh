#!/usr/bin/env bash
# The command line against the tools people use for the same work, on Wine's
# own modules: one large module (shell32.dll, PE32+) to .ico files, every
# module with icons of Wine's two module folders to .ico and to PNG, and the
# memory each run needs. Every figure is the median of several runs, and each
# goal is a ratio of two figures taken in this same run.
# usage: bench/extract_cli.sh   (PK=path/to/pixelkite, PK_BENCH_RUNS=N)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pk=${PK:-$root/build/native/bin/pixelkite}
runs=${PK_BENCH_RUNS:-5}
w64=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
w32=$root/build/wine32-modules/usr/lib/i386-linux-gnu/wine/i386-windows
shell32=$w64/shell32.dll
for need in "$pk" "$shell32" "$w32"; do
  [ -e "$need" ] || { echo "extract_cli: $need is missing (run make bench)"; exit 1; }
done
for tool in wrestool icotool 7z /usr/bin/convert /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "extract_cli: $tool is missing (run bench/setup.sh)"; exit 1; }
done
python=/usr/bin/python3
[ -x "$python" ] || python=python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
jobs=$(nproc)

# The corpus: every file of both folders that the extractor looks at (module
# and icon extensions); cat and the peers get the same list.
find "$w64" "$w32" -maxdepth 1 -type f | grep -iE '\.(exe|dll|icl|cpl|ocx|scr|mun|ax|drv|sys|acm|tlb|ds|com|mui|msstyles|ico)$' |
  sort >"$work/corpus"
corpus_files=$(wc -l <"$work/corpus")
corpus_mb=$(tr '\n' '\0' <"$work/corpus" | du -cb --files0-from=- | tail -1 | awk '{printf "%.0f", $1 / 1048576}')

fresh() { rm -rf "$work/out"; mkdir -p "$work/out"; }
# Drops the corpus (only its files) from the page cache.
evict() { tr '\n' '\0' <"$work/corpus" | xargs -0 "$python" -c '
import os, sys
for p in sys.argv[1:]:
    fd = os.open(p, os.O_RDONLY); os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED); os.close(fd)'; }

# median MODE COMMAND...: the median wall time in seconds of `runs` runs
# after one warm-up, each into an empty $work/out; MODE cold drops the
# corpus from the page cache before each run.
median() {
  local mode=$1 times=() i t0 t1
  shift
  for i in $(seq 0 "$runs"); do
    fresh
    [ "$mode" = cold ] && evict
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    t1=$(date +%s%N)
    [ "$i" -gt 0 ] && times+=($(((t1 - t0) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p" | awk '{printf "%.3f", $1 / 1e6}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
row() { printf '| %s | %s | %s |\n' "$@"; }

# The peers' pipelines over the corpus, $jobs files at a time as ours runs.
wrestool_all() {  # one output folder per module folder: the two share file names
  mkdir -p "$work/out/64" "$work/out/32"
  grep "^$w64/" "$work/corpus" | xargs -P"$jobs" -n 32 sh -c 'for f; do wrestool -x -t14 -o "$0" "$f" 2>/dev/null; done' "$work/out/64"
  grep "^$w32/" "$work/corpus" | xargs -P"$jobs" -n 32 sh -c 'for f; do wrestool -x -t14 -o "$0" "$f" 2>/dev/null; done' "$work/out/32"
}
wrestool_icotool() {
  wrestool_all
  mkdir -p "$work/out/png"
  find "$work/out/64" "$work/out/32" -name '*.ico' | xargs -P"$jobs" -n 16 sh -c 'for f; do icotool -x -o "$0/$(basename "$(dirname "$f")")_$(basename "$f" .ico)" "$f" 2>/dev/null; done' "$work/out/png"
}
wrestool_magick() {
  wrestool_all
  mkdir -p "$work/out/png"
  find "$work/out/64" "$work/out/32" -name '*.ico' | xargs -P"$jobs" -n 16 sh -c 'for f; do /usr/bin/convert "$f" "$0/$(basename "$(dirname "$f")")_$(basename "$f" .ico)-%d.png" 2>/dev/null; done' "$work/out/png"
}
cat_corpus() { tr '\n' '\0' <"$work/corpus" | xargs -0 cat >/dev/null; }

echo "## Command line: extraction ($jobs cores, median of $runs runs)"
echo
echo "| task | tool | seconds |"
echo "|---|---|---|"
t_pk=$(median warm "$pk" extract "$shell32" -d "$work/out" --quiet)
t_wres=$(median warm wrestool -x -t14 -o "$work/out" "$shell32")
t_7z=$(median warm 7z x -y -o"$work/out" "$shell32")
row "shell32.dll, 184 groups to .ico" "pixelkite extract -d" "$t_pk"
row "" "wrestool -x -t14" "$t_wres"
row "" "7z x" "$t_7z"
shell32_ratio=$(ratio "$t_pk" "$(min "$t_wres" "$t_7z")")

c_pk=$(median warm "$pk" extract "$w64" "$w32" -d "$work/out" --quiet)
c_cat=$(median warm cat_corpus)
c_wres=$(median warm wrestool_all)
c_pk_cold=$(median cold "$pk" extract "$w64" "$w32" -d "$work/out" --quiet)
c_cat_cold=$(median cold cat_corpus)
label="corpus ($corpus_files files, $corpus_mb MB) to .ico"
row "$label, cached" "pixelkite extract -d" "$c_pk"
row "" "cat > /dev/null" "$c_cat"
row "" "wrestool -x -t14 (per file)" "$c_wres"
row "$label, not cached" "pixelkite extract -d" "$c_pk_cold"
row "" "cat > /dev/null" "$c_cat_cold"

p_pk=$(median warm "$pk" extract "$w64" "$w32" -d "$work/out" --format png --quiet)
p_ico=$(median warm wrestool_icotool)
p_magick=$(median warm wrestool_magick)
row "corpus to PNG" "pixelkite extract -d --format png" "$p_pk"
row "" "wrestool + icotool -x" "$p_ico"
row "" "wrestool + ImageMagick convert" "$p_magick"

# Where the time goes: the same inputs read without writing anything (list
# loads every group's images too), with one worker, and the bytes involved.
l_pk=$(median warm "$pk" list "$w64" "$w32")
j1_pk=$(median warm "$pk" extract "$w64" "$w32" -d "$work/out" --quiet --jobs 1)
j1_png=$(median warm "$pk" extract "$w64" "$w32" -d "$work/out" --format png --quiet --jobs 1)
row "corpus: tables and icons read, nothing written" "pixelkite list" "$l_pk"
row "corpus to .ico, one worker" "pixelkite extract -d --jobs 1" "$j1_pk"
row "corpus to PNG, one worker" "pixelkite extract -d --format png --jobs 1" "$j1_png"
icon_mb=$("$pk" list --json "$w64" "$w32" 2>/dev/null | "$python" -c '
import json, sys
doc = json.load(sys.stdin)
print("%.1f" % (sum(i["bytes"] for f in doc["files"] for g in f.get("groups", []) for i in g.get("images", [])) / 1048576))')

echo
echo "## Command line: peak resident memory (/usr/bin/time -v)"
echo
echo "| run | MB |"
echo "|---|---|"
rss() { fresh; /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1 | awk '{printf "%.1f", $1 / 1024}'; }
m_one=$(rss "$pk" extract "$shell32" --group 4 -o "$work/out/g.ico")
m_shell=$(rss "$pk" extract "$shell32" -d "$work/out" --quiet)
m_64=$(rss "$pk" extract "$w64" -d "$work/out" --quiet)
m_all=$(rss "$pk" extract "$w64" "$w32" -d "$work/out" --quiet)
m_png64=$(rss "$pk" extract "$w64" -d "$work/out" --format png --quiet)
m_png=$(rss "$pk" extract "$w64" "$w32" -d "$work/out" --format png --quiet)
echo "| one group of shell32.dll (extract --group 4 -o) | $m_one |"
echo "| all groups of shell32.dll (extract -d) | $m_shell |"
echo "| the 64-bit folder to .ico ($(grep -c "^$w64/" "$work/corpus") files) | $m_64 |"
echo "| both folders to .ico ($corpus_files files) | $m_all |"
echo "| the 64-bit folder to PNG | $m_png64 |"
echo "| both folders to PNG | $m_png |"

echo
echo "## Goals"
echo
echo "| goal | measured | met |"
echo "|---|---|---|"
goal() { printf '| %s | %s | %s |\n' "$1" "$2" "$(awk -v v="$3" -v l="$4" 'BEGIN { print (v <= l ? "yes" : "NO") }')"; }
goal "shell32.dll to .ico: at most 1/3 of the fastest of 7z and wrestool" "$shell32_ratio x" "$shell32_ratio" 0.3334
c_ratio=$(ratio "$c_pk" "$c_cat")
c_ratio_cold=$(ratio "$c_pk_cold" "$c_cat_cold")
goal "corpus to .ico faster than cat of the same files (cached)" "$c_ratio x" "$c_ratio" 0.999
goal "corpus to .ico faster than cat of the same files (not cached)" "$c_ratio_cold x" "$c_ratio_cold" 0.999
p_ratio=$(ratio "$p_pk" "$(min "$p_ico" "$p_magick")")
goal "corpus to PNG faster than the fastest peer pipeline" "$p_ratio x" "$p_ratio" 0.999
goal "one group of shell32.dll in at most 8 MB" "$m_one MB" "$m_one" 8
growth=$(ratio "$m_all" "$m_64")
goal "corpus memory independent of its size (both folders / one folder)" "$growth x" "$growth" 1.25
echo
echo "Bytes: the corpus is $corpus_mb MB; its icon images are $icon_mb MB, which is what the extractor reads besides headers and tables."
