#!/usr/bin/env python3
"""Draws the control window's twelve tool icons and writes them as XPM data in
FLTK's compact colour-map form (negative colour count, one string of 4-byte
entries char,r,g,b, the space entry first and transparent).

Usage: scripts/make-tool-icons.py [ui/tool_icons_xpm.h] [preview-dir]
The preview directory, when given, receives each icon as an 8x PPM.
"""
import math
import random
import sys

SS = 4  # subsamples per pixel side


class Canvas:
    def __init__(self, size):
        self.n = size
        self.px = [[None] * (size * SS) for _ in range(size * SS)]

    def fill(self, inside, paint):
        """Paints every subsample whose centre satisfies inside(x, y)."""
        for j in range(self.n * SS):
            y = (j + 0.5) / SS
            row = self.px[j]
            for i in range(self.n * SS):
                x = (i + 0.5) / SS
                if inside(x, y):
                    row[i] = paint(x, y) if callable(paint) else paint

    def pixels(self):
        """Box-filters the subsamples: a pixel is opaque when at least 40% of it
        is covered, coloured by the average of its covered subsamples."""
        out = []
        for py in range(self.n):
            row = []
            for px in range(self.n):
                acc = [0, 0, 0]
                count = 0
                for j in range(py * SS, py * SS + SS):
                    for i in range(px * SS, px * SS + SS):
                        c = self.px[j][i]
                        if c is not None:
                            count += 1
                            for k in range(3):
                                acc[k] += c[k]
                if count >= 0.4 * SS * SS:
                    row.append(tuple(int(round(a / count)) for a in acc))
                else:
                    row.append(None)
            out.append(row)
        return out


# --- shapes (functions of a point) and paints -----------------------------

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r0, r1):
    return lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1


def polygon(pts):
    def inside(x, y):
        c = False
        n = len(pts)
        for k in range(n):
            x0, y0 = pts[k]
            x1, y1 = pts[(k + 1) % n]
            if (y0 > y) != (y1 > y) and x < (x1 - x0) * (y - y0) / (y1 - y0) + x0:
                c = not c
        return c
    return inside


def seg_dist(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def stroke(pts, width):
    """A polyline with round joins and caps."""
    def inside(x, y):
        return any(seg_dist(x, y, pts[k], pts[k + 1]) <= width / 2 for k in range(len(pts) - 1))
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def lerp(c0, c1, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1))


def vgrad(c0, c1, y0, y1):
    return lambda x, y: lerp(c0, c1, (y - y0) / (y1 - y0))


def dgrad(c0, c1, n):
    return lambda x, y: lerp(c0, c1, (x + y) / (2 * n))


def radial(c0, c1, cx, cy, r):
    return lambda x, y: lerp(c0, c1, math.hypot(x - cx, y - cy) / r)


def textured(paint, amount, seed):
    """Adds a fixed per-pixel grain, as on wood, paper or glass."""
    rnd = random.Random(seed)
    cache = {}

    def p(x, y):
        key = (int(x), int(y))
        if key not in cache:
            cache[key] = rnd.uniform(-amount, amount)
        base = paint(x, y) if callable(paint) else paint
        return tuple(max(0, min(255, int(round(c + cache[key])))) for c in base)
    return p


def arrow(tail, tip, width, head):
    """A straight arrow: shaft from tail to tip and a triangular head at tip."""
    (tx, ty), (hx, hy) = tail, tip
    length = math.hypot(hx - tx, hy - ty)
    ux, uy = (hx - tx) / length, (hy - ty) / length
    bx, by = hx - ux * head, hy - uy * head
    nx, ny = -uy, ux
    tri = polygon([(hx + ux * 0.3, hy + uy * 0.3), (bx + nx * head * 0.75, by + ny * head * 0.75),
                   (bx - nx * head * 0.75, by - ny * head * 0.75)])
    return union(stroke([(tx, ty), (bx + ux * 0.5, by + uy * 0.5)], width), tri)


# --- the twelve pictures ----------------------------------------------------

