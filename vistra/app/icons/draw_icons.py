#!/usr/bin/env python3
"""Draws the program's tool-bar icons as PNG files in this folder."""
import struct
import zlib
import os


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def put(self, x, y, rgba):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = rgba

    def fill(self, inside, rgba):
        for y in range(self.size):
            for x in range(self.size):
                if inside(x + 0.5, y + 0.5):
                    self.put(x, y, rgba)

    def circle(self, cx, cy, r, rgba):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, rgba)

    def ring(self, cx, cy, r, width, rgba):
        self.fill(lambda x, y: (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r, rgba)

    def rect(self, x0, y0, x1, y1, rgba):
        self.fill(lambda x, y: x0 <= x <= x1 and y0 <= y <= y1, rgba)

    def polygon(self, points, rgba):
        def inside(x, y):
            hit = False
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                    hit = not hit
            return hit
        self.fill(inside, rgba)

    def save(self, path):
        raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in self.px)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.size, self.size, 8, 6, 0, 0, 0)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
                    + chunk(b"IEND", b""))


def led(on):
    c = Canvas(16)
    if on:
        c.circle(8, 8, 7.5, (60, 220, 60, 90))        # glow
        c.circle(8, 8, 5.5, (20, 170, 20, 255))
        c.circle(8, 8, 4.5, (90, 255, 90, 255))
        c.circle(6.5, 6.5, 1.5, (220, 255, 220, 255))  # highlight
    else:
        c.circle(8, 8, 5.5, (60, 60, 60, 255))
        c.circle(8, 8, 4.5, (140, 140, 140, 255))
        c.circle(6.5, 6.5, 1.5, (200, 200, 200, 255))
    return c


def pause():
    c = Canvas(16)
    c.rect(3, 2, 6.5, 14, (40, 40, 120, 255))
    c.rect(9.5, 2, 13, 14, (40, 40, 120, 255))
    return c


def folder():
    c = Canvas(16)
    c.polygon([(1, 4), (6, 4), (7, 6), (15, 6), (15, 14), (1, 14)], (200, 160, 40, 255))
    c.polygon([(1, 8), (15, 8), (15, 14), (1, 14)], (240, 200, 80, 255))
    c.polygon([(8, 2), (12, 6), (9.5, 6), (9.5, 11), (6.5, 11), (6.5, 6), (4, 6)], (30, 120, 30, 255))
    return c


def floppy():
    c = Canvas(16)
    c.rect(1, 1, 15, 15, (40, 60, 140, 255))
    c.rect(4, 1, 12, 6, (220, 220, 230, 255))
    c.rect(9, 2, 11, 5, (40, 60, 140, 255))
    c.rect(3, 9, 13, 15, (250, 250, 250, 255))
    c.rect(4, 11, 12, 11.9, (150, 150, 150, 255))
    c.rect(4, 13, 12, 13.9, (150, 150, 150, 255))
    return c


def brush():
    c = Canvas(32)
    c.polygon([(26, 2), (30, 6), (15, 21), (11, 17)], (150, 90, 40, 255))      # handle
    c.polygon([(11, 17), (15, 21), (13, 23), (9, 19)], (190, 190, 200, 255))    # ferrule
    c.polygon([(9, 19), (13, 23), (8, 29), (2, 30), (3, 24)], (200, 30, 30, 255))  # bristles with paint
    c.circle(5, 27, 1.5, (255, 90, 90, 255))
    return c


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, canvas in [("liveOff.png", led(False)), ("liveOn.png", led(True)), ("pause.png", pause()),
                         ("load.png", folder()), ("save.png", floppy()), ("paint.png", brush())]:
        canvas.save(os.path.join(here, name))


if __name__ == "__main__":
    main()
