#!/usr/bin/env python3
"""Draws Davrel's program icon and writes resources/Davrel.ico.

The picture: a dark television with a blue screen and a green arrow pointing
down into it (a package going onto the TV). Every size is drawn from the same
shapes in unit coordinates, anti-aliased by supersampling. The icon holds a
256 px PNG image followed by 48, 32 and 16 px 32-bit images with AND masks.

Standard library only:  python3 resources/make_icon.py [output.ico] [--png DIR]
"""
import os
import struct
import sys
import zlib

SIZES = (256, 48, 32, 16)
SUPERSAMPLE = 4

BODY = (0x26, 0x32, 0x38)          # graphite
SCREEN_TOP = (0x42, 0xA5, 0xF5)    # light blue
SCREEN_BOTTOM = (0x15, 0x65, 0xC0) # deep blue
ARROW = (0x3D, 0xDC, 0x84)         # Android green
GLOSS = (0xFF, 0xFF, 0xFF)


def in_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_convex(x, y, pts):
    """Inside a convex polygon given clockwise in screen coordinates (y down)."""
    n = len(pts)
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[(i + 1) % n]
        if (bx - ax) * (y - ay) - (by - ay) * (x - ax) < 0:
            return False
    return True


def in_capsule(x, y, ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= r * r


def layers(size):
    """Shapes from back to front: (bounding box, inside test, colour at point, opacity)."""
    small = size <= 16
    out = []
    if not small:
        # Antennas: hidden at 16 px, where they would only blur the outline.
        w = 0.022
        for tip in ((0.34, 0.03), (0.66, 0.03)):
            out.append(((0.3, 0.0, 0.7, 0.2),
                        lambda x, y, t=tip: in_capsule(x, y, 0.5, 0.16, t[0], t[1], w),
                        lambda x, y: BODY, 1.0))
    # Stand: neck and foot.
    out.append(((0.4, 0.7, 0.6, 0.9),
                lambda x, y: in_round_rect(x, y, 0.44, 0.74, 0.56, 0.86, 0.0),
                lambda x, y: BODY, 1.0))
    out.append(((0.26, 0.82, 0.74, 0.92),
                lambda x, y: in_round_rect(x, y, 0.27, 0.84, 0.73, 0.91, 0.035),
                lambda x, y: BODY, 1.0))
    # Cabinet and screen.
    out.append(((0.0, 0.1, 1.0, 0.8),
                lambda x, y: in_round_rect(x, y, 0.03, 0.14, 0.97, 0.78, 0.1),
                lambda x, y: BODY, 1.0))
    inset = 0.09 if small else 0.065
    sy0, sy1 = 0.14 + inset, 0.78 - inset

    def screen_colour(x, y):
        t = min(max((y - sy0) / (sy1 - sy0), 0.0), 1.0)
        return tuple(a + (b - a) * t for a, b in zip(SCREEN_TOP, SCREEN_BOTTOM))

    out.append(((0.0, 0.1, 1.0, 0.8),
                lambda x, y: in_round_rect(x, y, 0.03 + inset, sy0, 0.97 - inset, sy1, 0.05),
                screen_colour, 1.0))
    if not small:
        # A soft diagonal sheen across the upper left of the screen.
        out.append(((0.0, 0.1, 1.0, 0.8),
                    lambda x, y: in_round_rect(x, y, 0.03 + inset, sy0, 0.97 - inset, sy1, 0.05)
                    and x + y < 0.62,
                    lambda x, y: GLOSS, 0.12))
    # The green arrow pointing down into the screen.
    shaft = 0.075 if not small else 0.09
    head = 0.19 if not small else 0.24
    out.append(((0.2, 0.1, 0.8, 0.8),
                lambda x, y: in_round_rect(x, y, 0.5 - shaft, 0.27, 0.5 + shaft, 0.50, 0.02),
                lambda x, y: ARROW, 1.0))
    out.append(((0.2, 0.1, 0.8, 0.8),
                lambda x, y: in_convex(x, y, [(0.5 - head, 0.46), (0.5 + head, 0.46), (0.5, 0.67)]),
                lambda x, y: ARROW, 1.0))
    return out


def render(size):
    """Returns rows of straight (not premultiplied) RGBA bytes, top row first."""
    n = SUPERSAMPLE
    offsets = [(i + 0.5) / n for i in range(n)]
    shapes = layers(size)
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied sum over samples
            for oy in offsets:
                y = (py + oy) / size
                for ox in offsets:
                    x = (px + ox) / size
                    r = g = b = a = 0.0
                    for (bx0, by0, bx1, by1), inside, colour, opacity in shapes:
                        if x < bx0 or x > bx1 or y < by0 or y > by1 or not inside(x, y):
                            continue
                        cr, cg, cb = colour(x, y)
                        k = 1.0 - opacity
                        r = cr * opacity + r * k
                        g = cg * opacity + g * k
                        b = cb * opacity + b * k
                        a = opacity + a * k
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            count = n * n
            alpha = acc[3] / count
            if alpha <= 0.0:
                row += b"\0\0\0\0"
                continue
            row += bytes(min(255, int(round(c / count / alpha))) for c in acc[:3])
            row.append(min(255, int(round(alpha * 255))))
        rows.append(bytes(row))
    return rows


def png_bytes(size, rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def dib_bytes(size, rows):
    """A 32-bit icon image: header, BGRA pixels bottom-up, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    stride = ((size + 31) // 32) * 4
    for r in reversed(rows):
        bits = bytearray(stride)
        for x in range(size):
            red, green, blue, alpha = r[4 * x:4 * x + 4]
            pixels += bytes((blue, green, red, alpha))
            if alpha == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "Davrel.ico")
    png_dir = None
    args = list(argv)
    if "--png" in args:
        i = args.index("--png")
        png_dir = args[i + 1]
        del args[i:i + 2]
    if args:
        out = args[0]

    images = []
    for size in SIZES:
        rows = render(size)
        if png_dir:
            with open(os.path.join(png_dir, "davrel-%d.png" % size), "wb") as f:
                f.write(png_bytes(size, rows))
        images.append((size, png_bytes(size, rows) if size == 256 else dib_bytes(size, rows)))

    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        dim = 0 if size >= 256 else size
        data += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    data += b"".join(blob for _, blob in images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1:])
