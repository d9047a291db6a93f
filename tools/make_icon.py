#!/usr/bin/env python3
"""Draws the program icon, a blue globe with a light grid, and writes it as a .ico file.

The icon holds 16, 32 and 48 pixel images as 32-bit BGRA bitmaps with an AND mask, the form
every Windows version reads. Only the standard library is used, so the output is reproducible:

    python3 tools/make_icon.py src/app/accessurl.ico
"""
import math
import struct
import sys

SIZES = (16, 32, 48)
SUPERSAMPLE = 8

OUTLINE = (20, 63, 128)
OCEAN_TOP = (86, 165, 240)
OCEAN_BOTTOM = (30, 91, 184)
GRID = (235, 244, 255)


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def sample(x, y, size):
    """Colour and coverage (0 or 1) of one point; the globe is centred with radius 1."""
    r = math.hypot(x, y)
    outline = max(0.07, 1.2 / size)  # at least about one pixel wide
    if r > 1.0:
        return None
    if r > 1.0 - outline:
        return OUTLINE
    line = max(0.045, 0.75 / size)
    colour = mix(OCEAN_TOP, OCEAN_BOTTOM, (y + 1.0) / 2.0)
    # Equator and central meridian.
    on_grid = abs(y) < line or abs(x) < line
    # Two parallels, drawn on the larger images only.
    if size >= 32:
        on_grid = on_grid or abs(abs(y) - 0.5) < line
    # One meridian ellipse x^2/a^2 + y^2 = 1, its distance estimated from the gradient.
    a = 0.5
    f = x * x / (a * a) + y * y - 1.0
    grad = math.hypot(2 * x / (a * a), 2 * y)
    if grad > 0 and abs(f) / grad < line:
        on_grid = True
    return GRID if on_grid else colour


def render(size):
    """Rows top to bottom of (b, g, r, a) pixels."""
    rows = []
    half = size / 2.0
    radius = half - 0.5
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (px + (sx + 0.5) / SUPERSAMPLE - half) / radius
                    y = (py + (sy + 0.5) / SUPERSAMPLE - half) / radius
                    c = sample(x, y, size)
                    if c is not None:
                        covered += 1
                        for i in range(3):
                            acc[i] += c[i]
            n = SUPERSAMPLE * SUPERSAMPLE
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                r, g, b = (round(v / covered) for v in acc)
                row.append((b, g, r, round(255 * covered / n)))
        rows.append(row)
    return rows


def bitmap(size):
    """BITMAPINFOHEADER, bottom-up BGRA pixels and the AND mask (1 where transparent)."""
    rows = render(size)
    mask_stride = ((size + 31) // 32) * 4
    pixels = b"".join(bytes(v for p in row for v in p) for row in reversed(rows))
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask),
                         0, 0, 0, 0)
    return header + pixels + mask


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    images = [bitmap(s) for s in SIZES]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    data += b"".join(images)
    with open(sys.argv[1], "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