def fix_draw():
    c = Canvas(24)
    c.fill(circle(12, 12, 11.6), (150, 110, 10))
    c.fill(circle(12, 12, 10.6), radial((255, 250, 190), (235, 170, 0), 9, 8, 14))
    c.fill(ring(12, 12, 9.2, 9.8), (200, 140, 0))
    house = union(polygon([(12, 4.2), (19.6, 11.4), (17.8, 11.4), (17.8, 18.6), (6.2, 18.6),
                           (6.2, 11.4), (4.4, 11.4)]),
                  rect(15.2, 5.6, 17, 9.5))
    door = rect(10.6, 13.6, 13.4, 18.6)
    window_ = rect(14.4, 12.4, 16.2, 14.4)
    c.fill(house, vgrad((40, 40, 40), (0, 0, 0), 4, 19))
    c.fill(union(door, window_), radial((255, 240, 150), (230, 170, 20), 12, 14, 6))
    return c


def paint_plain_brush():
    c = Canvas(24)
    # The flat tray, seen slightly from above.
    c.fill(polygon([(2, 17), (19, 17), (22, 21.5), (5, 21.5)]), (120, 120, 120))
    c.fill(polygon([(3, 17.6), (18.6, 17.6), (20.8, 20.8), (5.4, 20.8)]),
           dgrad((255, 255, 255), (215, 215, 225), 24))
    # The applicator: a roller with a bent handle.
    roller = rect(3, 3, 16, 9)
    c.fill(roller, vgrad((225, 225, 225), (90, 90, 95), 3, 9))
    c.fill(rect(3, 3, 16, 3.8), (245, 245, 245))
    c.fill(stroke([(16, 6), (19, 6), (19, 11), (12, 11), (12, 13)], 1.2), (60, 60, 60))
    c.fill(stroke([(12, 13), (12, 16.4)], 2.6), vgrad((130, 130, 140), (40, 40, 50), 13, 16))
    return c


def landscape(valley):
    c = Canvas(24)
    c.fill(rect(1, 2, 23, 22), vgrad((150, 100, 50), (90, 55, 20), 2, 22))
    c.fill(rect(3, 4, 21, 20), vgrad((70, 130, 230), (190, 220, 250), 4, 14))
    c.fill(circle(16.5, 7.5, 2.4), (255, 250, 200))
    hill_far = lambda x, y: 3 <= x < 21 and y < 20 and y >= 12.5 - 3.5 * math.sin((x - 3) / 18 * math.pi * 1.2)
    hill_near = lambda x, y: 3 <= x < 21 and y < 20 and y >= 15.5 - 3.0 * math.cos((x - 10) / 6.0)
    c.fill(hill_far, vgrad((60, 150, 60), (30, 100, 30), 9, 20))
    c.fill(hill_near, vgrad((120, 200, 80), (40, 130, 40), 12, 20))
    if valley:
        v = polygon([(7.5, 11.5), (16.5, 11.5), (12, 20)])
        c.fill(minus(v, lambda x, y: y >= 20), vgrad((110, 70, 30), (60, 35, 10), 12, 20))
        c.fill(stroke([(7.5, 11.6), (12, 19.8), (16.5, 11.6)], 0.9), (50, 30, 10))
    return c


def hand(c, ox, oy, scale):
    """A hand pointing up and to the left with its index finger."""
    def p(x, y):
        return (ox + x * scale, oy + y * scale)
    skin = radial((255, 220, 180), (215, 150, 100), ox + 4 * scale, oy + 4 * scale, 7 * scale)
    outline = (110, 60, 30)
    finger = stroke([p(0, 0), p(4, 4)], 2.6 * scale)
    fist = polygon([p(2.6, 4.2), p(6.5, 1.8), p(9.5, 4.8), p(8.5, 9), p(4.5, 9.5), p(2.2, 6.5)])
    wrist = polygon([p(6.5, 9), p(9.5, 6.5), p(12, 9.5), p(9.5, 12)])
    c.fill(union(stroke([p(0, 0), p(4, 4)], 3.6 * scale), fist, wrist,
                 lambda x, y: seg_dist(x, y, p(2.6, 4.2), p(6.5, 1.8)) < 0.55 * scale or
                 seg_dist(x, y, p(2.2, 6.5), p(4.5, 9.5)) < 0.55 * scale), outline)
    inner_fist = polygon([p(3.3, 4.4), p(6.5, 2.6), p(8.8, 4.9), p(8, 8.4), p(4.8, 8.8), p(3, 6.4)])
    c.fill(union(finger, inner_fist), skin)
    c.fill(polygon([p(7.2, 9.4), p(9.4, 7.2), p(11.2, 9.4), p(9.4, 11.2)]), (60, 90, 200))
    c.fill(stroke([p(4.4, 6.2), p(7.2, 4.6)], 0.5 * scale), (170, 100, 60))
    c.fill(stroke([p(5.2, 7.6), p(8, 6.2)], 0.5 * scale), (170, 100, 60))


