#!/usr/bin/env python3
"""Writes the file dialogs' small icon, folder_menu.ico, from the pixel art below.

A yellow folder with a blue arrow turning back: the folders used before.
Usage: make_folder_icon.py OUT.ico   (or --check EXISTING.ico: exit 1 if it differs).
Only the standard library: the icon is a 16x16 32-bit image with its mask.
"""
import struct
import sys

PALETTE = {
    '.': None,                   # transparent
    'k': (0x40, 0x30, 0x10),     # outline
    'y': (0xF8, 0xD0, 0x48),     # folder
    'o': (0xE0, 0xA8, 0x20),     # folder shade and tab
    'b': (0x20, 0x60, 0xD0),     # arrow
}

PIXELS = [
    "................",
    "................",
    ".kkkkk..........",
    "koooook.........",
    "kooooookkkkkkkk.",
    "kyyyyyyyyyyyyyyk",
    "kyyyyyyyyyyyyyyk",
    "kyyyyybbbbyyyyyk",
    "kyyyybyyyybyyyyk",
    "kyybbbbyyyybyyyk",
    "kyyybbyyyyybyyyk",
    "kyyyybyyyybyyyyk",
    "kyyyyyyybbyyyyyk",
    "kooooooooooooook",
    ".kkkkkkkkkkkkkk.",
    "................",
]


def icon_bytes():
    size = len(PIXELS)
    assert all(len(row) == size for row in PIXELS)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(PIXELS):  # bottom-up, as in a bitmap
        bits = 0
        for x, ch in enumerate(row):
            colour = PALETTE[ch]
            if colour is None:
                xor += bytes((0, 0, 0, 0))
                bits |= 0x80000000 >> x
            else:
                r, g, b = colour
                xor += bytes((b, g, r, 0xFF))
        mask += struct.pack('>I', bits)[: (size + 31) // 32 * 4]
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), 22)
    return directory + image


def main(argv):
    data = icon_bytes()
    if len(argv) == 3 and argv[1] == '--check':
        with open(argv[2], 'rb') as f:
            same = f.read() == data
        if not same:
            print(f"{argv[2]} differs from what {argv[0]} draws: run it again", file=sys.stderr)
        return 0 if same else 1
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], 'wb') as f:
        f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
