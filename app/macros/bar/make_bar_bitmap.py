#!/usr/bin/env python3
"""Makes the macro bar's button strip from pictures.txt: the 16x15 pictures
side by side, left to right in the order of the file, as one 24-bit .bmp with
magenta (ff00ff) where a picture is transparent.
Standard library only.
Usage: make_bar_bitmap.py [OUT.bmp]   (default: macro_bar.bmp beside this script)
       make_bar_bitmap.py --check EXISTING.bmp   (exit 1 if it differs)"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
WIDTH, HEIGHT = 16, 15
TRANSPARENT = (0xFF, 0x00, 0xFF)


def read_pictures(path):
    palette = {'.': TRANSPARENT}
    pictures = []
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
                colour = tuple(int(rgb[k:k + 2], 16) for k in (0, 2, 4))
                if colour == TRANSPARENT:
                    sys.exit('palette %s: magenta is the transparent colour' % ch)
                palette[ch] = colour
                i += 1
            i += 1
        elif words[0] == 'picture':
            rows = []
            while lines[i] != 'end':
                rows.append(lines[i])
                i += 1
            i += 1
            if len(rows) != HEIGHT or any(len(r) != WIDTH for r in rows):
                sys.exit('picture %s: it must be %d rows of %d characters' % (words[1], HEIGHT, WIDTH))
            unknown = set(''.join(rows)) - set(palette)
            if unknown:
                sys.exit('picture %s: colours not in the palette: %s' % (words[1], ''.join(sorted(unknown))))
            pictures.append(rows)
        else:
            sys.exit('unknown line: %s' % ' '.join(words))
    return palette, pictures


def bitmap(palette, pictures):
    width = WIDTH * len(pictures)
    stride = (width * 3 + 3) // 4 * 4
    pixels = b''
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        line = b''
        for rows in pictures:
            for ch in rows[y]:
                r, g, b = palette[ch]
                line += bytes((b, g, r))
        pixels += line + b'\0' * (stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, width, HEIGHT, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + pixels


def main():
    palette, pictures = read_pictures(os.path.join(HERE, 'pictures.txt'))
    data = bitmap(palette, pictures)
    if len(sys.argv) == 3 and sys.argv[1] == '--check':
        with open(sys.argv[2], 'rb') as f:
            if f.read() != data:
                sys.exit('%s is not what pictures.txt draws: run make_bar_bitmap.py' % sys.argv[2])
        return
    out = sys.argv[1] if len(sys.argv) == 2 else os.path.join(HERE, 'macro_bar.bmp')
    with open(out, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
