#!/usr/bin/env python3
"""Seeds from real files for the fuzz targets, written under RAW/<target>/.

usage: seed_files.py RAW MODULE_DIR...

RAW/groups holds every icon group of the modules as .ico files (written by the
command line before this runs). From them and the modules this writes:
  ico         the icon files themselves
  icon_image  every image inside them (DIB or PNG)
  module      each module cut down to its headers and its resource data
  bmp         bitmaps written by ImageMagick and Pillow from those images
  bmp_import  the same bitmaps as packed DIBs behind a 4-byte target
  list_order  the groups' entry texts, three to an input
  safe_name   the groups' names behind an options byte
"""
import io
import os
import random
import shutil
import struct
import subprocess
import sys

from PIL import Image


def icon_images(data):
    """The images of an icon file, as stored."""
    if len(data) < 6:
        return []
    _, kind, count = struct.unpack_from("<HHH", data)
    images = []
    for i in range(count):
        at = 6 + 16 * i
        if kind != 1 or at + 16 > len(data):
            break
        size, offset = struct.unpack_from("<II", data, at + 8)
        if offset + size <= len(data):
            images.append(data[offset:offset + size])
    return images


def cut_down_module(data):
    """A PE with only its headers and the section its resources are in, or
    None. Other sections keep their addresses but lose their bytes."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return None
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None
    count, = struct.unpack_from("<H", data, pe + 6)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    optional = pe + 24
    magic, = struct.unpack_from("<H", data, optional)
    directories = {0x10B: 96, 0x20B: 112}.get(magic)
    if directories is None:
        return None
    rva, size = struct.unpack_from("<II", data, optional + directories + 16)
    if rva == 0 or size == 0:
        return None
    file_alignment, = struct.unpack_from("<I", data, optional + 36)
    headers_size, = struct.unpack_from("<I", data, optional + 60)
    sections = optional + optional_size
    out = bytearray(data[:headers_size])
    found = None
    for i in range(count):
        at = sections + 40 * i
        address, raw_size, raw = struct.unpack_from("<III", data, at + 12)
        if address <= rva < address + raw_size:
            found = (at, raw, raw_size)
        else:
            struct.pack_into("<II", out, at + 16, 0, 0)
    if found is None:
        return None
    at, raw, raw_size = found
    alignment = max(file_alignment, 1)
    new_raw = (len(out) + alignment - 1) // alignment * alignment
    out += bytes(new_raw - len(out))
    struct.pack_into("<I", out, at + 20, new_raw)
    out += data[raw:raw + raw_size]
    return bytes(out)


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    raw, module_dirs = sys.argv[1], sys.argv[2:]
    groups = os.path.join(raw, "groups")
    names = sorted(os.listdir(groups))
    pictures = []
    for name in names:
        data = open(os.path.join(groups, name), "rb").read()
        write(os.path.join(raw, "ico"), name, data)
        for i, image in enumerate(icon_images(data)):
            write(os.path.join(raw, "icon_image"), f"{name}-{i}", image)
            try:
                picture = Image.open(io.BytesIO(data)) if i == 0 else None
                if picture is not None:
                    pictures.append(picture.convert("RGBA"))
            except Exception:
                pass

    for folder in module_dirs:
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            if not os.path.isfile(path) or os.path.getsize(path) > 64 << 20:
                continue
            small = cut_down_module(open(path, "rb").read())
            if small is not None and len(small) <= 256 << 10:
                write(os.path.join(raw, "module"), f"{os.path.basename(folder)}-{name}", small)

    # Bitmaps of every depth and layout the two tools write, from a few icons.
    rng = random.Random(7)
    sample = rng.sample(pictures, min(6, len(pictures)))
    bitmaps = []
    tmp = os.path.join(raw, "tmp")
    os.makedirs(tmp, exist_ok=True)
    for k, picture in enumerate(sample):
        # Small pictures of odd sizes: row padding matters, pixel count does not.
        picture = picture.resize((rng.randrange(5, 64), rng.randrange(5, 64)))
        png = os.path.join(tmp, f"{k}.png")
        picture.save(png)
        for mode in ["1", "L", "P", "RGB", "RGBA"]:
            out = io.BytesIO()
            picture.convert(mode).save(out, "BMP")
            bitmaps.append((f"pillow-{k}-{mode}", out.getvalue()))
        for args in (["-type", "bilevel"], ["-colors", "16"], ["-colors", "256"], ["-compress", "RLE", "-colors", "256"],
                     ["-type", "truecolor"], ["-type", "truecoloralpha"], ["-define", "bmp:subtype=RGB565"]):
            for fmt in ("BMP3", "BMP"):
                bmp = os.path.join(tmp, "out.bmp")
                result = subprocess.run(["convert", png, *args, f"{fmt}:{bmp}"], capture_output=True)
                if result.returncode == 0:
                    tag = "-".join(a.strip("-").replace(":", "") for a in args)
                    bitmaps.append((f"magick-{k}-{fmt}-{tag}", open(bmp, "rb").read()))
    shutil.rmtree(tmp)
    for name, data in bitmaps:
        write(os.path.join(raw, "bmp"), name, data)
        target = bytes([rng.randrange(256) for _ in range(4)])
        write(os.path.join(raw, "bmp_import"), name, target + data[14:])

    # Group names, as the list shows them and as the name cleaner gets them.
    texts = []
    for name in names:
        stem = os.path.splitext(name)[0]
        texts.append(f"Icon [{stem.rsplit('_', 1)[-1]}]".encode("latin-1", "replace"))
    for i in range(0, len(texts) - 2, 3):
        write(os.path.join(raw, "list_order"), f"names-{i}", b"\0".join(texts[i:i + 3]))
    for i, text in enumerate(texts):
        write(os.path.join(raw, "safe_name"), f"name-{i}", bytes([rng.randrange(256)]) + text)


if __name__ == "__main__":
    main()
