#!/usr/bin/env python3
"""Draws the sample product pictures that the stand-in serves from files/images/.

One 100 x 100 icon per sample product: a stair, a door, a roof and a facade,
light shapes on a rounded tile of the product's own colour. The shapes and the
PNG writer are those of the installer's own images (scripts/make_images.py).
Run it from anywhere; it rewrites every picture:
    python3 tests/data/Web/service/make-images.py
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # leaves no cache beside the shared drawing code
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "..", "scripts"))

from make_images import polygon, rect, render, rounded, write_png  # noqa: E402

OUT = os.path.join(HERE, "files", "images")
SIZE = 100
LIGHT = (250, 250, 248)
SHADE = (222, 226, 230)


def tile(colour):
    return [(rounded(3, 3, 97, 97, 18), colour)]


def stair(colour):
    # Five steps rising to the right, with a hand rail.
    layers = tile(colour)
    for i in range(5):
        x0 = 18 + i * 13
        y0 = 72 - i * 11
        layers.append((rect(x0, y0, 84, 82), LIGHT))
    layers.append((polygon([(17, 60), (80, 16), (82, 19), (19, 63)]), SHADE))
    return layers


def door(colour):
    # A door in its frame, with a panel and a handle.
    dark = tuple(int(c * 0.8) for c in colour)
    return tile(colour) + [
        (rect(28, 14, 72, 86), LIGHT),
        (rect(34, 20, 66, 86), dark),
        (rect(38, 25, 62, 48), colour),
        (rect(38, 54, 62, 80), colour),
        (rounded(57, 49, 64, 53, 2), LIGHT),
    ]


def roof(colour):
    # A pitched roof with a chimney over a house front.
    return tile(colour) + [
        (rect(61, 18, 70, 40), SHADE),
        (polygon([(12, 52), (50, 16), (88, 52), (80, 52), (50, 25), (20, 52)]), LIGHT),
        (polygon([(26, 52), (50, 30), (74, 52), (74, 84), (26, 84)]), SHADE),
        (rect(44, 62, 56, 84), colour),
    ]


def facade(colour):
    # A tall front with rows of windows and an entrance.
    layers = tile(colour) + [(rect(22, 12, 78, 88), LIGHT)]
    for row in range(4):
        for col in range(3):
            x0 = 28 + col * 16
            y0 = 18 + row * 14
            layers.append((rect(x0, y0, x0 + 10, y0 + 9), colour))
    layers.append((rect(43, 74, 57, 88), colour))
    return layers


PICTURES = {
    "stairmaker.png": (stair, (62, 186, 196)),
    "doormaker.png": (door, (214, 120, 64)),
    "roofmaker.png": (roof, (196, 72, 62)),
    "facademaker.png": (facade, (88, 116, 188)),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, (draw, colour) in sorted(PICTURES.items()):
        rows = render(SIZE, SIZE, (SIZE, SIZE), draw(colour))
        write_png(os.path.join(OUT, name), SIZE, SIZE, rows)


if __name__ == "__main__":
    main()
