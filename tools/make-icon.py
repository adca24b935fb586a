#!/usr/bin/env python3
"""Draws the program's Windows icon, resources/icons/heapwise.ico, from the
rectangles of resources/icons/heapwise-16-colour.svg: 32x32 and 16x16 pixels,
16 colours (4 bits per pixel) from the standard palette, the rest transparent. The output
depends only on the drawing, so running it again gives the same file."""
import struct
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SVG = ROOT / "resources/icons/heapwise-16-colour.svg"
ICO = ROOT / "resources/icons/heapwise.ico"

# The 16 colours every display can show; the drawing uses only these.
PALETTE = [
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]


def rectangles():
    """The drawing's rectangles in painting order, in grid units, with their
    palette index."""
    tree = ET.parse(SVG)
    ns = {"svg": "http://www.w3.org/2000/svg"}
    view = [float(v) for v in tree.getroot().get("viewBox").split()]
    if view[:2] != [0, 0] or view[2] != view[3]:
        sys.exit("make-icon: the drawing must have a square viewBox at 0 0")
    for rect in tree.getroot().iterfind(".//svg:rect", ns):
        colour = int(rect.get("fill").lstrip("#"), 16)
        if colour not in PALETTE:
            sys.exit(f"make-icon: colour #{colour:06X} is not one of the 16")
        box = [int(rect.get(k)) for k in ("x", "y", "width", "height")]
        yield box, PALETTE.index(colour)


def grid_size():
    view = ET.parse(SVG).getroot().get("viewBox").split()
    return int(float(view[2]))


def draw(size):
    """Pixels top row first: a palette index, or None where transparent."""
    scale = size // grid_size()
    pixels = [[None] * size for _ in range(size)]
    for (x, y, w, h), index in rectangles():
        for row in range(y * scale, (y + h) * scale):
            for col in range(x * scale, (x + w) * scale):
                pixels[row][col] = index
    return pixels


def image(size):
    """One icon image: header, palette, colour rows and mask rows, bottom up."""
    pixels = draw(size)
    colour_row = (size * 4 + 31) // 32 * 4
    mask_row = (size + 31) // 32 * 4
    colours = bytearray()
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray(colour_row)
        bits = bytearray(mask_row)
        for col, index in enumerate(row):
            if index is None:
                bits[col // 8] |= 0x80 >> (col % 8)
                index = 0
            line[col // 2] |= index << (4 if col % 2 == 0 else 0)
        colours += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", c & 0xFF, (c >> 8) & 0xFF, c >> 16, 0)
                       for c in PALETTE)
    return header + palette + bytes(colours) + bytes(mask)


def main():
    images = [(size, image(size)) for size in (32, 16)]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    ICO.write_bytes(out)


if __name__ == "__main__":
    main()
