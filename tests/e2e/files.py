#!/usr/bin/env python3
"""Files for the end-to-end run, and the comparisons it needs.

  files.py make DIR                write the test files into DIR
  files.py image FILE.ico INDEX    print the bytes of one image as hex (with
                                   biSizeImage cleared, as the writer stores it)
  files.py count FILE.ico          print the number of images
  files.py clip CLIP.dib FILE.bmp  exit 0 when a CF_DIB block holds the picture
                                   of a bitmap file: same header fields, same
                                   table and rows (the mask may trail behind)
"""
import struct
import sys


def bmp(width, height, bits, pixel):
    """An uncompressed bottom-up bitmap file; pixel(x, y) gives an index or (r, g, b)."""
    table = b""
    if bits <= 8:
        colours = 1 << bits
        table = b"".join(struct.pack("<BBBB", (i * 37) % 256, (i * 91) % 256, (i * 53) % 256, 0)
                         for i in range(colours))
    stride = ((width * bits + 31) // 32) * 4
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(stride)
        for x in range(width):
            p = pixel(x, y)
            if bits == 24:
                row[3 * x:3 * x + 3] = bytes((p[2], p[1], p[0]))
            elif bits == 8:
                row[x] = p
            elif bits == 4:
                row[x // 2] |= p << (4 if x % 2 == 0 else 0)
        rows += row
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, 0, 2835, 2835, 0, 0)
    offset = 14 + len(info) + len(table)
    return struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset) + info + table + bytes(rows)


def icon_image(size, bits):
    """An icon image: header with doubled height, table, colour rows, mask rows."""
    data = bmp(size, size, bits, lambda x, y: (x * 7 + y * 3) % (1 << bits) if bits <= 8
               else ((x * 8) % 256, (y * 8) % 256, 128))[14:]
    info = bytearray(data[:40])
    struct.pack_into("<i", info, 8, size * 2)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray(mask_stride * size)
    mask[0] = 0x80  # one transparent corner pixel
    return bytes(info) + data[40:] + bytes(mask)


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        colours = (1 << bits) if bits < 8 else 0
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours % 256, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(d for _, _, d in images)


def make(folder):
    def write(name, data):
        with open(f"{folder}/{name}", "wb") as f:
            f.write(data)

    write("small.bmp", bmp(40, 30, 24, lambda x, y: (x * 6, y * 8, 200)))
    write("big.bmp", bmp(600, 300, 8, lambda x, y: (x // 10 + y // 10) % 256))
    write("photo.BMP", bmp(50, 50, 24, lambda x, y: (255 - x * 5, x * 5, y * 5)))
    # Of a depth the reader refuses: no icon comes of it.
    write("two-bit.bmp", bmp(8, 8, 2, lambda x, y: 0))
    # A 12-byte (OS/2) header, which the reader refuses.
    os2 = bytearray(bmp(8, 8, 24, lambda x, y: (x, y, 0)))
    struct.pack_into("<I", os2, 14, 12)
    write("os2.bmp", bytes(os2))
    # An icon whose first image is 32 x 32 at 4 bits, with two more behind it.
    write("four.ico", ico([(32, 4, icon_image(32, 4)), (16, 8, icon_image(16, 8)), (48, 24, icon_image(48, 24))]))
    # The reader refuses the last image, a 24-bit one whose mask is cut short
    # (a 32-bit one it would take, as the system does); the shell's extraction
    # only reads the image it shows. (A file whose directory points past its
    # end is not given to the shell at all.)
    write("short-mask.ico", ico([(32, 4, icon_image(32, 4)), (16, 8, icon_image(16, 8)),
                                 (48, 24, icon_image(48, 24)[:-4])]))
    write("text.exe", b"This is a text file, not a module.\r\n")
    # A 16-bit (NE) module header: the system does not open these as data.
    ne = bytearray(0x80)
    ne[0:2] = b"MZ"
    struct.pack_into("<I", ne, 0x3C, 0x40)
    ne[0x40:0x42] = b"NE"
    write("old.icl", bytes(ne))


def images(path):
    data = open(path, "rb").read()
    count = struct.unpack_from("<H", data, 4)[0]
    out = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        image = bytearray(data[offset:offset + size])
        if image[:4] == struct.pack("<I", 40):
            struct.pack_into("<I", image, 20, 0)
        out.append(bytes(image))
    return out


def clip_matches(clip_path, bmp_path):
    clip = open(clip_path, "rb").read()
    picture = open(bmp_path, "rb").read()[14:]
    fields = lambda h: struct.unpack_from("<IiiHHI", h, 0) + struct.unpack_from("<I", h, 32)  # size..compression, clrUsed
    return len(clip) >= len(picture) and fields(clip) == fields(picture) and clip[40:len(picture)] == picture[40:]


def main(argv):
    if len(argv) == 3 and argv[1] == "make":
        make(argv[2])
    elif len(argv) == 4 and argv[1] == "image":
        print(images(argv[2])[int(argv[3])].hex())
    elif len(argv) == 3 and argv[1] == "count":
        print(len(images(argv[2])))
    elif len(argv) == 4 and argv[1] == "clip":
        return 0 if clip_matches(argv[2], argv[3]) else 1
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
