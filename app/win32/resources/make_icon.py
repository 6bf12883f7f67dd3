#!/usr/bin/env python3
"""Writes varnholt-import.ico: the program's icon, 16 and 32 pixels, 32-bit colour.

A blue tile with a white arrow pointing right into a white table of three rows: data going into
the accounting product's tables. Run again after changing the drawing; the .ico is committed.
"""
import struct
import sys

BLUE = (0x2B, 0x5C, 0xA8, 0xFF)  # R, G, B, A
WHITE = (0xFF, 0xFF, 0xFF, 0xFF)
CLEAR = (0, 0, 0, 0)


def pixel(x, y, n):
    """The colour at (x, y), y from the top, in an n by n image drawn on a 32-unit grid."""
    u, v = x * 32 // n, y * 32 // n
    if u < 1 or v < 1 or u > 30 or v > 30:
        return CLEAR
    # The arrow: a shaft and a head, on the left half.
    if 14 <= v <= 17 and 4 <= u <= 11:
        return WHITE
    if 12 <= u <= 15 and abs(v - 15.5) <= (16 - u) * 1.2 + 0.5:
        return WHITE
    # The table: an outline and two row lines, on the right half.
    if 18 <= u <= 27 and 7 <= v <= 24:
        if u in (18, 27) or v in (7, 8, 13, 18, 24):
            return WHITE
    return BLUE


def image(n):
    rows = []
    for y in reversed(range(n)):  # bottom-up, as a BMP
        rows.append(b"".join(bytes((b, g, r, a)) for r, g, b, a in (pixel(x, y, n) for x in range(n))))
    mask_row = ((n + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + bytes(mask_row * n)  # the mask: all shown, alpha decides


def main(out):
    sizes = (16, 32)
    images = [image(n) for n in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, "wb") as f:
        f.write(data + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "varnholt-import.ico")
