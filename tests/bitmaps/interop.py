"""Helpers of interop.sh: pictures made with Pillow, and comparisons."""
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


def pixels(path):
    with Image.open(path) as im:
        return im.size, list(im.convert("RGB").getdata())


def main(argv):
    cmd = argv[1]
    if cmd == "make":
        make_pil()
    elif cmd == "size":
        with Image.open(argv[2]) as im:
            print("%dx%d" % im.size)
    elif cmd == "same":
        a, b = pixels(argv[2]), pixels(argv[3])
        if a != b:
            diff = sum(1 for p, q in zip(a[1], b[1]) if p != q)
            print("%s vs %s: sizes %s %s, %d pixels differ" % (argv[2], argv[3], a[0], b[0], diff))
            return 1
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
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
