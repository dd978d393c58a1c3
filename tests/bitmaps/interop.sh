#!/usr/bin/env bash
# Bitmaps made by other tools are read and converted, and the bitmaps we
# write open in those tools with the picture intact.
# usage: interop.sh [LAUNCHER] PIXELKITE   (exit 77: ImageMagick or Pillow missing)
set -u
pk=("$@")
here=$(cd "$(dirname "$0")" && pwd)
py=
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c 'import PIL' 2>/dev/null; then py=$candidate; break; fi
done
if [ -z "$py" ] || ! command -v convert >/dev/null || ! command -v identify >/dev/null; then
  echo "SKIP: needs ImageMagick (convert, identify) and Pillow (python3-pil)"
  exit 77
fi
work=$(mktemp -d)
# Under Wine, a run that Wine ends at once without a word runs again (scripts/wine.sh).
export PK_WINE_RERUN_SILENT=1
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
# later WHAT CHECK ARGS...: a check of interop.py, run with the others at the
# end in one Python process. WHAT says what passing means.
later() { printf '%q ' "$@" >>checks.txt; echo >>checks.txt; }

# Sources. ImageMagick writes BMP3 (the 40-byte header) and, by default,
# the 124-byte V5 header: with bit fields for 16 bits and for a picture with
# alpha, run-length encoded (RLE8) on request. Pillow writes 40-byte headers;
# interop.py turns a Pillow file top-down, which neither tool writes.
convert -size 37x23 gradient:'#ff2000'-'#0030ff' BMP3:im24.bmp
convert -size 37x23 gradient:red-blue -colors 200 -type Palette -compress None BMP3:im8.bmp
convert -size 37x23 gradient:white-black -monochrome BMP3:im1.bmp
convert -size 37x23 gradient:yellow-navy -colors 12 -type Palette -depth 4 -compress None BMP3:im4.bmp
convert -size 37x23 gradient:'#ff2000'-'#0030ff' imv5.bmp
convert -size 37x23 gradient:red-blue -colors 12 -type Palette -compress None imv5p.bmp
convert -size 37x23 gradient:red-blue -colors 200 -type Palette -compress RLE imrle8.bmp
convert -size 37x23 gradient:orange-navy -define bmp:subtype=RGB565 im565.bmp
convert -size 37x23 gradient:orange-navy -define bmp:subtype=RGB555 im555.bmp
convert -size 37x23 gradient:'#ff2000'-'#0030ff' -alpha set -channel A -fx 'i/w' +channel imalpha.bmp
"$py" "$here/interop.py" make
# The layouts the files have, so a change in a tool's output does not pass
# unnoticed: header size, bits, compression.
for want in "imv5 124 24 0" "imv5p 124 4 0" "imrle8 124 8 1" "im565 124 16 3" "im555 124 16 3" \
            "imalpha 124 32 3" "pilRGBtd 40 24 0 top-down"; do
  set -- $want
  later "$1.bmp has the layout expected" layout "$1.bmp" "$2" "$3" "$4" "${5:-}"
done
# Each tool's own decoding is the reference: ImageMagick's as a PNG, Pillow's
# straight from the file.
# (One process reads and writes them all: each ImageMagick start is dear.)
refs=()
for src in im24 im8 im1 im4 imv5 imv5p imrle8 im565 im555 imalpha; do refs+=("$src.bmp" -write "$src-ref.png" +delete); done
convert "${refs[@]::${#refs[@]}-1}" null:

