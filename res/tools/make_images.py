#!/usr/bin/env python3
"""Draws the program's artwork and writes it into res/:

  tessaglyph.ico  the application icon: 32x32 and 48x48, 256 colours, 1-bit mask
  browse.bmp      the browse-button image: 16x16, 16 colours, uncompressed
  sample.jpg      the sample picture that `make run` converts without a display
                  (needs cjpeg from libjpeg-turbo-progs)

The icon shows a lit ball drawn in tiny text glyphs on a dark tile, which is
what the program makes of a picture. Run it from anywhere; it writes next
to itself, one folder up.
"""
import math
import os
import struct
import subprocess
import sys

RES = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# ---------------------------------------------------------------- icon

TILE = (22, 30, 64)
EDGE = (8, 12, 32)
INK_DIM = (30, 110, 150)
INK_BRIGHT = (250, 240, 190)

# Glyph masks from sparse to dense, for 3x3 and 5x5 cells: " . : + #".
GLYPHS_3 = [
    [],
    [(1, 2)],
    [(1, 0), (1, 2)],
    [(1, 0), (0, 1), (1, 1), (2, 1), (1, 2)],
    [(0, 0), (2, 0), (1, 1), (0, 2), (2, 2), (1, 0), (0, 1), (2, 1), (1, 2)],
]
GLYPHS_5 = [
    [],
    [(2, 4)],
    [(2, 1), (2, 3)],
    [(2, 0), (2, 1), (0, 2), (1, 2), (2, 2), (3, 2), (4, 2), (2, 3), (2, 4)],
    [(1, 0), (3, 0), (0, 1), (1, 1), (2, 1), (3, 1), (4, 1), (1, 2), (3, 2),
     (0, 3), (1, 3), (2, 3), (3, 3), (4, 3), (1, 4), (3, 4)],
]
GRID = 7


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def ball_level(u, v, levels):
    """Glyph level and brightness 0..1 of a ball lit from the upper left:
    empty outside it, never emptier than "." inside it, so its outline shows."""
    dx, dy = (u - 0.5) / 0.47, (v - 0.5) / 0.47
    r2 = dx * dx + dy * dy
    if r2 > 1.0:
        return 0, 0.0
    nz = math.sqrt(1.0 - r2)
    light = min(1.0, max(0.0, -0.45 * dx - 0.5 * dy + 0.74 * nz))
    return 1 + min(levels - 2, int(light * (levels - 1))), light


def draw_icon(size):
    """Returns rows of RGB, None where transparent: a dark rounded tile with
    the ball drawn in text glyphs, bright glyphs dense, dim ones sparse."""
    px = [[None] * size for _ in range(size)]
    lo, hi = 1, size - 2
    radius = size // 6
    for y in range(lo, hi + 1):
        for x in range(lo, hi + 1):
            cx = min(max(x, lo + radius), hi - radius)
            cy = min(max(y, lo + radius), hi - radius)
            d = math.hypot(x - cx, y - cy)
            if d > radius + 0.5:
                continue
            px[y][x] = EDGE if d > radius - 0.5 or x in (lo, hi) or y in (lo, hi) else TILE
    cell = 4 if size == 32 else 6
    glyphs = GLYPHS_3 if size == 32 else GLYPHS_5
    first = (size - GRID * cell + 1) // 2
    for row in range(GRID):
        for col in range(GRID):
            level, bright = ball_level((col + 0.5) / GRID, (row + 0.5) / GRID, len(glyphs))
            ink = mix(INK_DIM, INK_BRIGHT, bright)
            for gx, gy in glyphs[level]:
                px[first + row * cell + gy][first + col * cell + gx] = ink
    return px


def icon_image(px):
    size = len(px)
    colours = sorted({c for row in px for c in row if c is not None})
    palette = [(0, 0, 0)] + colours
    assert len(palette) <= 256
    index = {c: i for i, c in enumerate(palette)}
    palette += [(0, 0, 0)] * (256 - len(palette))
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 8, 0, 0, 0, 0, 0, 0)
    pal = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in palette)
    xor = b''
    mask = b''
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(px):  # bottom-up
        xor += bytes(index[c] if c is not None else 0 for c in row)
        bits = bytearray(mask_stride)
        for x, c in enumerate(row):
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pal + xor + mask