def noise_zone():
    c = Canvas(22)
    c.fill(rect(1, 1, 18, 15), (70, 70, 90))
    c.fill(rect(2, 2, 17, 14), textured(vgrad((250, 250, 250), (205, 215, 235), 2, 14), 5, 3))
    for gx in (6, 10, 14):
        c.fill(rect(gx, 2, gx + 0.4, 14), (200, 205, 225))
    graph = [(2.5, 9), (4, 5), (5.5, 11), (7, 4), (8.5, 12), (10, 6), (11.5, 10), (13, 3.5),
             (14.5, 9), (16.5, 6)]
    c.fill(stroke(graph, 1.2), vgrad((20, 60, 220), (60, 140, 255), 3, 12))
    hand(c, 10.5, 10.5, 0.9)
    return c


def blur_zone():
    c = Canvas(22)
    # The smudge left behind, fading out.
    for k in range(5):
        t = k / 4
        c.fill(circle(3.5 + 2.2 * k, 3.5 + 2.2 * k, 2.4 - 0.2 * k), lerp((120, 120, 140), (225, 225, 235), 1 - t))
    finger = stroke([(8, 8), (17.5, 17.5)], 7.5)
    c.fill(union(finger, stroke([(8, 8), (20, 20)], 8.6)), (120, 70, 40))
    c.fill(finger, radial((255, 225, 190), (220, 150, 105), 12, 11, 10))
    nail = stroke([(8.4, 8.4), (10.4, 10.4)], 3.2)
    c.fill(nail, (250, 200, 200))
    # Chequered tip: the pattern the finger has picked up.
    tip = circle(7.6, 7.6, 3.6)

    def checks(x, y):
        u, v = (x - y) * 0.7071, (x + y) * 0.7071
        dark = (int(math.floor(u / 1.5)) + int(math.floor(v / 1.5))) % 2 == 0
        return (30, 30, 30) if dark else (245, 245, 245)
    c.fill(tip, checks)
    return c


def rotate_right():
    c = Canvas(16)

    def wood(x, y):
        grain = 0.5 + 0.5 * math.sin(x * 1.7 + math.sin(y * 0.9) * 2.0)
        return lerp((175, 110, 50), (110, 60, 20), grain)
    c.fill(rect(5.6, 5.6, 15.8, 15.8), textured((70, 35, 10), 12, 9))
    c.fill(rect(6.6, 6.6, 14.8, 14.8), textured(wood, 22, 7))
    # A quarter arc round the top-left corner, arrowhead pointing right.
    arc = union(lambda x, y: 3.0 <= math.hypot(x - 6.5, y - 6.5) <= 4.6 and x <= 6.5 and y <= 6.5,
                rect(1.9, 6.5, 3.5, 9.5))
    c.fill(arc, textured(vgrad((70, 140, 255), (10, 40, 170), 1, 10), 10, 2))
    c.fill(polygon([(6.2, -0.1), (10.4, 2.7), (6.2, 5.5)]), (20, 60, 200))
    return c


def mirrored(canvas):
    m = Canvas(canvas.n)
    for j, row in enumerate(canvas.px):
        m.px[j] = list(reversed(row))
    return m


