#!/usr/bin/env python3
"""Makes the tray icons from pictures.txt: one .ico per picture, holding it
at 16x16 and doubled to 32x32, 32 bits per pixel with an AND mask.
Standard library only. Run from anywhere; writes beside this script."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def read_pictures(path):
    palette = {'.': None}
    icons = []
    lines = [l.rstrip('\n') for l in open(path, encoding='ascii')]
    i = 0
    while i < len(lines):
        words = lines[i].split()
        i += 1
        if not words or words[0].startswith('#'):
            continue
        if words[0] == 'palette':
            while lines[i] != 'end':
                ch, rgb = lines[i].split()
                palette[ch] = tuple(int(rgb[k:k + 2], 16) for k in (0, 2, 4))
                i += 1
            i += 1
        elif words[0] == 'icon':
            rows = []
            while lines[i] != 'end':
                rows.append(lines[i])
                i += 1
            i += 1
            if len(rows) != 16 or any(len(r) != 16 for r in rows):
                sys.exit('icon %s: the picture must be 16 rows of 16 characters' % words[1])
            icons.append((words[2], rows))
        else:
            sys.exit('unknown line: %s' % ' '.join(words))
    return palette, icons


def image(rows, palette, scale):
    size = 16 * scale
    pixels = []  # bottom-up rows of BGRA
    mask_rows = []
    for y in range(size - 1, -1, -1):
        row = rows[y // scale]
        line = b''
        bits = []
        for x in range(size):
            colour = palette[row[x // scale]]
            if colour is None:
                line += b'\0\0\0\0'
                bits.append(1)
            else:
                r, g, b = colour
                line += bytes((b, g, r, 255))
                bits.append(0)
        pixels.append(line)
        mask = bytearray((size + 31) // 32 * 4)
        for x, bit in enumerate(bits):
            if bit:
                mask[x // 8] |= 0x80 >> (x % 8)
        mask_rows.append(bytes(mask))
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b''.join(pixels) + b''.join(mask_rows)


def ico(rows, palette):
    images = [(16, image(rows, palette, 1)), (32, image(rows, palette, 2))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data in images)


def main():
    palette, icons = read_pictures(os.path.join(HERE, 'pictures.txt'))
    for name, rows in icons:
        with open(os.path.join(HERE, name), 'wb') as f:
            f.write(ico(rows, palette))


if __name__ == '__main__':
    main()
