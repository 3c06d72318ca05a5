#!/usr/bin/env python3
"""Draws the dialog's own pictures and writes them as BMP files:

  dialog_texture.bmp  bitmap 7012: a 64 x 64 grey woven texture, 8 bits per
                      pixel with a grey table, centred on level 128 so that
                      the dialog's tint (colour - 128 added) sets its colour.
  emblem.bmp          data 9001: 16 frames of 48 x 48, 32 bits with alpha,
                      stacked top to bottom: a blue disc with a turning,
                      pulsing six-armed spark.

Deterministic: run it again and the bytes are the same.
"""
import math
import struct
import sys
from pathlib import Path


def bmp_file(width, height, bits, table, rows_top_down):
    """A BMP file (file header, 40-byte header, table, bottom-up rows)."""
    stride = (width * bits + 31) // 32 * 4
    pixels = bytearray()
    for row in reversed(rows_top_down):
        pixels += row + bytes(stride - len(row))
    table_bytes = bytes(table)
    offset = 14 + 40 + len(table_bytes)
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, len(pixels), 0, 0,
                         len(table_bytes) // 4, len(table_bytes) // 4)
    file_header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return file_header + header + table_bytes + pixels


class Noise:
    """A small linear congruential generator, so the texture never changes."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x7FFFFFFF


def texture():
    size = 64
    noise = Noise(7012)
    grain = [[noise.next() for _ in range(size)] for _ in range(size)]
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            # Threads over and under: horizontal in one checker cell, vertical in the other.
            cell = ((x // 8) + (y // 8)) % 2
            along = (y % 8) if cell == 0 else (x % 8)
            thread = math.sin(along / 8 * math.pi)
            fibre = math.sin((x if cell == 0 else y) * 0.9 + (y if cell == 0 else x) * 0.15)
            level = 128 + 7 * (thread - 0.64) + 2 * fibre + 6 * (grain[y][x] - 0.5)
            row.append(max(0, min(255, int(round(level)))))
        rows.append(bytes(row))
    table = []
    for i in range(256):
        table += [i, i, i, 0]
    return bmp_file(size, size, 8, table, rows)


def emblem():
    size = 48
    frames = 16
    samples = 4
    rows = []
    for f in range(frames):
        turn = f / frames * math.pi / 3  # a sixth of a turn per loop: the arms meet again
        pulse = 0.5 + 0.5 * math.cos(f / frames * 2 * math.pi)
        for y in range(size):
            row = bytearray()
            for x in range(size):
                r_sum = g_sum = b_sum = a_sum = 0.0
                for sy in range(samples):
                    for sx in range(samples):
                        px = (x + (sx + 0.5) / samples) - size / 2
                        py = (y + (sy + 0.5) / samples) - size / 2
                        d = math.hypot(px, py)
                        if d > size / 2 - 1:
                            continue
                        # Disc: deep blue at the rim to lighter blue in the middle.
                        t = d / (size / 2 - 1)
                        r = 20 + 40 * (1 - t)
                        g = 50 + 90 * (1 - t)
                        b = 120 + 110 * (1 - t)
                        # Rim line.
                        if d > size / 2 - 3:
                            r, g, b = 200, 220, 255
                        # Spark: six arms, thin and tapering, turning with the frame.
                        angle = math.atan2(py, px) - turn
                        arm = abs(math.sin(3 * angle))
                        reach = (size / 2 - 6) * (0.75 + 0.25 * pulse)
                        width = 1.6 * (1 - d / reach) if d < reach else 0
                        light = 0.0
                        if width > 0 and arm * d < width:
                            light = 1.0
                        glow = max(0.0, 1 - d / (6 + 4 * pulse))
                        light = max(light, glow)
                        r = r + (255 - r) * light
                        g = g + (250 - g) * light
                        b = b + (235 - b) * light
                        r_sum += r
                        g_sum += g
                        b_sum += b
                        a_sum += 1
                n = samples * samples
                if a_sum == 0:
                    row += bytes([0, 0, 0, 0])
                    continue
                alpha = a_sum / n
                # Straight (not premultiplied) colour with its coverage as alpha.
                row += bytes([int(b_sum / a_sum), int(g_sum / a_sum), int(r_sum / a_sum), int(round(alpha * 255))])
            rows.append(bytes(row))
    return bmp_file(size, size * frames, 32, [], rows)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / 'bitmaps'
    (out / 'dialog_texture.bmp').write_bytes(texture())
    (out / 'emblem.bmp').write_bytes(emblem())


if __name__ == '__main__':
    main()
