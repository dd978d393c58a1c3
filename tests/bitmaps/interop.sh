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
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }

# Sources: ImageMagick writes BMP3 (the 40-byte header); its default for
# these pictures is a newer header, which the reader refuses by design.
convert -size 37x23 gradient:'#ff2000'-'#0030ff' BMP3:im24.bmp
convert -size 37x23 gradient:red-blue -colors 200 -type Palette -compress None BMP3:im8.bmp
convert -size 37x23 gradient:white-black -monochrome BMP3:im1.bmp
convert -size 37x23 gradient:yellow-navy -colors 12 -type Palette -depth 4 -compress None BMP3:im4.bmp
# Left to itself ImageMagick run-length encodes palette pictures; such rows
# are read as if uncompressed and come up short.
convert -size 37x23 gradient:red-blue -colors 200 -type Palette BMP3:rle8.bmp
"$py" "$here/interop.py" make pil

for src in im24 im8 im1 im4 pil1 pilL pilP pilRGB pilRGBA; do
  size=$("$py" "$here/interop.py" size "$src.bmp")
  # The picture at its own size and at 24 bits: every pixel as the tool drew it.
  if "${pk[@]}" convert "$src.bmp" -o "$src.ico" --size "$size" --bits 24 2>err.txt &&
     "${pk[@]}" extract "$src.ico" -o "$src-out.bmp" 2>>err.txt; then
    pass
  else
    fail "$src: convert/extract failed: $(head -c 300 err.txt)"
    continue
  fi
  if "$py" "$here/interop.py" same "$src.bmp" "$src-out.bmp"; then pass; else fail "$src: pixels differ after the round trip"; fi
  if [ "$(identify -format '%wx%h' "$src-out.bmp" 2>/dev/null)" = "$size" ]; then pass; else
    fail "$src: ImageMagick does not read the exported bitmap as $size"; fi
  # Scaled into icon sizes and depths: the exports still open in both tools.
  for bits in 1 4 8 16 32; do
    if "${pk[@]}" convert "$src.bmp" -o "$src-$bits.ico" --size 32x32 --bits "$bits" 2>err.txt &&
       "${pk[@]}" extract "$src-$bits.ico" -o "$src-$bits.bmp" 2>>err.txt &&
       "$py" "$here/interop.py" opens "$src-$bits.bmp" 32 32 &&
       [ "$(identify -format '%wx%h' "$src-$bits.bmp" 2>/dev/null)" = 32x32 ]; then
      pass
    else
      fail "$src at 32x32, $bits bits: $(head -c 300 err.txt)"
    fi
  done
done

if "${pk[@]}" convert rle8.bmp -o rle8.ico 2>err.txt; then fail "an RLE bitmap was converted"
elif grep -q "$(printf '\xb6\xc1\xce\xbb\xcd\xbc\xce\xc4\xbc\xfe\xb3\xf6\xb4\xed')\|读位图文件出错" err.txt; then pass
else fail "RLE bitmap: unexpected message: $(head -c 200 err.txt)"; fi

# Usage errors of the convert command exit with 2.
for bad in "--bits 3" "--size 0x5" "--size 300x16" "--size 16" "--bogus"; do
  # shellcheck disable=SC2086
  "${pk[@]}" convert pilRGB.bmp -o bad.ico $bad >/dev/null 2>&1
  if [ $? -eq 2 ]; then pass; else fail "convert $bad: expected a usage error"; fi
done
"${pk[@]}" convert pilRGB.bmp -o bad.png >/dev/null 2>&1
if [ $? -eq 2 ]; then pass; else fail "convert to .png: expected a usage error"; fi

# A 32-bit export of a picture with alpha keeps the alpha in the fourth byte.
if "$py" "$here/interop.py" alpha pilRGBA.bmp pilRGBA-32.bmp; then pass; else fail "alpha lost in a 32-bit export"; fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