def transposed(canvas):
    t = Canvas(canvas.n)
    size = canvas.n * SS
    t.px = [[canvas.px[i][j] for i in range(size)] for j in range(size)]
    return t


def small_window(c, x0, y0, x1, y1):
    c.fill(rect(x0, y0, x1, y1), (40, 40, 60))
    c.fill(rect(x0 + 0.8, y0 + 0.8, x1 - 0.8, y0 + 3), vgrad((90, 140, 255), (20, 50, 170), y0, y0 + 3))
    c.fill(rect(x0 + 0.8, y0 + 3, x1 - 0.8, y1 - 0.8),
           textured(dgrad((250, 250, 250), (190, 200, 220), 24), 6, x0))


def enlarge():
    c = Canvas(24)
    small_window(c, 7, 7, 17, 17)
    green = textured(vgrad((30, 190, 30), (20, 110, 60), 0, 24), 10, 5)
    for (sx, sy), (ex, ey) in (((7, 7), (1.3, 1.3)), ((17, 7), (22.7, 1.3)),
                               ((7, 17), (1.3, 22.7)), ((17, 17), (22.7, 22.7))):
        c.fill(arrow((sx + (ex - sx) * 0.12, sy + (ey - sy) * 0.12), (ex, ey), 2.0, 4.2), green)
    return c


def reduce_():
    c = Canvas(24)
    small_window(c, 8, 8, 16, 16)
    red = vgrad((230, 60, 40), (150, 20, 20), 0, 24)
    for (sx, sy), (ex, ey) in (((1, 1), (7.5, 7.5)), ((23, 1), (16.5, 7.5)),
                               ((1, 23), (7.5, 16.5)), ((23, 23), (16.5, 16.5))):
        c.fill(arrow((sx, sy), (ex, ey), 2.0, 4.2), red)
    return c


def flip_horizontal():
    c = Canvas(22)
    c.fill(rect(2, 2, 20, 20), (50, 60, 80))
    glass = lambda x, y: lerp(lerp((235, 245, 255), (120, 170, 230), y / 20),
                              (180, 140, 230), abs(x - 11) / 16)
    c.fill(rect(3, 3, 19, 19), textured(glass, 6, 11))
    c.fill(rect(10.8, 3, 11.2, 19), (90, 100, 140))
    shaft = rect(7, 10.1, 15, 11.9)
    heads = union(polygon([(2.8, 11), (8, 6.5), (8, 15.5)]), polygon([(19.2, 11), (14, 6.5), (14, 15.5)]))
    both = union(shaft, heads)
    c.fill(union(both, lambda x, y: any(seg_dist(x, y, a, b) < 0.8 for a, b in
                                        (((2.8, 11), (8, 6.5)), ((2.8, 11), (8, 15.5)),
                                         ((19.2, 11), (14, 6.5)), ((19.2, 11), (14, 15.5))))
                 and 2.2 < x < 19.8), (120, 20, 10))
    c.fill(both, radial((255, 200, 60), (230, 60, 20), 11, 9, 9))
    return c


ICONS = [
    ("fixDrawXpm", "Fix Draw", fix_draw, 176),
    ("paintPlainBrushXpm", "Paint Plain Brush", paint_plain_brush, 50),
    ("createMountainXpm", "Create Mountain", lambda: landscape(False), 31),
    ("createDepressionXpm", "Create Depression", lambda: landscape(True), 30),
    ("noiseZoneXpm", "Noise Zone", noise_zone, 161),
    ("blurZoneXpm", "Blur Zone", blur_zone, 63),
    ("rotateRightXpm", "Rotate Right", rotate_right, 108),
    ("rotateLeftXpm", "Rotate Left", lambda: mirrored(rotate_right()), 108),
    ("enlargeXpm", "Enlarge", enlarge, 100),
    ("reduceXpm", "Reduce", reduce_, 30),
    ("flipHorizontalXpm", "Flip Horizontal", flip_horizontal, 172),
    ("flipVerticalXpm", "Flip Vertical", lambda: transposed(flip_horizontal()), 172),
]


# --- colour reduction to exactly the wanted number of colours --------------

