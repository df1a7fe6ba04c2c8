#!/usr/bin/env python3
"""Writes book.ico: the installer's icon, a closed blue book with a yellow
question mark, as two 16-colour (4 bits per pixel) images of 32x32 and 16x16.

The pictures are drawn below as character grids so that a change to the icon
is a reviewable text change. Run `python3 make_icon.py book.ico` to regenerate
the committed icon; the output depends on nothing but this file.
"""
import struct
import sys

# The standard 16-colour palette, in the order every 4-bpp icon uses.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0x80, 0x80, 0x80),
    (0xC0, 0xC0, 0xC0), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# Grid characters: '.' transparent, 'k' black, 'n' navy, 'b' blue, 'y' yellow,
# 'w' white, 'g' light grey, 'd' dark grey.
INDEX = {'k': 0, 'n': 4, 'b': 12, 'y': 11, 'w': 15, 'g': 8, 'd': 7}

LARGE = [
    "................................",
    "................................",
    "....kkkkkkkkkkkkkkkkkkkkkkk.....",
    "...knnnbbbbbbbbbbbbbbbbbbbbk....",
    "...knnnbbbbbbbbbbbbbbbbbbbbkk...",
    "...knnnbbbbbbbbbbbbbbbbbbbbkwk..",
    "...knnnbbbbbbbyyyyyybbbbbbbkwk..",
    "...knnnbbbbbbyyyyyyyybbbbbbkgk..",
    "...knnnbbbbbyyybbbbyyybbbbbkwk..",
    "...knnnbbbbbyyybbbbyyybbbbbkwk..",
    "...knnnbbbbbbbbbbbbyyybbbbbkgk..",
    "...knnnbbbbbbbbbbbyyyybbbbbkwk..",
    "...knnnbbbbbbbbbbyyyybbbbbbkwk..",
    "...knnnbbbbbbbbbyyyybbbbbbbkgk..",
    "...knnnbbbbbbbbyyyybbbbbbbbkwk..",
    "...knnnbbbbbbbbyyybbbbbbbbbkwk..",
    "...knnnbbbbbbbbyyybbbbbbbbbkgk..",
    "...knnnbbbbbbbbbbbbbbbbbbbbkwk..",
    "...knnnbbbbbbbbyyybbbbbbbbbkwk..",
    "...knnnbbbbbbbbyyybbbbbbbbbkgk..",
    "...knnnbbbbbbbbbbbbbbbbbbbbkwk..",
    "...knnnbbbbbbbbbbbbbbbbbbbbkwk..",
    "...knnnbbbbbbbbbbbbbbbbbbbbkgk..",
    "...knnnbbbbbbbbbbbbbbbbbbbbkwk..",
    "...knnnbbbbbbbbbbbbbbbbbbbbkwk..",
    "...knnnkkkkkkkkkkkkkkkkkkkkkgk..",
    "...knnkwwwwwwgwwwwwwgwwwwwwwwk..",
    "...knkwgwwwwwwwgwwwwwwgwwwwwdk..",
    "...kkddddddddddddddddddddddddk..",
    "....kkkkkkkkkkkkkkkkkkkkkkkkk...",
    "................................",
    "................................",
]

SMALL = [
    "................",
    "..kkkkkkkkkkk...",
    ".knnbbbbbbbbbk..",
    ".knnbbbyyybbbkk.",
    ".knnbbyybyybbkwk",
    ".knnbbbbbyybbkgk",
    ".knnbbbbyybbbkwk",
    ".knnbbbyybbbbkgk",
    ".knnbbbbbbbbbkwk",
    ".knnbbbyybbbbkgk",
    ".knnbbbbbbbbbkwk",
    ".knnkkkkkkkkkkgk",
    ".knkwwwgwwwwgwwk",
    ".kkddddddddddddk",
    "..kkkkkkkkkkkkk.",
    "................",
]


def rowBytes(bits_per_row):
    """Bytes in one bitmap row: rows are padded to 32-bit boundaries."""
    return (bits_per_row + 31) // 32 * 4


def encodeImage(grid):
    size = len(grid)
    assert all(len(row) == size for row in grid), "grid must be square"
    colour_row = rowBytes(size * 4)
    mask_row = rowBytes(size)
    colours = bytearray()
    mask = bytearray()
    for row in reversed(grid):  # bitmaps are stored bottom-up
        nibbles = [INDEX.get(c, 0) for c in row]
        packed = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        colours += packed + bytes(colour_row - len(packed))
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c == '.' else 0)
        packed = bits.to_bytes(size // 8, 'big')
        mask += packed + bytes(mask_row - len(packed))
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return size, header + palette + bytes(colours) + bytes(mask)


def main():
    images = [encodeImage(LARGE), encodeImage(SMALL)]
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    data = b''
    for size, image in images:
        directory += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset + len(data))
        data += image
    with open(sys.argv[1], 'wb') as out:
        out.write(directory + data)


if __name__ == '__main__':
    main()
