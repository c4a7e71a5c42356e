#!/usr/bin/env python3
"""Draws the installer's own images into resources/images/.

The category images of the status filter (40 x 30, and 80 x 60 for "@2x"),
the filler icons shown for products without a picture and the error icon of
a failed product action (50 x 50, and 100 x 100 for "@2x"). Every picture is
made of a few simple shapes in a design box, rasterised here with 4 x 4
samples per pixel and written as an RGBA PNG with zlib, so no imaging
package is needed. Run it from anywhere; it rewrites every file.

The program's own icon goes into resources/icons/: PNGs of the desktop's
sizes, the same shapes as SVG, and a macOS .icns made of PNGs.
"""

import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "images")
ICONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "icons")

ACTIVE = (62, 186, 196)
INACTIVE = (134, 137, 139)
FILLER_INACTIVE = (190, 192, 194)
ERROR = (206, 52, 46)
WHITE = (255, 255, 255)

SAMPLES = 4


# ---- shapes: each answers whether the point (x, y) of the design box is inside

def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_outer, r_inner, start=None, end=None):
    """An annulus, optionally only the sector between two angles (degrees,
    counter-clockwise from the positive x axis, y pointing down)."""
    def inside(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if d2 > r_outer * r_outer or d2 < r_inner * r_inner:
            return False
        if start is None:
            return True
        angle = math.degrees(math.atan2(cy - y, x - cx)) % 360
        if start <= end:
            return start <= angle <= end
        return angle >= start or angle <= end
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def stroke(x0, y0, x1, y1, width):
    """A line with round ends."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    half = width / 2.0

    def inside(x, y):
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half * half
    return inside


# ---- rasterising

def render(width, height, box, layers):
    """layers: (shape, colour) pairs painted in order; a colour of None
    punches the shape out (transparent). box: the design box (w, h) that the
    shapes use, scaled to the image."""
    sx = box[0] / float(width)
    sy = box[1] / float(height)
    rows = []
    for py in range(height):
        row = bytearray()
        for px in range(width):
            r = g = b = a = 0.0
            for sy_i in range(SAMPLES):
                for sx_i in range(SAMPLES):
                    x = (px + (sx_i + 0.5) / SAMPLES) * sx
                    y = (py + (sy_i + 0.5) / SAMPLES) * sy
                    colour = None
                    for shape, fill in layers:
                        if shape(x, y):
                            colour = fill
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1.0
            n = SAMPLES * SAMPLES
            if a > 0:
                row += bytes((int(round(r / a)), int(round(g / a)), int(round(b / a)), int(round(255 * a / n))))
            else:
                row += bytes((0, 0, 0, 0))
        rows.append(bytes(row))
    return rows


def png_bytes(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9))
    data += chunk(b"IEND", b"")
    return data


def write_file(path, data):
    temporary = path + ".tmp"
    with open(temporary, "wb") as out:
        out.write(data)
        out.flush()
        os.fsync(out.fileno())
    os.replace(temporary, path)


def write_png(path, width, height, rows):
    write_file(path, png_bytes(width, height, rows))


# ---- the pictures, in a 40 x 30 box (categories) or a 50 x 50 box (icons)

def tools(c):
    # A tool box: body, lid line, handle and clasp.
    return [
        (rounded(7, 11, 33, 27, 2.5), c),
        (rect(7, 16, 33, 17.4), None),
        (ring(20, 11, 6, 4, 0, 180), c),
        (rect(18, 14.5, 22, 19), WHITE if c != INACTIVE else (235, 236, 237)),
    ]


def updates(c):
    # A circular arrow.
    return [
        (ring(20, 15, 11, 8, 120, 400 - 360), c),
        (ring(20, 15, 11, 8, 200, 330), c),
        (polygon([(26.5, 1.5), (33.5, 7.5), (24.5, 10.5)]), c),
        (polygon([(13.5, 28.5), (6.5, 22.5), (15.5, 19.5)]), c),
    ]


def trial(c):
    # A stopwatch.
    return [
        (ring(20, 17, 11, 8.5), c),
        (rect(17.5, 2.5, 22.5, 4.5), c),
        (rect(19, 4, 21, 7), c),
        (stroke(20, 17, 20, 11, 2), c),
        (stroke(20, 17, 24.5, 19.5, 2), c),
        (stroke(29, 6.5, 31, 8.5, 2), c),
    ]


def education(c):
    # A graduation cap with its tassel.
    return [
        (polygon([(20, 4), (37, 11), (20, 18), (3, 11)]), c),
        (polygon([(11, 14.5), (20, 18.4), (29, 14.5), (29, 22), (20, 25.5), (11, 22)]), c),
        (stroke(33, 12.5, 33, 22, 1.6), c),
        (circle(33, 23, 1.8), c),
    ]


def filler(c):
    # A plain product tile: a rounded square with a puzzle piece cut out.
    return [
        (rounded(4, 4, 46, 46, 8), c),
        (rounded(15, 18, 35, 38, 2), WHITE),
        (circle(25, 17, 4.5), WHITE),
        (circle(35.5, 28, 4.5), c),
    ]


def error(_):
    return [
        (circle(25, 25, 21), ERROR),
        (stroke(25, 13, 25, 28, 5), WHITE),
        (circle(25, 36, 3), WHITE),
    ]


# ---- the program's icon, in a 64 x 64 box: a tile with an arrow going down
# into a tray. Each shape is given once and drawn both ways, as pixels and as
# SVG.

ICON_TILE = (44, 160, 170)
ICON_TILE_DARK = (30, 118, 126)
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
ICON_NAME = "vantorix-installer"


def icon_shapes():
    return [
        ("rounded", (4, 4, 60, 60, 12), ICON_TILE),
        ("rounded", (4, 44, 60, 60, 12), ICON_TILE_DARK),
        ("rect", (4, 44, 60, 50), ICON_TILE_DARK),
        ("stroke", (32, 13, 32, 32, 7), WHITE),
        ("polygon", ((19, 28), (45, 28), (32, 42)), WHITE),
        ("stroke", (16, 38, 16, 49, 5), WHITE),
        ("stroke", (16, 49, 48, 49, 5), WHITE),
        ("stroke", (48, 49, 48, 38, 5), WHITE),
    ]


def icon_layers():
    makers = {"rounded": lambda a: rounded(*a), "rect": lambda a: rect(*a), "stroke": lambda a: stroke(*a),
              "polygon": lambda a: polygon(list(a))}
    return [(makers[kind](args), colour) for kind, args, colour in icon_shapes()]


def icon_svg():
    def fill(colour):
        return "#%02x%02x%02x" % colour

    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">']
    for kind, args, colour in icon_shapes():
        if kind == "rounded":
            x0, y0, x1, y1, r = args
            parts.append('  <rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="%s"/>'
                         % (x0, y0, x1 - x0, y1 - y0, r, fill(colour)))
        elif kind == "rect":
            x0, y0, x1, y1 = args
            parts.append('  <rect x="%g" y="%g" width="%g" height="%g" fill="%s"/>'
                         % (x0, y0, x1 - x0, y1 - y0, fill(colour)))
        elif kind == "stroke":
            x0, y0, x1, y1, width = args
            parts.append('  <line x1="%g" y1="%g" x2="%g" y2="%g" stroke="%s" stroke-width="%g" '
                         'stroke-linecap="round"/>' % (x0, y0, x1, y1, fill(colour), width))
        elif kind == "polygon":
            points = " ".join("%g,%g" % point for point in args)
            parts.append('  <polygon points="%s" fill="%s"/>' % (points, fill(colour)))
    parts.append("</svg>")
    return ("\n".join(parts) + "\n").encode("ascii")


def icns(pngs):
    """A macOS icon file: one PNG entry per size."""
    kinds = {16: b"icp4", 32: b"icp5", 64: b"icp6", 128: b"ic07", 256: b"ic08", 512: b"ic09"}
    body = b""
    for size in sorted(pngs):
        if size in kinds:
            body += kinds[size] + struct.pack(">I", len(pngs[size]) + 8) + pngs[size]
    return b"icns" + struct.pack(">I", len(body) + 8) + body


def make_icons():
    os.makedirs(ICONS, exist_ok=True)
    layers = icon_layers()
    pngs = {}
    for size in sorted(set(ICON_SIZES) | {512}):
        pngs[size] = png_bytes(size, size, render(size, size, (64, 64), layers))
        if size in ICON_SIZES:
            path = os.path.join(ICONS, "%s-%d.png" % (ICON_NAME, size))
            write_file(path, pngs[size])
            print(os.path.relpath(path))
    for name, data in ((ICON_NAME + ".svg", icon_svg()), ("VantorixInstaller.icns", icns(pngs))):
        path = os.path.join(ICONS, name)
        write_file(path, data)
        print(os.path.relpath(path))


def main():
    os.makedirs(OUT, exist_ok=True)
    categories = [("Tools", tools), ("Updates", updates), ("Trial", trial), ("Education", education)]
    jobs = []
    for name, draw in categories:
        for state, colour in (("Active", ACTIVE), ("InActive", INACTIVE)):
            jobs.append((name + state, (40, 30), draw(colour)))
    jobs.append(("Filler_active", (50, 50), filler(ACTIVE)))
    jobs.append(("Filler_inactive", (50, 50), filler(FILLER_INACTIVE)))
    jobs.append(("Error", (50, 50), error(None)))
    for name, box, layers in jobs:
        for suffix, scale in (("", 1), ("@2x", 2)):
            width, height = box[0] * scale, box[1] * scale
            path = os.path.join(OUT, name + suffix + ".png")
            write_png(path, width, height, render(width, height, box, layers))
            print(os.path.relpath(path))
    make_icons()


if __name__ == "__main__":
    main()
