#!/usr/bin/env python3
"""Draws the program's icon (a clock on a photo card) as tokiren-32.png and tokiren-16.png.

Run again after changing the drawing; needs nothing beyond Python's standard library.
"""
import math
import struct
import zlib

# A small palette, as the icon of a 16-colour program would have.
TRANSPARENT = (0, 0, 0, 0)
OUTLINE = (40, 52, 72, 255)
CARD = (70, 130, 200, 255)
CARD_DARK = (45, 95, 160, 255)
FACE = (250, 250, 245, 255)
HAND = (30, 30, 30, 255)
MARK = (200, 60, 50, 255)


def draw(size):
    s = size / 32.0
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    cx = cy = (size - 1) / 2.0
    radius = 11.5 * s
    for y in range(size):
        for x in range(size):
            # The card: a rounded square.
            inset, corner = 1.5 * s, 5 * s
            dx = max(abs(x - cx) - (size / 2 - inset - corner), 0)
            dy = max(abs(y - cy) - (size / 2 - inset - corner), 0)
            d_card = math.hypot(dx, dy)
            if d_card <= corner:
                pixels[y][x] = CARD if y < cy + 6 * s else CARD_DARK
                if d_card > corner - max(1.0, 1.2 * s):
                    pixels[y][x] = OUTLINE
            # The clock face.
            d = math.hypot(x - cx, y - cy)
            if d <= radius:
                pixels[y][x] = OUTLINE if d > radius - max(1.0, 1.3 * s) else FACE
    # Hour marks at 12, 3, 6 and 9.
    for angle in (0, 90, 180, 270):
        a = math.radians(angle)
        for r in (radius - 3.2 * s, radius - 2.4 * s):
            x, y = cx + r * math.sin(a), cy - r * math.cos(a)
            pixels[round(y)][round(x)] = MARK
    # Hands at ten past ten.
    for angle, length in ((305, 6.5 * s), (60, 9 * s)):
        a = math.radians(angle)
        steps = int(length * 4) + 1
        for i in range(steps):
            r = length * i / steps
            x, y = cx + r * math.sin(a), cy - r * math.cos(a)
            pixels[round(y)][round(x)] = HAND
            if size >= 32:
                pixels[round(y + 0.5)][round(x)] = HAND
    pixels[round(cy)][round(cx)] = MARK
    return pixels


def write_png(path, pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    for size in (32, 16):
        write_png(f"tokiren-{size}.png", draw(size))