def write_ico(path, sizes):
    images = [icon_image(draw_icon(s)) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


# ---------------------------------------------------------------- browse bitmap

VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, OLIVE, SILVER, GREY, YELLOW, AQUA, WHITE = 0, 3, 7, 8, 11, 14, 15


def draw_browse():
    px = [[SILVER] * 16 for _ in range(16)]
    # Folder: a tab on the upper left, then the body.
    for x in range(1, 6):
        px[2][x] = BLACK
    for y in range(3, 14):
        for x in range(0, 13):
            if y == 3 and x > 6:
                continue
            inside_tab = y == 3 and 0 < x < 6
            edge = x in (0, 12) or y == 13 or (y == 4 and x >= 6) or (y == 3 and x == 6)
            if edge:
                px[y][x] = BLACK
            elif inside_tab or y > 4:
                px[y][x] = OLIVE if (x == 11 or y == 12) else YELLOW
            else:
                px[y][x] = YELLOW
    for x in range(1, 12):
        px[5][x] = WHITE if x < 11 else px[5][x]
    for y in range(5, 13):
        px[y][1] = WHITE
    # Magnifying glass over the lower right: a ring, its glass and a handle.
    cx, cy = 9.5, 8.5
    for y in range(16):
        for x in range(16):
            d = math.hypot(x - cx, y - cy)
            if d <= 2.0:
                px[y][x] = AQUA
            elif d <= 3.1:
                px[y][x] = BLACK
    px[7][8] = WHITE
    px[8][8] = WHITE
    px[7][9] = WHITE
    for i in range(4):
        px[11 + i][12 + i] = BLACK
        if 13 + i < 16:
            px[11 + i][13 + i] = GREY
        px[12 + i][12 + i] = GREY if 12 + i < 16 else px[12 + i][12 + i]
    return px


def write_bmp(path, px):
    rows = b''
    for row in reversed(px):  # bottom-up
        rows += bytes((row[x] << 4) | row[x + 1] for x in range(0, 16, 2))
    pal = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in VGA16)
    info = struct.pack('<IiiHHIIiiII', 40, 16, 16, 1, 4, 0, len(rows), 0, 0, 16, 0)
    offset = 14 + len(info) + len(pal)
    head = struct.pack('<2sIHHI', b'BM', offset + len(rows), 0, 0, offset)
    with open(path, 'wb') as f:
        f.write(head + info + pal + rows)


# ---------------------------------------------------------------- sample picture

def sample_ppm(width=192, height=128):
    """A lit ball and a cube on a graded floor: broad tones that read well as text."""
    out = bytearray()
    for y in range(height):
        for x in range(width):
            u, v = x / width, y / height
            sky = 0.85 - 0.35 * v
            r, g, b = 210 * sky + 30, 225 * sky + 20, 255 * sky
            if v > 0.62:  # floor
                t = (v - 0.62) / 0.38
                r, g, b = 200 - 90 * t, 180 - 80 * t, 150 - 70 * t
                if (int(u * 12 + 30 * (v - 0.62)) + int(t * 6)) % 2:
                    r, g, b = r * 0.88, g * 0.88, b * 0.88
            dx, dy = (x - 62) / 40.0, (y - 60) / 40.0
            if dx * dx + dy * dy < 1.0:
                nz = math.sqrt(1 - dx * dx - dy * dy)
                light = max(0.0, -0.5 * dx - 0.6 * dy + 0.62 * nz)
                r, g, b = 40 + 200 * light, 60 + 120 * light, 140 + 110 * light
            if 118 <= x < 166 and 50 <= y < 98:
                shade = 0.9 if x < 142 else 0.55
                if y < 58:
                    shade = 1.0
                r, g, b = 220 * shade, 120 * shade, 60 * shade
            out += bytes(max(0, min(255, round(c))) for c in (r, g, b))
    return b'P6\n%d %d\n255\n' % (width, height) + bytes(out)


def write_sample(path):
    jpeg = subprocess.run(['cjpeg', '-quality', '88', '-optimize'], input=sample_ppm(),
                          capture_output=True, check=True).stdout
    with open(path, 'wb') as f:
        f.write(jpeg)


def preview(px, legend):
    for row in px:
        print(''.join(legend(c) for c in row))


def main():
    write_ico(os.path.join(RES, 'tessaglyph.ico'), [32, 48])
    write_bmp(os.path.join(RES, 'browse.bmp'), draw_browse())
    write_sample(os.path.join(RES, 'sample.jpg'))
    if '--show' in sys.argv:
        preview(draw_browse(), lambda c: {BLACK: '#', OLIVE: 'o', SILVER: '.', GREY: '+',
                                          YELLOW: 'y', AQUA: 'c', WHITE: 'w'}[c])
        preview(draw_icon(32), lambda c: ' ' if c is None else ('.' if c == TILE else
                                                               ('E' if c == EDGE else '#')))


if __name__ == '__main__':
    main()
