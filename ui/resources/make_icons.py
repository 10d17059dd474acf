#!/usr/bin/env python3
"""Draws the program's icon (a clock on a photo card) as tokiren-<size>.png in every size a
desktop asks for (16 to 256 pixels), as tokiren.svg (the same drawing, for any size), and as
tokiren.ico (32 and 16 pixels, 16 colours) for Windows.

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
MARK_ANGLES = (0, 90, 180, 270)
HANDS = ((305, 6.5), (60, 9))  # ten past ten: angle from 12 o'clock, length at 32 pixels

# Every size the freedesktop icon theme asks for, the two of the Windows icon among them.
SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


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
    # Above 32 pixels the marks and hands are drawn as thick as they look at 32.
    pen = s if size > 32 else 0

    def dot(x, y, colour, radius=0.0):
        if radius <= 0.5:
            pixels[round(y)][round(x)] = colour
            return
        for py in range(math.floor(y - radius), math.ceil(y + radius) + 1):
            for px in range(math.floor(x - radius), math.ceil(x + radius) + 1):
                if math.hypot(px - x, py - y) <= radius:
                    pixels[py][px] = colour

    # Hour marks at 12, 3, 6 and 9.
    for angle in MARK_ANGLES:
        a = math.radians(angle)
        for r in (radius - 3.2 * s, radius - 2.4 * s):
            dot(cx + r * math.sin(a), cy - r * math.cos(a), MARK, 0.6 * pen)
    # Hands at ten past ten.
    for angle, length in HANDS:
        length *= s
        a = math.radians(angle)
        steps = int(length * 4) + 1
        for i in range(steps):
            r = length * i / steps
            x, y = cx + r * math.sin(a), cy - r * math.cos(a)
            dot(x, y, HAND, 0.8 * pen)
            if size == 32:
                pixels[round(y + 0.5)][round(x)] = HAND
    dot(cx, cy, MARK, 0.9 * pen)
    return pixels


def write_svg(path):
    """The same drawing on a 32-unit grid, for desktops that scale the icon to any size."""
    def colour(c):
        return "#%02x%02x%02x" % c[:3]

    c = 16
    hands = "".join(
        f'<line x1="{c}" y1="{c}" x2="{c + l * math.sin(math.radians(a)):.2f}" '
        f'y2="{c - l * math.cos(math.radians(a)):.2f}"/>' for a, l in HANDS)
    marks = "".join(
        f'<line x1="{c + r1 * math.sin(math.radians(a)):.2f}" '
        f'y1="{c - r1 * math.cos(math.radians(a)):.2f}" '
        f'x2="{c + r2 * math.sin(math.radians(a)):.2f}" '
        f'y2="{c - r2 * math.cos(math.radians(a)):.2f}"/>'
        for a in MARK_ANGLES for r1, r2 in [(11.5 - 3.6, 11.5 - 2.0)])
    with open(path, "w", encoding="ascii") as f:
        f.write(
            '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">\n'
            '<clipPath id="top"><rect width="32" height="22"/></clipPath>\n'
            f'<rect x="1.5" y="1.5" width="29" height="29" rx="5" fill="{colour(CARD_DARK)}" '
            f'stroke="{colour(OUTLINE)}" stroke-width="1.2"/>\n'
            f'<rect x="1.5" y="1.5" width="29" height="29" rx="5" fill="{colour(CARD)}" '
            f'stroke="{colour(OUTLINE)}" stroke-width="1.2" clip-path="url(#top)"/>\n'
            f'<circle cx="{c}" cy="{c}" r="10.85" fill="{colour(FACE)}" '
            f'stroke="{colour(OUTLINE)}" stroke-width="1.3"/>\n'
            f'<g stroke="{colour(MARK)}" stroke-width="1.2" stroke-linecap="round">{marks}</g>\n'
            f'<g stroke="{colour(HAND)}" stroke-width="1.6" stroke-linecap="round">{hands}</g>\n'
            f'<circle cx="{c}" cy="{c}" r="0.9" fill="{colour(MARK)}"/>\n'
            '</svg>\n')


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
    for size in SIZES:
        write_png(f"tokiren-{size}.png", draw(size))
    write_svg("tokiren.svg")
    write_ico("tokiren.ico", [draw(32), draw(16)])
