#!/usr/bin/python3
"""Draws the camera views' default avatar: a grey head and shoulders on a light disc, 176 px
(twice the largest size it is shown at), 4x4 supersampled, written with the standard library only.
Usage: make_default_avatar.py RES_DIR (writes RES_DIR/images/default_avatar.png)
"""
import struct
import sys
import zlib
from pathlib import Path

SIZE = 176
SUB = 4
DISC = (0xDF, 0xE3, 0xE8)
FIGURE = (0x9A, 0xA4, 0xB1)


def colour_at(x, y):
    c = SIZE / 2
    if (x - c) ** 2 + (y - c) ** 2 > c * c:
        return None
    head = (x - c) ** 2 + (y - 0.40 * SIZE) ** 2 <= (0.185 * SIZE) ** 2
    body = ((x - c) / (0.33 * SIZE)) ** 2 + ((y - 0.91 * SIZE) / (0.27 * SIZE)) ** 2 <= 1
    return FIGURE if head or body else DISC


def pixel(px, py):
    r = g = b = a = 0
    for i in range(SUB):
        for j in range(SUB):
            col = colour_at(px + (i + 0.5) / SUB, py + (j + 0.5) / SUB)
            if col:
                r, g, b, a = r + col[0], g + col[1], b + col[2], a + 1
    if a == 0:
        return b"\0\0\0\0"
    return bytes((r // a, g // a, b // a, a * 255 // (SUB * SUB)))


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def main():
    rows = b"".join(b"\0" + b"".join(pixel(x, y) for x in range(SIZE)) for y in range(SIZE))
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    (Path(sys.argv[1]) / "images" / "default_avatar.png").write_bytes(png)


if __name__ == "__main__":
    main()
