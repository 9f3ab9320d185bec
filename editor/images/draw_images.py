#!/usr/bin/env python3
"""Draws the editor's eight XPM images and the installed PNG icons.

Run from anywhere: python3 editor/images/draw_images.py
Shapes are rasterised with 4x4 supersampling; a pixel at least half covered
is opaque, anything less is the transparent colour "None".
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 4  # supersampling per axis


# --- shapes: functions (x, y) -> bool in pixel coordinates ------------------

def rect(x0, y0, x1, y1, r=0.0):
    def inside(x, y):
        if r <= 0:
            return x0 <= x <= x1 and y0 <= y <= y1
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1
    return inside


def ellipse(cx, cy, rx, ry, angle=0.0):
    ca, sa = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    def inside(x, y):
        dx, dy = x - cx, y - cy
        u = dx * ca + dy * sa
        v = -dx * sa + dy * ca
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0
    return inside


def ring(cx, cy, r_out, r_in):
    def inside(x, y):
        d = (x - cx) ** 2 + (y - cy) ** 2
        return r_in * r_in <= d <= r_out * r_out
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            x1, y1 = points[i]
            x2, y2 = points[(i + 1) % n]
            if (y1 > y) != (y2 > y):
                xc = x1 + (y - y1) * (x2 - x1) / (y2 - y1)
                if x < xc:
                    hit = not hit
        return hit
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def flag_shape(x0, y0, scale):
    """The quaver's flag: a tapering curve hanging from the stem's top."""
    outer, inner = [], []
    for i in range(13):
        t = i / 12.0
        # a curve that swings right and down, then back in
        px = x0 + scale * (0.55 * math.sin(t * math.pi * 0.85) + 0.05 * t)
        py = y0 + scale * (1.05 * t)
        w = scale * 0.32 * (1.0 - t) + scale * 0.04
        outer.append((px + 0.0, py))
        inner.append((px - w * 0.15, py + w))
    return polygon(outer + inner[::-1])


# --- colours ----------------------------------------------------------------

def solid(rgb):
    return lambda x, y: rgb


def vgrad(y0, c0, y1, c1):
    def colour(x, y):
        t = min(max((y - y0) / float(y1 - y0), 0.0), 1.0)
        return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(3))
    return colour


def dgrad(p0, c0, p1, c1):
    vx, vy = p1[0] - p0[0], p1[1] - p0[1]
    ln = vx * vx + vy * vy
    def colour(x, y):
        t = ((x - p0[0]) * vx + (y - p0[1]) * vy) / ln
        t = min(max(t, 0.0), 1.0)
        return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(3))
    return colour


# --- rendering --------------------------------------------------------------

def render(size, layers):
    """layers: list of (shape, colour function). Returns rows of (r,g,b) or None."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0]
            cover = 0
            for sy in range(SS):
                for sx in range(SS):
                    x = px + (sx + 0.5) / SS
                    y = py + (sy + 0.5) / SS
                    col = None
                    for shape, colour in layers:
                        if shape(x, y):
                            col = colour(x, y)
                    if col is not None:
                        cover += 1
                        for i in range(3):
                            acc[i] += col[i]
            if cover * 2 >= SS * SS:
                row.append(tuple(acc[i] / cover for i in range(3)))
            else:
                row.append(None)
        rows.append(row)
    return rows


def quantise(rows, limit):
    step = 4
    while True:
        def q(c):
            return tuple(min(255, int(round(v / step)) * step) for v in c)
        out = [[None if c is None else q(c) for c in row] for row in rows]
        colours = {c for row in out for c in row if c is not None}
        if len(colours) + 1 <= limit:
            return out, sorted(colours)
        step += 4


CHARS = "".join(chr(c) for c in range(35, 127) if chr(c) not in '"\\') + "!"


