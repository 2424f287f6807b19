#!/usr/bin/env python3
"""Writes test-banner.bmp: a 720 x 72 24-bit BMP banner of 75% colour bars over a caption in a
blocky 5 x 7 font, for trying the loader without content of your own. Standard library only."""
import struct
import sys

WIDTH, HEIGHT = 720, 72

# 75% bars: white, yellow, cyan, green, magenta, red, blue (red, green, blue).
BARS = [(191, 191, 191), (191, 191, 0), (0, 191, 191), (0, 191, 0), (191, 0, 191), (191, 0, 0),
        (0, 0, 191)]
BACKGROUND = (24, 24, 40)
INK = (235, 235, 235)

FONT = {  # 5 x 7, one string of five bits per row
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    " ": ["00000"] * 7,
}
CAPTION = "QVX5120 TEST BANNER"
SCALE = 4


def pixel(x, y):
    if y < 36:
        return BARS[x * len(BARS) // WIDTH]
    text_width = len(CAPTION) * 6 * SCALE - SCALE
    left, top = (WIDTH - text_width) // 2, 36 + (36 - 7 * SCALE) // 2
    cx, cy = (x - left) // SCALE, (y - top) // SCALE
    if 0 <= cy < 7 and 0 <= cx < len(CAPTION) * 6 and x >= left and cx % 6 < 5:
        if FONT[CAPTION[cx // 6]][cy][cx % 6] == "1":
            return INK
    return BACKGROUND


def main(path):
    rows = []
    for y in reversed(range(HEIGHT)):  # BMP rows are stored bottom-up
        rows.append(b"".join(bytes((b, g, r)) for r, g, b in (pixel(x, y) for x in range(WIDTH))))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "test-banner.bmp")
