#!/usr/bin/env python3
"""Checks a bulk PNG extraction against the icons it came from.

usage: png_reference.py ICO_TREE PNG_TREE

ICO_TREE holds the bulk .ico extraction of some inputs, PNG_TREE the bulk
PNG extraction of the same inputs. Every image of every .ico must have its
PNG file (named <icon>_<W>x<H>_<bpp>.png, ~2, ~3... for repeats): a PNG image
byte for byte, a DIB image decoded here, independently of the program, to the
pixels that Pillow reads from the PNG file. Prints one summary line; exit 1 on
any difference.
"""
import io
import os
import struct
import sys

from PIL import Image


def decode_dib(data):
    """RGBA rows, top first, of an icon image in the DIB layout."""
    size, width, height2, planes, bpp, compression = struct.unpack_from("<IiiHHI", data, 0)
    clr_used = struct.unpack_from("<I", data, 32)[0]
    height = height2 // 2
    colors = clr_used if clr_used else (1 << bpp if bpp <= 8 else 0)
    table = data[size:size + 4 * colors]
    stride = (width * bpp + 31) // 32 * 4
    mask_stride = (width + 31) // 32 * 4
    rows_at = size + 4 * colors
    mask_at = rows_at + stride * height

    def palette(i):
        if i >= colors or i >= 256:
            return (0, 0, 0, 255)
        b, g, r = table[4 * i], table[4 * i + 1], table[4 * i + 2]
        return (r, g, b, 255)

    pixels = []
    any_alpha = False
    for y in range(height):
        row = data[rows_at + (height - 1 - y) * stride:]
        for x in range(width):
            if bpp in (1, 4, 8):
                bit = x * bpp
                index = (row[bit // 8] >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1)
                pixels.append(palette(index))
            elif bpp == 16:
                v = row[2 * x] | row[2 * x + 1] << 8
                r, g, b = (v >> 10) & 31, (v >> 5) & 31, v & 31
                pixels.append((r << 3 | r >> 2, g << 3 | g >> 2, b << 3 | b >> 2, 255))
            elif bpp == 24:
                pixels.append((row[3 * x + 2], row[3 * x + 1], row[3 * x], 255))
            else:
                b, g, r, a = row[4 * x:4 * x + 4]
                any_alpha |= a != 0
                pixels.append((r, g, b, a))
    if bpp == 32 and any_alpha:
        return width, height, pixels
    for y in range(height):
        row = data[mask_at + (height - 1 - y) * mask_stride:]
        for x in range(width):
            r, g, b, _ = pixels[y * width + x]
            transparent = (row[x // 8] >> (7 - x % 8)) & 1
            pixels[y * width + x] = (r, g, b, 0 if transparent else 255)
    return width, height, pixels


def images_of(path):
    data = open(path, "rb").read()
    _, _, count = struct.unpack_from("<HHH", data, 0)
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        yield data[offset:offset + size]


def main(ico_tree, png_tree):
    checked = differ = 0
    expected_names = set()
    for name in sorted(os.listdir(ico_tree)):
        if not name.endswith(".ico"):
            continue
        base = name[:-4]
        for image in images_of(os.path.join(ico_tree, name)):
            if image[:8] == b"\x89PNG\r\n\x1a\n":
                w, h = struct.unpack_from(">II", image, 16)
                depth, color = image[24], image[25]
                bpp = depth * {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[color]
            else:
                w, h2, planes, bits = struct.unpack_from("<iiHH", image, 4)
                h, bpp = h2 // 2, planes * bits
            stem = "%s_%dx%d_%d" % (base, w, h, bpp)
            png, n = stem + ".png", 2
            while png.lower() in expected_names:
                png, n = "%s~%d.png" % (stem, n), n + 1
            expected_names.add(png.lower())
            path = os.path.join(png_tree, png)
            checked += 1
            if not os.path.exists(path):
                print("MISSING", png)
                differ += 1
                continue
            written = open(path, "rb").read()
            if image[:8] == b"\x89PNG\r\n\x1a\n":
                same = written == image
            else:
                width, height, pixels = decode_dib(image)
                with Image.open(io.BytesIO(written)) as im:
                    same = im.size == (width, height) and list(im.convert("RGBA").getdata()) == pixels
            if not same:
                print("DIFFERENT", png)
                differ += 1
    extra = {n.lower() for n in os.listdir(png_tree)} - expected_names
    for n in sorted(extra):
        print("UNEXPECTED", n)
    print("png_reference: %d images, %d differences, %d unexpected files" % (checked, differ, len(extra)))
    return 1 if differ or extra else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
