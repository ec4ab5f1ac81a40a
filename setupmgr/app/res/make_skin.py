#!/usr/bin/env python3
"""Draws the progress window's skin: skin-background.bmp (bitmap 133, 247 x 86, 8 bits with a
palette) and skin-shape.bmp (bitmap 134, 247 x 86, 1 bit; black is cut away), beside this file.

Deterministic: the same script always writes the same bytes. Standard library only.

Layout (client pixels): an amber title band with the emblem and the product name on top, a calm
cream face below it whose rectangle 115,35-235,49 carries the status line, and a tray in the
colour key RGB(51, 51, 255) at the bottom where the progress bar and the Cancel button sit on the
dialog's own background. The tray holds template 130's controls for dialog base units from 6 x 12
(Gulim 9 pt) to 7 x 14 pixels (the wider Korean faces that stand in for it).
"""
import os
import struct
import sys

W, H = 247, 86
KEY = (51, 51, 255)
RADIUS = 9  # window corners
BAND = 25  # rows of the title band
TRAY = (6, 51, 241, 83)  # left, top, right, bottom (exclusive) of the colour-keyed tray
TRAY_RADIUS = 4

BORDER = (122, 74, 32)
BAND_TOP, BAND_BOTTOM = (238, 176, 92), (205, 128, 48)
BAND_LINE = (160, 92, 30)
FACE_TOP, FACE_BOTTOM = (255, 251, 243), (244, 233, 214)
TRAY_FRAME = (215, 192, 156)
TITLE, TITLE_SHADOW = (255, 250, 240), (150, 84, 24)
EMBLEM, EMBLEM_MARK = (255, 248, 235), (166, 90, 22)