def write_xpm(name, rows, cpp):
    limit = len(CHARS) - 1 if cpp == 1 else (len(CHARS) - 1) ** 2
    out, colours = quantise(rows, limit)
    codes = {}
    def code(i):
        if cpp == 1:
            return CHARS[i]
        return CHARS[i // (len(CHARS) - 1)] + CHARS[i % (len(CHARS) - 1)]
    none_code = " " * cpp
    for i, c in enumerate(colours):
        codes[c] = code(i)
    size = len(rows)
    lines = ['"%d %d %d %d",' % (size, size, len(colours) + 1, cpp),
             '"%s c None",' % none_code]
    for c in colours:
        lines.append('"%s c #%02X%02X%02X",' % ((codes[c],) + tuple(int(v) for v in c)))
    for row in out:
        lines.append('"' + "".join(none_code if c is None else codes[c] for c in row) + '",')
    lines[-1] = lines[-1].rstrip(",")
    text = "/* XPM */\nstatic const char *const %s_xpm[] = {\n%s\n};\n" % (name, "\n".join(lines))
    with open(os.path.join(HERE, name + ".xpm"), "w") as f:
        f.write(text)


def write_png(path, rows):
    size = len(rows)
    raw = b""
    for row in rows:
        raw += b"\0"
        for c in row:
            raw += bytes((0, 0, 0, 0)) if c is None else bytes((int(c[0]), int(c[1]), int(c[2]), 255))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# --- motifs -----------------------------------------------------------------

def quaver(ox, oy, s, body, dark):
    """An eighth note in a box of s x s pixels at (ox, oy)."""
    head = ellipse(ox + 0.36 * s, oy + 0.80 * s, 0.22 * s, 0.15 * s, -25)
    stem = rect(ox + 0.50 * s, oy + 0.10 * s, ox + 0.58 * s, oy + 0.78 * s)
    flag = flag_shape(ox + 0.56 * s, oy + 0.10 * s, 0.45 * s)
    shape = union(head, stem, flag)
    shine = ellipse(ox + 0.30 * s, oy + 0.76 * s, 0.07 * s, 0.04 * s, -25)
    outline = union(*[(lambda dx, dy: (lambda x, y: shape(x + dx, y + dy)))(dx, dy)
                      for dx, dy in ((0.6, 0), (-0.6, 0), (0, 0.6), (0, -0.6))])
    return [(outline, solid(dark)),
            (shape, dgrad((ox, oy), body[0], (ox + s, oy + s), body[1])),
            (shine, solid((255, 255, 255)))]


ORANGE = ((255, 190, 60), (225, 100, 10))
ORANGE_DARK = (140, 60, 0)
BLUE = ((80, 140, 240), (20, 50, 170))
BLUE_DARK = (10, 30, 110)


def open_icon():
    back = polygon([(3, 10), (17, 10), (21, 14), (44, 14), (44, 40), (3, 40)])
    front = polygon([(9, 20), (47, 20), (41, 42), (2, 42)])
    layers = [
        (back, vgrad(10, (230, 170, 30), 40, (180, 120, 10))),
        (rect(6, 16, 41, 30), solid((250, 250, 245))),
        (front, vgrad(20, (255, 225, 90), 42, (235, 170, 20))),
        (minus(front, polygon([(10, 21), (46, 21), (40.5, 41), (3.5, 41)])), solid((170, 110, 0))),
    ]
    layers += quaver(17, 13, 26, BLUE, BLUE_DARK)
    return layers


def floppy():
    body = rect(4, 4, 40, 40, 3)
    return [
        (body, vgrad(4, (90, 110, 150), 40, (40, 55, 90))),
        (rect(12, 4, 32, 16, 1), vgrad(4, (220, 225, 230), 16, (150, 160, 170))),
        (rect(25, 6, 29, 14), solid((60, 70, 90))),
        (rect(9, 22, 35, 40, 1.5), solid((245, 245, 240))),
        (rect(12, 26, 32, 27), solid((170, 180, 200))),
        (rect(12, 30, 32, 31), solid((170, 180, 200))),
        (rect(12, 34, 26, 35), solid((170, 180, 200))),
    ]


def save_icon():
    layers = floppy()
    arrow = union(rect(34, 18, 41, 32), polygon([(29, 31), (46, 31), (37.5, 44)]))
    arrow_out = union(rect(33, 17, 42, 32.5), polygon([(27, 30), (48, 30), (37.5, 46)]))
    layers += [(arrow_out, solid((20, 90, 20))),
               (arrow, vgrad(18, (120, 220, 90), 44, (30, 150, 40)))]
    layers += quaver(8, 17, 22, BLUE, BLUE_DARK)
    return layers


def sheet():
    page = polygon([(8, 3), (31, 3), (40, 12), (40, 45), (8, 45)])
    page_in = polygon([(9, 4), (30.5, 4), (39, 12.5), (39, 44), (9, 44)])
    fold = polygon([(31, 3), (31, 12), (40, 12)])
    layers = [(page, solid((120, 120, 130))),
              (page_in, vgrad(4, (255, 255, 255), 44, (225, 228, 235))),
              (fold, solid((200, 200, 210)))]
    for y in (16, 20, 24, 28):
        layers.append((rect(13, y, 35, y + 1), solid((150, 165, 200))))
    return layers


def badge(arrow_right):
    cx, cy, r = 33, 34, 12
    if arrow_right:
        arrow = polygon([(25, 31.5), (32, 31.5), (32, 27), (40.5, 34), (32, 41), (32, 36.5), (25, 36.5)])
    else:
        arrow = polygon([(41, 31.5), (34, 31.5), (34, 27), (25.5, 34), (34, 41), (34, 36.5), (41, 36.5)])
    return [(ellipse(cx, cy, r + 1, r + 1), solid((20, 100, 30))),
            (ellipse(cx, cy, r, r), dgrad((cx - r, cy - r), (120, 220, 100), (cx + r, cy + r), (20, 130, 40))),
            (ellipse(cx - 3, cy - 6, 6, 3), solid((170, 235, 160))),
            (arrow, solid((255, 255, 255)))]


def play_icon():
    tri = polygon([(3, 1.5), (14.5, 8), (3, 14.5)])
    tri_in = polygon([(4, 3.2), (12.7, 8), (4, 12.8)])
    return [(tri, solid(BLUE_DARK)), (tri_in, vgrad(2, (110, 170, 250), 14, (30, 70, 200)))]


def pause_icon():
    bars = union(rect(3, 2, 6.5, 14), rect(9.5, 2, 13, 14))
    inner = union(rect(4, 3, 5.5, 13), rect(10.5, 3, 12, 13))
    return [(bars, solid(BLUE_DARK)), (inner, solid((70, 130, 235)))]


def main():
    images = [
        ("open", 48, 2, open_icon()),
        ("save", 48, 2, save_icon()),
        ("import", 48, 2, sheet() + badge(False)),
        ("export", 48, 2, sheet() + badge(True)),
        ("play", 16, 1, play_icon()),
        ("pause", 16, 1, pause_icon()),
        ("lyrasil", 32, 1, quaver(1, 0, 31, ORANGE, ORANGE_DARK)),
        ("about", 48, 2, quaver(2, 1, 45, ORANGE, ORANGE_DARK)),
    ]
    for name, size, cpp, layers in images:
        rows = render(size, layers)
        write_xpm(name, rows, cpp)
        if name == "lyrasil":
            write_png(os.path.join(HERE, "lyrasil-32.png"), rows)
        if name == "about":
            write_png(os.path.join(HERE, "lyrasil-48.png"), rows)


if __name__ == "__main__":
    main()
