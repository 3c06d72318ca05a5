#!/usr/bin/env python3
"""Draws the direction pads' glyph strips (RCDATA 7105 and 7106): 32-bit BMP
files with alpha, one 24 x 24 arrow per cell, in cell order. The arrows'
edges are smoothed by 4 x 4 supersampling into the alpha channel.

    tools/make_pad_glyphs.py resources/bitmaps
"""
import struct
import sys

SIDE = 24
INK = (32, 32, 96)  # red, green, blue


def inside_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


# An arrow pointing up in a 24 x 24 cell: a head and a shaft, inside the
# 20 x 20 square that the pad shows.
UP_ARROW = [(12, 3.5), (20, 12), (15, 12), (15, 20.5), (9, 20.5), (9, 12), (4, 12)]


def turned(points, quarter_turns):
    result = []
    for x, y in points:
        dx, dy = x - 12, y - 12
        for _ in range(quarter_turns):
            dx, dy = -dy, dx  # clockwise on a y-down grid
        result.append((12 + dx, 12 + dy))
    return result


def coverage(points):
    cells = [[0] * SIDE for _ in range(SIDE)]
    for y in range(SIDE):
        for x in range(SIDE):
            hits = sum(inside_polygon(x + (i + 0.5) / 4, y + (j + 0.5) / 4, points)
                       for i in range(4) for j in range(4))
            cells[y][x] = round(hits * 255 / 16)
    return cells


def write_strip(path, arrows):
    width = SIDE * len(arrows)
    covers = [coverage(a) for a in arrows]
    rows = []
    for y in reversed(range(SIDE)):  # bottom-up
        row = bytearray()
        for cover in covers:
            for x in range(SIDE):
                a = cover[y][x]
                row += bytes((INK[2], INK[1], INK[0], a))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, SIDE, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    up, right, down, left = (turned(UP_ARROW, q) for q in range(4))
    write_strip(f"{folder}/pad_glyphs_four_way.bmp", [up, right, left, down])
    write_strip(f"{folder}/pad_glyphs_two_way.bmp", [left, right])


if __name__ == "__main__":
    main()