def median_cut(counts, k):
    """Splits the colour cube into k boxes; returns a map colour -> box mean."""
    boxes = [list(counts.items())]
    while len(boxes) < k:
        best, axis, spread = None, 0, -1
        for b in boxes:
            if len(b) < 2:
                continue
            for a in range(3):
                vals = [c[a] for c, _ in b]
                s = (max(vals) - min(vals)) * math.log2(1 + sum(n for _, n in b))
                if s > spread:
                    best, axis, spread = b, a, s
        if best is None:
            raise SystemExit("not enough colours to split")
        boxes.remove(best)
        best.sort(key=lambda e: e[0][axis])
        mid = len(best) // 2
        boxes += [best[:mid], best[mid:]]
    mapping = {}
    used = set()
    for b in boxes:
        total = sum(n for _, n in b)
        mean = tuple(int(round(sum(c[a] * n for c, n in b) / total)) for a in range(3))
        while mean in used:  # keep every entry distinct
            mean = (mean[0], mean[1], (mean[2] + 1) % 256)
        used.add(mean)
        for c, _ in b:
            mapping[c] = mean
    return mapping


def reduce_colours(pixels, wanted):
    counts = {}
    for row in pixels:
        for p in row:
            if p is not None:
                counts[p] = counts.get(p, 0) + 1
    if len(counts) < wanted:
        raise SystemExit(f"only {len(counts)} colours, {wanted} wanted")
    mapping = median_cut(counts, wanted)
    return [[None if p is None else mapping[p] for p in row] for row in pixels]


# --- output ------------------------------------------------------------------

CHARS = [chr(c) for c in range(0x21, 0x7F) if chr(c) not in '"\\?'] + \
        [chr(c) for c in range(0xA1, 0x100)]


def c_byte(ch):
    return ch if 0x21 <= ord(ch) < 0x7F else "\\%03o" % ord(ch)


def xpm(name, title, pixels, ncolors):
    n = len(pixels)
    counts = {}
    for row in pixels:
        for p in row:
            if p is not None:
                counts[p] = counts.get(p, 0) + 1
    order = sorted(counts, key=lambda c: -counts[c])
    assert len(order) == ncolors - 1, (name, len(order))
    code = {c: CHARS[k] for k, c in enumerate(order)}
    entries = ["\\040\\300\\300\\300"] + [
        "".join("\\%03o" % b for b in (ord(code[c]), c[0], c[1], c[2])) for c in order]
    lines = [f"// {title}: {n} x {n}, {ncolors} colours (space transparent).",
             f"static const char* const {name}[] = {{", f'    "{n} {n} -{ncolors} 1",']
    for k in range(0, len(entries), 6):
        end = "," if k + 6 >= len(entries) else ""
        lines.append('    "' + "".join(entries[k:k + 6]) + '"' + end)
    for r, row in enumerate(pixels):
        text = "".join(" " if p is None else c_byte(code[p]) for p in row)
        lines.append(f'    "{text}"' + ("," if r + 1 < n else ""))
    lines.append("};")
    return "\n".join(lines)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "ui/tool_icons_xpm.h"
    preview = sys.argv[2] if len(sys.argv) > 2 else None
    parts = ["// The twelve tool icons as XPM data in FLTK's compact colour-map form.",
             "// Generated by scripts/make-tool-icons.py; edit the drawing there.",
             "#pragma once", ""]
    for name, title, draw, ncolors in ICONS:
        pixels = reduce_colours(draw().pixels(), ncolors - 1)
        parts += [xpm(name, title, pixels, ncolors), ""]
        if preview:
            write_ppm(f"{preview}/{name}.ppm", pixels, 8)
    with open(out, "w", encoding="latin-1") as f:
        f.write("\n".join(parts))


def write_ppm(path, pixels, scale):
    n = len(pixels)
    with open(path, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (n * scale, n * scale))
        for row in pixels:
            line = b"".join(bytes(p if p else (192, 192, 192)) * scale for p in row)
            f.write(line * scale)


if __name__ == "__main__":
    main()
