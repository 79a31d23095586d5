#!/usr/bin/env python3
"""Draws the connector's application icon, res/vantor.ico: a white label with
a bar code and a red strip, as 16x16 and 32x32 images in 16 colours (4 bits a
pixel, the standard VGA palette) with a transparency mask.

    python3 res/make_icon.py res/vantor.ico
"""
import struct
import sys

# The 16 VGA colours as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GRAY, RED, WHITE = 0, 4, 8, 9, 15
TRANSPARENT = None

# Bar widths of the bar code, repeated across the label (1 = bar, 0 = gap).
BARS = [1, 0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 0, 1]


def draw(size):
    """Returns size rows (top first) of palette indexes or TRANSPARENT."""
    s = size / 32.0
    left, right = round(2 * s), size - 1 - round(2 * s)
    top, bottom = round(6 * s), size - 1 - round(6 * s)
    shadow = max(1, round(1 * s))
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            pixel = TRANSPARENT
            if left + shadow <= x <= right + shadow and top + shadow <= y <= bottom + shadow:
                pixel = GRAY  # drop shadow
            if left <= x <= right and top <= y <= bottom:
                if x in (left, right) or y in (top, bottom):
                    pixel = NAVY
                elif y >= bottom - round(4 * s):
                    pixel = RED
                elif top + round(3 * s) <= y <= bottom - round(7 * s) and \
                        left + round(3 * s) <= x <= right - round(3 * s):
                    bar = BARS[(x - left) * 24 // (right - left + 1) % len(BARS)]
                    pixel = BLACK if (bar if size == 32 else (x % 2 == 0)) else WHITE
                else:
                    pixel = WHITE
            row.append(pixel)
        rows.append(row)
    return rows


def image_bytes(size):
    rows = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor = b''
    mask = b''
    for row in reversed(rows):  # bitmaps are stored bottom-up
        line = bytearray()
        for x in range(0, size, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            line.append((hi << 4) | lo)
        while len(line) % 4:
            line.append(0)
        xor += bytes(line)
        bits = bytearray((size + 7) // 8)
        for x in range(size):
            if row[x] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        while len(bits) % 4:
            bits.append(0)
        mask += bytes(bits)
    return header + palette + xor + mask


def main(path):
    images = [(16, image_bytes(16)), (32, image_bytes(32))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'vantor.ico')
