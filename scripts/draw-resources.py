#!/usr/bin/env python3
"""Draws pellora's icons and bitmaps into src/res/ (checked in; run again to reproduce).

Everything is rasterised here with 4x4 supersampling, no imaging library needed:
  pellora.ico   icon 128: the program
  tray.ico      icon 133: still tray icon and first animation frame
  tray2.ico     icon 134: second animation frame (the waves lit)
                (each icon at 16, 20, 24, 32, 40 and 48 pixels: 100 % to 300 % of the
                small icon size, so the system picks a sharp one at any DPI)
  close.bmp     bitmap 130: 15 x 15 grey round button with a white cross on magenta
  tree.bmp      bitmap 135: five 16 x 16 cells on black (the mask colour):
                0 round button, chevrons down  1 round button, chevrons up
                2 document with a globe        3 web page        4 information bubble
  close150.bmp, close200.bmp, tree150.bmp, tree200.bmp
                the same two bitmaps drawn at 150 % and 200 % (bitmaps 136 to 139)
"""
import math
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "res")
SS = 4  # supersampling per axis


class Canvas:
    """w x h units of drawing, rasterised at `scale` pixels per unit (1.5 for 150 %)."""

    def __init__(self, w, h, bg=(0, 0, 0, 0), scale=1.0):
        self.w, self.h = round(w * scale), round(h * scale)
        self.k = self.w / w
        self.px = [[list(bg) for _ in range(self.w)] for _ in range(self.h)]

    def shade(self, cover, color):
        """cover(x, y) -> bool on subpixel centres in drawing units; blends color where covered."""
        r, g, b, a = color
        k = self.k
        for y in range(self.h):
            for x in range(self.w):
                n = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if cover((x + (sx + 0.5) / SS) / k, (y + (sy + 0.5) / SS) / k):
                            n += 1
                if not n:
                    continue
                f = n / (SS * SS) * a / 255
                p = self.px[y][x]
                out_a = f + p[3] / 255 * (1 - f)
                for i, c in enumerate((r, g, b)):
                    base = p[i] * p[3] / 255 * (1 - f)
                    p[i] = round((c * f + base) / out_a) if out_a else 0
                p[3] = round(out_a * 255)

    def circle(self, cx, cy, rad, color):
        self.shade(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= rad * rad, color)

    def ring(self, cx, cy, r0, r1, color, a0=None, a1=None):
        def cover(x, y):
            d = math.hypot(x - cx, y - cy)
            if not r0 <= d <= r1:
                return False
            if a0 is None:
                return True
            ang = math.degrees(math.atan2(cy - y, x - cx)) % 360
            return a0 <= ang <= a1
        self.shade(cover, color)

    def rect(self, x0, y0, x1, y1, color, radius=0.0):
        def cover(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            if radius <= 0:
                return True
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
        self.shade(cover, color)

    def line(self, xa, ya, xb, yb, width, color):
        def cover(x, y):
            dx, dy = xb - xa, yb - ya
            t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / (dx * dx + dy * dy)))
            return math.hypot(x - (xa + t * dx), y - (ya + t * dy)) <= width / 2
        self.shade(cover, color)


ORANGE = (243, 122, 33, 255)
ORANGE_DARK = (200, 88, 16, 255)
WHITE = (255, 255, 255, 255)
SKY = (120, 200, 255, 255)


def feed_icon(size, lit=False):
    c = Canvas(size, size)
    s = size / 16
    c.rect(0.5 * s, 0.5 * s, 15.5 * s, 15.5 * s, ORANGE_DARK, radius=3 * s)
    c.rect(1.0 * s, 1.0 * s, 15.0 * s, 15.0 * s, ORANGE, radius=2.6 * s)
    wave = SKY if lit else WHITE
    ox, oy = 4.2 * s, 11.8 * s
    c.circle(ox, oy, 1.6 * s, WHITE)
    c.ring(ox, oy, 4.4 * s, 6.2 * s, wave, 0, 90)
    c.ring(ox, oy, 7.8 * s, 9.6 * s, wave if lit else WHITE, 0, 90)
    return c