sources=(im24 im8 im1 im4 imv5 imv5p imrle8 im565 im555 imalpha pil1 pilL pilP pilRGB pilRGBA pilRGBtd pilPtd)
declare -A size_of
while read -r file size; do size_of[$file]=$size; done < <("$py" "$here/interop.py" sizes "${sources[@]/%/.bmp}")
# Each conversion writes an icon into icons/; one bulk extraction then saves
# the first image of every icon there as a bitmap into out/ (the bitmap of
# extract -o X.bmp, under the icon's own name), and ImageMagick reads them
# all in one go. Each export is then held to what its conversion was asked.
mkdir -p icons out
exports=()  # NAME WxH WHAT-PASSING-MEANS...: the bitmaps out/ must hold
convert_to() {  # convert_to NAME SOURCE ARGS...: SOURCE.bmp made icons/NAME.ico
  local name=$1 src=$2
  shift 2
  "${pk[@]}" convert "$src.bmp" -o "icons/$name.ico" "$@" 2>err.txt ||
    { fail "$name: convert failed: $(head -c 300 err.txt)"; return 1; }
}
for src in "${sources[@]}"; do
  ref=$src.bmp
  [ -f "$src-ref.png" ] && ref=$src-ref.png
  size=${size_of[$src.bmp]}
  # The picture at its own size and at 24 bits: every pixel as the tool drew it.
  if convert_to "$src" "$src" --size "$size" --bits 24; then
    exports+=("$src $size")
    later "$src: the same pixels after the round trip" same "$ref" "out/$src.bmp"
  fi
  # Scaled into icon sizes and depths: the exports still open in both tools.
  # Under Wine for three of the sources only: the Windows build's conversions
  # of every layout into every depth are held equal to the portable ones,
  # byte for byte, inside one process (DibRenderCrossCheck), and the portable
  # ones go through here for every source.
  depths=(1 4 8 16 32)
  case "${#pk[@]} $src" in 1\ *|*\ imrle8|*\ imalpha|*\ pilRGBA) ;; *) depths=() ;; esac
  for bits in "${depths[@]}"; do
    if convert_to "$src-$bits" "$src" --size 32x32 --bits "$bits"; then
      exports+=("$src-$bits 32x32")
      later "$src at 32x32, $bits bits: Pillow opens it at 32x32" opens "out/$src-$bits.bmp" 32 32
    fi
  done
done

# A picture with alpha made a 32-bit icon at its own size keeps every alpha
# value ImageMagick decodes.
if convert_to imalpha32 imalpha --size 37x23 --bits 32; then
  exports+=("imalpha32 37x23")
  later "imalpha: a 32-bit icon keeps ImageMagick's alpha" same imalpha-ref.png out/imalpha32.bmp alpha
fi

"${pk[@]}" extract icons -d out --format bmp --quiet 2>extract-err.txt
declare -A read_as
while read -r file size; do read_as[$file]=$size; done < <(identify -format '%f %wx%h\n' out/*.bmp 2>/dev/null)
for export in "${exports[@]}"; do
  set -- $export
  if [ ! -f "out/$1.bmp" ]; then
    fail "$1: not extracted: $(grep -a -m 1 -F "$1.ico" extract-err.txt | head -c 300)"
  elif [ "${read_as[$1.bmp]:-}" = "$2" ]; then
    pass
  else
    fail "$1: ImageMagick does not read the exported bitmap as $2 (${read_as[$1.bmp]:-unreadable})"
  fi
done

# What is still refused says why: a JPEG inside, 2 bits per pixel, an OS/2 header.
for refused in "jpeg 内含JPEG图像的位图不支持" "bits2 每像素2位或64位的位图不支持" "os2 OS/2风格的位图不支持"; do
  set -- $refused
  if "${pk[@]}" convert "bad-$1.bmp" -o bad.ico 2>err.txt; then fail "bad-$1.bmp was converted"
  elif iconv -f GBK -t UTF-8 err.txt 2>/dev/null | grep -q "$2" || grep -q "$2" err.txt; then pass
  else fail "bad-$1.bmp: unexpected message: $(head -c 200 err.txt)"; fi
done

# Usage errors of the convert command exit with 2.
for bad in "--bits 3" "--size 0x5" "--size 300x16" "--size 16" "--bogus"; do
  # shellcheck disable=SC2086
  "${pk[@]}" convert pilRGB.bmp -o bad.ico $bad >/dev/null 2>&1
  if [ $? -eq 2 ]; then pass; else fail "convert $bad: expected a usage error"; fi
done
"${pk[@]}" convert pilRGB.bmp -o bad.png >/dev/null 2>&1
if [ $? -eq 2 ]; then pass; else fail "convert to .png: expected a usage error"; fi

# A 32-bit export of a picture with alpha keeps the alpha in the fourth byte.
later "a 32-bit export keeps the alpha" alpha pilRGBA.bmp out/pilRGBA-32.bmp

# The queued checks.
"$py" "$here/interop.py" checks checks.txt >checked.txt 2>&1
grep -v '^checked ' checked.txt
read -r _ later_passed later_failed < <(grep '^checked ' checked.txt) || later_failed=1
passed=$((passed + ${later_passed:-0})) failed=$((failed + later_failed))
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
