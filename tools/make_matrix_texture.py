#!/usr/bin/env python3
"""Makes the Matrix frame texture (bitmap 7151): a 256 x 256, 24-bit grey,
softly clouded picture with values from 23 to 195 that tiles seamlessly,
summed from five octaves of smoothed value noise on wrapping lattices.

    tools/make_matrix_texture.py resources/bitmaps/matrix_texture.bmp
"""
import random
import struct
import sys

SIZE = 256
LOW, HIGH = 23, 195


def octave(rng, cells):
    lattice = [[rng.random() for _ in range(cells)] for _ in range(cells)]
    step = SIZE / cells

    def smooth(t):
        return t * t * (3 - 2 * t)

    field = []
    for y in range(SIZE):
        gy, fy = divmod(y / step, 1)
        y0, y1 = int(gy) % cells, (int(gy) + 1) % cells
        sy = smooth(fy)
        row = []
        for x in range(SIZE):
            gx, fx = divmod(x / step, 1)
            x0, x1 = int(gx) % cells, (int(gx) + 1) % cells
            sx = smooth(fx)
            top = lattice[y0][x0] + (lattice[y0][x1] - lattice[y0][x0]) * sx
            bottom = lattice[y1][x0] + (lattice[y1][x1] - lattice[y1][x0]) * sx
            row.append(top + (bottom - top) * sy)
        field.append(row)
    return field


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "matrix_texture.bmp"
    rng = random.Random(7151)
    total = [[0.0] * SIZE for _ in range(SIZE)]
    amplitude = 1.0
    for cells in (4, 8, 16, 32, 64):
        field = octave(rng, cells)
        for y in range(SIZE):
            for x in range(SIZE):
                total[y][x] += amplitude * field[y][x]
        amplitude *= 0.55
    low = min(min(r) for r in total)
    high = max(max(r) for r in total)
    rows = []
    for y in reversed(range(SIZE)):  # bottom-up
        row = bytearray()
        for x in range(SIZE):
            v = round(LOW + (total[y][x] - low) * (HIGH - LOW) / (high - low))
            row += bytes((v, v, v))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + pixels)


if __name__ == "__main__":
    main()