def write_ico(path, canvases):
    images = []
    for c in canvases:
        w, h = c.w, c.h
        xor = bytearray()
        for y in reversed(range(h)):
            for x in range(w):
                r, g, b, a = c.px[y][x]
                xor += bytes((b, g, r, a))
        row = ((w + 31) // 32) * 4
        and_mask = bytearray()
        for y in reversed(range(h)):
            bits = bytearray(row)
            for x in range(w):
                if c.px[y][x][3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            and_mask += bits
        header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
        images.append((w, h, header + xor + and_mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def write_bmp(path, c, bg, hard_edges=False):
    """24-bit bitmap; transparent pixels are composited over bg (the mask colour).
    With hard_edges, a pixel is either fully the picture or fully bg: a colour-keyed
    bitmap must not blend its edges toward the key colour (that shows as a fringe)."""
    w, h = c.w, c.h
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in reversed(range(h)):
        line = bytearray()
        for x in range(w):
            r, g, b, a = c.px[y][x]
            f = a / 255
            if hard_edges:
                f = 1.0 if a >= 128 else 0.0
            px = [round(v * f + bgv * (1 - f)) for v, bgv in zip((r, g, b), bg)]
            if bg == (0, 0, 0) and a and px == [0, 0, 0]:
                px = [1, 1, 1]  # drawn black must not turn into the mask colour
            line += bytes((px[2], px[1], px[0]))
        data += line + bytes(row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def close_button(scale=1.0):
    c = Canvas(15, 15, scale=scale)
    c.circle(7.5, 7.5, 7.0, (110, 110, 110, 255))
    c.circle(7.5, 7.5, 6.0, (150, 150, 150, 255))
    c.line(4.6, 4.6, 10.4, 10.4, 1.8, WHITE)
    c.line(10.4, 4.6, 4.6, 10.4, 1.8, WHITE)
    return c


def tree_strip(scale=1.0):
    c = Canvas(80, 16, scale=scale)
    blue, blue_dark = (64, 132, 214, 255), (36, 88, 160, 255)

    def button(ox, up):
        c.circle(ox + 8, 8, 7.2, blue_dark)
        c.circle(ox + 8, 8, 6.2, blue)
        for dy in (-2.2, 1.6):
            y = 8 + dy
            if up:
                c.line(ox + 5, y + 1.6, ox + 8, y - 1.2, 1.5, WHITE)
                c.line(ox + 8, y - 1.2, ox + 11, y + 1.6, 1.5, WHITE)
            else:
                c.line(ox + 5, y - 0.6, ox + 8, y + 2.2, 1.5, WHITE)
                c.line(ox + 8, y + 2.2, ox + 11, y - 0.6, 1.5, WHITE)

    button(0, up=False)
    button(16, up=True)
    # 2: a document with a globe
    c.rect(32 + 2.5, 1.5, 32 + 11.5, 14.5, (120, 120, 120, 255))
    c.rect(32 + 3.3, 2.3, 32 + 10.7, 13.7, WHITE)
    for y in (4.5, 6.5):
        c.line(32 + 4.5, y, 32 + 9.5, y, 0.9, (150, 150, 150, 255))
    c.circle(32 + 10.5, 10.5, 4.3, (40, 120, 60, 255))
    c.circle(32 + 10.5, 10.5, 3.5, (90, 170, 230, 255))
    c.line(32 + 7.2, 10.5, 32 + 13.8, 10.5, 0.8, (40, 120, 60, 255))
    c.line(32 + 10.5, 7.2, 32 + 10.5, 13.8, 0.8, (40, 120, 60, 255))
    # 3: a web page
    c.rect(48 + 1.5, 2.0, 48 + 14.5, 14.0, (90, 110, 140, 255), radius=1.0)
    c.rect(48 + 2.3, 4.6, 48 + 13.7, 13.2, WHITE)
    c.rect(48 + 2.3, 2.8, 48 + 13.7, 4.2, (120, 170, 230, 255))
    c.rect(48 + 3.5, 6.0, 48 + 7.5, 9.5, (240, 160, 60, 255))
    for y in (6.6, 8.4, 10.2, 12.0):
        c.line(48 + 8.8 if y < 10 else 48 + 3.6, y, 48 + 12.4, y, 0.9, (140, 140, 140, 255))
    # 4: an information bubble
    c.circle(64 + 8, 7.2, 6.6, (60, 110, 200, 255))
    c.shade(lambda x, y: 64 + 4 <= x <= 64 + 8 and 11 <= y <= 15.2 - (x - (64 + 4)) * 0.9, (60, 110, 200, 255))
    c.circle(64 + 8, 4.0, 1.1, WHITE)
    c.rect(64 + 7.0, 6.0, 64 + 9.0, 11.0, WHITE)
    return c


def main():
    os.makedirs(OUT, exist_ok=True)
    sizes = (16, 20, 24, 32, 40, 48)
    write_ico(os.path.join(OUT, "pellora.ico"), [feed_icon(n) for n in sizes])
    write_ico(os.path.join(OUT, "tray.ico"), [feed_icon(n) for n in sizes])
    write_ico(os.path.join(OUT, "tray2.ico"), [feed_icon(n, lit=True) for n in sizes])
    for scale, suffix in ((1.0, ""), (1.5, "150"), (2.0, "200")):
        write_bmp(os.path.join(OUT, f"close{suffix}.bmp"), close_button(scale), (255, 0, 255), hard_edges=True)
        write_bmp(os.path.join(OUT, f"tree{suffix}.bmp"), tree_strip(scale), (0, 0, 0))


if __name__ == "__main__":
    main()
