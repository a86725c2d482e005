#!/usr/bin/env python3
"""Draws Romflux.ico: a tuner chip (dark body, pins, a signal wave) at 16, 32 and 48 px.

Run once by hand; the .ico is committed beside this script."""
import struct
import sys


def draw(size):
    s = size / 32.0
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(max(0, int(y0 * s)), min(size, int(round(y1 * s)))):
            for x in range(max(0, int(x0 * s)), min(size, int(round(x1 * s)))):
                px[y][x] = colour

    pin = (176, 180, 190, 255)
    for i in range(4):
        c = 9 + i * 4
        rect(c, 3, c + 2, 7, pin)     # top pins
        rect(c, 25, c + 2, 29, pin)   # bottom pins
        rect(3, c, 7, c + 2, pin)     # left pins
        rect(25, c, 29, c + 2, pin)   # right pins
    rect(6, 6, 26, 26, (30, 52, 96, 255))     # chip body
    rect(7, 7, 25, 25, (44, 78, 140, 255))
    # Signal wave: three arcs over a dot, in amber.
    amber = (255, 190, 40, 255)
    cx, cy = 16 * s, 20 * s
    for y in range(size):
        for x in range(size):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            d = (dx * dx + dy * dy) ** 0.5 / s
            if dy < 0 and abs(dx) < -dy * 1.1:
                if any(abs(d - r) < 0.9 for r in (4.5, 8.0, 11.5)) and d < 12.5:
                    px[y][x] = amber
            if d < 1.8:
                px[y][x] = amber
    return px


def bitmap(px):
    size = len(px)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b''.join(bytes(v for (r, g, b, a) in px[y] for v in (b, g, r, a)) for y in reversed(range(size)))
    mask_stride = ((size + 31) // 32) * 4
    mask = b''
    for y in reversed(range(size)):
        bits = bytearray(mask_stride)
        for x in range(size):
            if px[y][x][3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + rows + mask


def main(path):
    images = [bitmap(draw(n)) for n in (16, 32, 48)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip((16, 32, 48), images):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'Romflux.ico')
