#!/usr/bin/env python3
"""Writes resources/HAND-M.CUR, the pointing-hand cursor shown over push buttons.

The file is a Windows cursor file: one 32x32 image, 32 bits per pixel with an
alpha channel and, for readers that ignore alpha, the classic AND mask. The hot
spot sits at the tip of the index finger.

    make-hand-cursor.py [OUTPUT]        write the cursor (default: resources/HAND-M.CUR)
    make-hand-cursor.py --check FILE    exit non-zero unless FILE is exactly what this writes
"""

import struct
import sys
from pathlib import Path

SIZE = 32

# '#' outline, 'o' fill, '.' transparent. Row 0 is the top of the picture.
HAND = """
......##..........
.....#oo#.........
.....#oo#.........
.....#oo#.........
.....#oo#.........
.....#oo###.......
.....#oo#oo###....
.....#oo#oo#oo##..
.##..#oo#oo#oo#o#.
#oo#.#oo#oo#oo#o#.
#ooo##oooooooooo#.
.#ooo#ooooooooooo#
..#ooooooooooooooo#
..#ooooooooooooooo#
...#oooooooooooooo#
...#ooooooooooooo#.
....#oooooooooooo#.
....#oooooooooooo#.
.....#oooooooooo#..
.....#oooooooooo#..
.....############..
""".strip().splitlines()

LEFT, TOP = 6, 1          # where the picture sits on the 32x32 canvas
HOT_SPOT = (LEFT + 6, TOP)  # the top of the index finger

OUTLINE = (0x00, 0x00, 0x00, 0xFF)  # B, G, R, A
FILL = (0xFF, 0xFF, 0xFF, 0xFF)
CLEAR = (0x00, 0x00, 0x00, 0x00)


def canvas():
    """The 32x32 picture, top row first, as BGRA tuples."""
    pixels = [[CLEAR] * SIZE for _ in range(SIZE)]
    for y, row in enumerate(HAND):
        for x, mark in enumerate(row):
            if mark == "#":
                pixels[TOP + y][LEFT + x] = OUTLINE
            elif mark == "o":
                pixels[TOP + y][LEFT + x] = FILL
    return pixels


def cursor_bytes():
    pixels = canvas()
    bottom_up = list(reversed(pixels))

    colour = b"".join(bytes(p) for row in bottom_up for p in row)

    mask = bytearray()
    for row in bottom_up:
        bits = 0
        for x, p in enumerate(row):
            if p[3] == 0:  # transparent pixels keep the screen: AND bit set
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)  # 32 pixels fill exactly one DWORD per row

    image_size = len(colour) + len(mask)
    header = struct.pack(
        "<IiiHHIIiiII",
        40,         # BITMAPINFOHEADER size
        SIZE,       # width
        SIZE * 2,   # height: colour image and mask together
        1,          # planes
        32,         # bits per pixel
        0,          # BI_RGB
        image_size,
        0, 0, 0, 0,
    )
    image = header + colour + bytes(mask)

    directory = struct.pack("<HHH", 0, 2, 1)  # reserved, type 2 = cursor, one image
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, HOT_SPOT[0], HOT_SPOT[1],
                        len(image), 6 + 16)
    return directory + entry + image


def check_picture():
    """The drawing must be rectangular enough to fit and have its hot spot on the outline."""
    assert all(len(row) <= SIZE - LEFT for row in HAND), "a row runs off the canvas"
    assert len(HAND) <= SIZE - TOP, "the hand is taller than the canvas"
    x, y = HOT_SPOT
    assert HAND[y - TOP][x - LEFT] == "#", "the hot spot is not on the finger tip"


def main(argv):
    check_picture()
    data = cursor_bytes()
    if len(argv) == 3 and argv[1] == "--check":
        actual = Path(argv[2]).read_bytes()
        if actual != data:
            print(f"{argv[2]}: differs from what {Path(argv[0]).name} writes", file=sys.stderr)
            return 1
        print(f"{argv[2]}: up to date ({len(data)} bytes, hot spot {HOT_SPOT})")
        return 0
    if len(argv) > 2:
        print(__doc__, file=sys.stderr)
        return 2
    root = Path(__file__).resolve().parents[2]
    output = Path(argv[1]) if len(argv) == 2 else root / "resources" / "HAND-M.CUR"
    output.write_bytes(data)
    print(f"wrote {output} ({len(data)} bytes, hot spot {HOT_SPOT})")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