# 5-column glyphs, 9 rows (two below the baseline), '#' set.
GLYPHS = {
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#..", ".....", "....."],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".####", ".....", "....."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", "...##", ".....", "....."],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####.", ".....", "....."],
    "t": ["..#..", "..#..", "#####", "..#..", "..#..", "..#.#", "...#.", ".....", "....."],
    "u": [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#", ".....", "....."],
    "p": [".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."],
}


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def in_rounded(x, y, left, top, right, bottom, r):
    """Whether pixel (x, y) lies in the rounded rectangle [left, right) x [top, bottom)."""
    if not (left <= x < right and top <= y < bottom):
        return False
    cx = min(max(x + 0.5, left + r), right - r)
    cy = min(max(y + 0.5, top + r), bottom - r)
    return (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r


def coverage(x, y, inside, samples=4):
    """Share of pixel (x, y) for which inside(px, py) holds, from samples x samples points."""
    hits = 0
    for j in range(samples):
        for i in range(samples):
            hits += inside(x + (i + 0.5) / samples, y + (j + 0.5) / samples)
    return hits / (samples * samples)


def emblem(px, py):
    """Mark of the emblem at a point: 0 outside the disc, 1 disc, 2 the download arrow on it."""
    cx, cy, r = 14.0, 12.5, 8.5
    dx, dy = px - cx, py - cy
    if dx * dx + dy * dy > r * r:
        return 0
    if abs(dx) <= 1.3 and -5.5 <= dy <= 1.5:  # shaft
        return 2
    if -1.5 <= dy <= 4.0 and abs(dx) <= (4.0 - dy) * 1.05:  # head
        return 2
    if 5.0 <= dy <= 6.3 and abs(dx) <= 4.5:  # ground line
        return 2
    return 1


def draw():
    img = [[None] * W for _ in range(H)]
    shape = [[in_rounded(x, y, 0, 0, W, H, RADIUS) for x in range(W)] for y in range(H)]
    for y in range(H):
        for x in range(W):
            if y < BAND:
                c = mix(BAND_TOP, BAND_BOTTOM, y / (BAND - 1))
            elif y == BAND:
                c = BAND_LINE
            else:
                c = mix(FACE_TOP, FACE_BOTTOM, (y - BAND - 1) / (H - BAND - 2))
            img[y][x] = c

    # Emblem, antialiased against the band.
    for y in range(0, BAND):
        for x in range(2, 26):
            disc = coverage(x, y, lambda px, py: emblem(px, py) >= 1)
            mark = coverage(x, y, lambda px, py: emblem(px, py) == 2)
            if disc:
                c = mix(img[y][x], EMBLEM, disc)
                img[y][x] = mix(c, EMBLEM_MARK, mark)

    # Product name, two pixels per glyph dot, with a one-pixel shadow.
    x0, y0 = 31, 4
    for colour, offset in ((TITLE_SHADOW, 1), (TITLE, 0)):
        pen = x0
        for ch in "VelSetup":
            for row, bits in enumerate(GLYPHS[ch]):
                for col, bit in enumerate(bits):
                    if bit != "#":
                        continue
                    for dy in range(2):
                        for dx in range(2):
                            img[y0 + row * 2 + dy + offset][pen + col * 2 + dx + offset] = colour
            pen += 12

    # Tray: a framed, colour-keyed well for the template's controls.
    left, top, right, bottom = TRAY
    for y in range(top - 1, bottom + 1):
        for x in range(left - 1, right + 1):
            if in_rounded(x, y, left, top, right, bottom, TRAY_RADIUS):
                img[y][x] = KEY
            elif in_rounded(x, y, left - 1, top - 1, right + 1, bottom + 1, TRAY_RADIUS + 1):
                img[y][x] = TRAY_FRAME

    # Border along the shape's edge: a pixel of the shape next to a cut-away one.
    for y in range(H):
        for x in range(W):
            if not shape[y][x]:
                img[y][x] = (0, 0, 0)
                continue
            edge = x in (0, W - 1) or y in (0, H - 1)
            edge = edge or not all(shape[y + j][x + i] for j in (-1, 0, 1) for i in (-1, 0, 1))
            if edge:
                img[y][x] = BORDER
    return img, shape


def quantize(img):
    """A palette of at most 256 colours holding the key exactly; other colours are rounded
    ever more coarsely until they fit, and never onto the key."""
    step = 1
    while True:
        def q(c):
            if c == KEY:
                return c
            r = tuple(min(255, (v + step // 2) // step * step) for v in c)
            return r if r != KEY else (r[0], r[1], 254)

        colours = sorted({q(c) for row in img for c in row})
        if len(colours) <= 256:
            index = {c: i for i, c in enumerate(colours)}
            return colours, [[index[q(c)] for c in row] for row in img]
        step += 1


def bmp(width, height, bits, palette, rows):
    """A bottom-up BITMAPINFOHEADER file; rows are lists of palette indices, top row first."""
    stride = (width * bits + 31) // 32 * 4
    data = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, v in enumerate(row):
            if bits == 8:
                line[x] = v
            else:
                line[x // 8] |= v << (7 - x % 8)
        data += line
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + 40 + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835,
                       len(palette), len(palette))
    return header + info + pal + bytes(data)


def main():
    """Writes both bitmaps; with --check, only tells whether the files in the tree are current."""
    img, shape = draw()
    palette, indices = quantize(img)
    mask = [[1 if inside else 0 for inside in row] for row in shape]
    files = {
        "skin-background.bmp": bmp(W, H, 8, palette, indices),
        "skin-shape.bmp": bmp(W, H, 1, [(0, 0, 0), (255, 255, 255)], mask),
    }
    here = os.path.dirname(os.path.abspath(__file__))
    stale = []
    for name, data in files.items():
        path = os.path.join(here, name)
        if "--check" in sys.argv[1:]:
            if not os.path.exists(path) or open(path, "rb").read() != data:
                stale.append(name)
        else:
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        sys.exit("not drawn by this script (run it): " + ", ".join(stale))


if __name__ == "__main__":
    main()
