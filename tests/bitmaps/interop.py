"""Helpers of interop.sh: pictures made with Pillow, and comparisons.

Python and Pillow take longer to start than most checks take to run, so the
checks are queued by interop.sh and run here in one process (`checks`)."""
import shlex
import struct
import sys

from PIL import Image


def make_pil():
    w, h = 29, 17
    rgb = Image.new("RGB", (w, h))
    rgb.putdata([((x * 9) % 256, (y * 15) % 256, (x * y * 3) % 256) for y in range(h) for x in range(w)])
    rgb.save("pilRGB.bmp")
    rgb.convert("L").save("pilL.bmp")
    rgb.convert("1").save("pil1.bmp")
    rgb.convert("P", palette=Image.ADAPTIVE, colors=60).save("pilP.bmp")
    rgba = rgb.convert("RGBA")
    rgba.putdata([(r, g, b, (x * 8) % 256) for (r, g, b), x in zip(rgb.getdata(), [i % w for i in range(w * h)])])
    rgba.save("pilRGBA.bmp")
    # What neither tool writes: rows stored top first.
    topdown("pilRGB.bmp", "pilRGBtd.bmp")
    topdown("pilP.bmp", "pilPtd.bmp")
    # What is refused: a JPEG inside, 2 bits per pixel, an OS/2 header.
    for how in ("jpeg", "bits2", "os2"):
        damage("pilRGB.bmp", how, "bad-%s.bmp" % how)


def pixels(path, alpha=False):
    """Size and pixels as decoded; a 32-bit bitmap of ours with its fourth byte as alpha."""
    data = open(path, "rb").read()
    if alpha and data[:2] == b"BM" and struct.unpack_from("<H", data, 28)[0] == 32:
        off = struct.unpack_from("<I", data, 10)[0]
        w, h = struct.unpack_from("<ii", data, 18)
        rows = [data[off + (h - 1 - y) * w * 4:off + (h - y) * w * 4] for y in range(h)]
        return (w, h), [(r[x * 4 + 2], r[x * 4 + 1], r[x * 4], r[x * 4 + 3]) for r in rows for x in range(w)]
    with Image.open(path) as im:
        return im.size, list(im.convert("RGBA" if alpha else "RGB").getdata())


def topdown(src, dst):
    """The same picture with its rows stored top first (negative height)."""
    data = bytearray(open(src, "rb").read())
    off = struct.unpack_from("<I", data, 10)[0]
    w, h = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    stride = (w * bits + 31) // 32 * 4
    rows = [data[off + y * stride:off + (y + 1) * stride] for y in range(h)]
    data[off:off + h * stride] = b"".join(reversed(rows))
    struct.pack_into("<i", data, 22, -h)
    open(dst, "wb").write(bytes(data))


def layout(path, header, bits, compression, orientation=""):
    data = open(path, "rb").read()
    got = (struct.unpack_from("<I", data, 14)[0], struct.unpack_from("<H", data, 28)[0],
           struct.unpack_from("<I", data, 30)[0], struct.unpack_from("<i", data, 22)[0] < 0)
    want = (int(header), int(bits), int(compression), orientation == "top-down")
    if got != want:
        print("%s: header, bits, compression, top-down are %s, not %s" % (path, got, want))
        return 1
    return 0


def damage(src, how, dst):
    """A bitmap of a kind that is refused: a JPEG inside, 2 bits, an OS/2 header."""
    data = bytearray(open(src, "rb").read())
    if how == "jpeg":
        struct.pack_into("<I", data, 30, 4)
    elif how == "bits2":
        struct.pack_into("<H", data, 28, 2)
    elif how == "os2":
        struct.pack_into("<I", data, 14, 64)
    open(dst, "wb").write(bytes(data))


def checks(path):
    """Runs the queued checks, one per line: what it checks, then the command
    and its arguments (shell words). Prints each failure and the counts."""
    passed = failed = 0
    with open(path) as f:
        for line in f:
            words = shlex.split(line)
            if not words:
                continue
            label, argv = words[0], ["interop.py"] + words[1:]
            try:
                ok = check(argv) == 0
            except Exception as e:  # a file a tool cannot read fails its check
                print("%s: %s" % (words[1], e))
                ok = False
            if ok:
                passed += 1
            else:
                failed += 1
                print("FAIL: " + label)
    print("checked %d %d" % (passed, failed))


def main(argv):
    cmd = argv[1]
    if cmd == "make":
        make_pil()
    elif cmd == "sizes":
        for path in argv[2:]:
            with Image.open(path) as im:
                print("%s %dx%d" % ((path,) + im.size))
    elif cmd == "checks":
        checks(argv[2])
    else:
        return check(argv)
    return 0


def check(argv):
    cmd = argv[1]
    if cmd == "same":
        alpha = len(argv) > 4 and argv[4] == "alpha"
        a, b = pixels(argv[2], alpha), pixels(argv[3], alpha)
        if a != b:
            diff = sum(1 for p, q in zip(a[1], b[1]) if p != q)
            print("%s vs %s: sizes %s %s, %d pixels differ" % (argv[2], argv[3], a[0], b[0], diff))
            return 1
    elif cmd == "layout":
        return layout(*argv[2:])
    elif cmd == "opens":
        with Image.open(argv[2]) as im:
            im.load()
            return 0 if im.size == (int(argv[3]), int(argv[4])) else 1
    elif cmd == "alpha":
        # The source's alpha at each pixel that the 32x32 stretch took.
        with open(argv[3], "rb") as f:
            data = f.read()
        off = int.from_bytes(data[10:14], "little")
        alphas = {data[off + i * 4 + 3] for i in range(32 * 32)}
        return 0 if len(alphas) > 1 else 1
    else:
        raise ValueError("unknown check " + cmd)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
