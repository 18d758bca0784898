#!/usr/bin/env python3
"""Draws the program's scalable icon and writes it to res/tessaglyph.svg.

The motif is the pixel icon's: a ball lit from the upper left, drawn in text
glyphs (" . : + #", sparse where it is dark, dense where it is bright) on a
dark rounded tile. Here the glyphs are real vector shapes on a finer grid,
the tile has depth, and the ball a soft glow, so that the icon holds up at
launcher sizes. Run it from anywhere; it writes one folder up from itself.
"""
import math
import os

RES = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SIZE = 256
GRID = 9
INK_DIM = (30, 110, 150)
INK_BRIGHT = (250, 240, 190)


def mix(a, b, t):
    return '#%02x%02x%02x' % tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def light_at(u, v):
    """Brightness 0..1 of the ball at (u, v) in 0..1, or None outside it."""
    dx, dy = (u - 0.5) / 0.47, (v - 0.5) / 0.47
    r2 = dx * dx + dy * dy
    if r2 > 1.0:
        return None
    nz = math.sqrt(1.0 - r2)
    return min(1.0, max(0.0, -0.45 * dx - 0.5 * dy + 0.74 * nz))


def glyph(level, x, y, cell, colour):
    """One glyph centred at (x, y) in a cell of the given size."""
    s = cell * 0.36  # half the glyph's extent
    w = cell * 0.16  # stroke width
    dot = cell * 0.12
    if level == 1:  # .
        return f'<circle cx="{x:.2f}" cy="{y + s * 0.7:.2f}" r="{dot:.2f}" fill="{colour}"/>'
    if level == 2:  # :
        return (f'<circle cx="{x:.2f}" cy="{y - s * 0.5:.2f}" r="{dot:.2f}" fill="{colour}"/>'
                f'<circle cx="{x:.2f}" cy="{y + s * 0.5:.2f}" r="{dot:.2f}" fill="{colour}"/>')
    if level == 3:  # +
        path = f'M{x - s:.2f} {y:.2f}H{x + s:.2f}M{x:.2f} {y - s:.2f}V{y + s:.2f}'
    else:  # #
        a, b = s * 0.4, s
        path = (f'M{x - a:.2f} {y - b:.2f}V{y + b:.2f}M{x + a:.2f} {y - b:.2f}V{y + b:.2f}'
                f'M{x - b:.2f} {y - a:.2f}H{x + b:.2f}M{x - b:.2f} {y + a:.2f}H{x + b:.2f}')
    return (f'<path d="{path}" stroke="{colour}" stroke-width="{w:.2f}" '
            f'stroke-linecap="round" fill="none"/>')


def draw():
    inset = 8
    tile = SIZE - 2 * inset
    parts = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{SIZE}" height="{SIZE}" viewBox="0 0 {SIZE} {SIZE}">',
        '<title>Tessaglyph</title>',
        '<defs>',
        '<linearGradient id="tile" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="#26336a"/><stop offset="1" stop-color="#121a38"/></linearGradient>',
        '<radialGradient id="glow" cx="0.42" cy="0.4" r="0.5">'
        '<stop offset="0" stop-color="#fff0be" stop-opacity="0.22"/>'
        '<stop offset="1" stop-color="#fff0be" stop-opacity="0"/></radialGradient>',
        '</defs>',
        f'<rect x="{inset}" y="{inset + 4}" width="{tile}" height="{tile}" rx="44" fill="#000" opacity="0.25"/>',
        f'<rect x="{inset}" y="{inset}" width="{tile}" height="{tile}" rx="44" fill="url(#tile)" '
        'stroke="#080c20" stroke-width="6"/>',
        f'<rect x="{inset + 10}" y="{inset + 10}" width="{tile - 20}" height="{tile - 20}" rx="36" '
        'fill="none" stroke="#ffffff" stroke-opacity="0.07" stroke-width="3"/>',
        f'<circle cx="{SIZE / 2}" cy="{SIZE / 2}" r="{SIZE * 0.36:.1f}" fill="url(#glow)"/>',
    ]
    area = tile - 40
    cell = area / GRID
    first = inset + 20 + cell / 2
    for row in range(GRID):
        for col in range(GRID):
            light = light_at((col + 0.5) / GRID, (row + 0.5) / GRID)
            if light is None:
                continue
            level = 1 + min(3, int(light * 4))
            parts.append(glyph(level, first + col * cell, first + row * cell, cell,
                               mix(INK_DIM, INK_BRIGHT, light)))
    parts.append('</svg>')
    return '\n'.join(parts) + '\n'


if __name__ == '__main__':
    with open(os.path.join(RES, 'tessaglyph.svg'), 'w') as f:
        f.write(draw())
