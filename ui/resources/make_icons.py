#!/usr/bin/env python3
"""Draws the program's icon (a clock on a photo card) as tokiren-32.png and tokiren-16.png,
and as tokiren.ico (both sizes, 16 colours) for Windows.

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


def write_ico(path, images):
    """A Windows icon of 16-colour images (4 bits a pixel, a palette and a transparency mask)."""
    entries, blobs = [], []
    for pixels in images:
        height, width = len(pixels), len(pixels[0])
        palette = sorted({p[:3] for row in pixels for p in row if p[3]})
        palette += [(0, 0, 0)] * (16 - len(palette))
        index = {colour: i for i, colour in enumerate(palette)}
        colour_rows, mask_rows = [], []
        for row in reversed(pixels):  # a DIB lists its rows bottom up
            nibbles = [index[p[:3]] if p[3] else 0 for p in row]
            bits = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, width, 2))
            colour_rows.append(bits + b"\x00" * (-len(bits) % 4))
            mask = 0
            for p in row:
                mask = (mask << 1) | (0 if p[3] else 1)
            mask_bytes = mask.to_bytes(width // 8, "big")
            mask_rows.append(mask_bytes + b"\x00" * (-len(mask_bytes) % 4))
        header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0, 0, 0, 0, 16, 0)
        colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
        blobs.append(header + colours + b"".join(colour_rows) + b"".join(mask_rows))
        entries.append((width, height))
    offset = 6 + 16 * len(images)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)))
        for (width, height), blob in zip(entries, blobs):
            f.write(struct.pack("<BBBBHHII", width % 256, height % 256, 16, 0, 1, 4, len(blob),
                                offset))
            offset += len(blob)
        for blob in blobs:
            f.write(blob)


if __name__ == "__main__":
    for size in (32, 16):
        write_png(f"tokiren-{size}.png", draw(size))
    write_ico("tokiren.ico", [draw(32), draw(16)])
