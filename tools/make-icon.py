#!/usr/bin/env python3
"""Draws the program's Windows icon, resources/icons/heapwise.ico: from the
rectangles of resources/icons/heapwise-16-colour.svg, 32x32 and 16x16 pixels
of 16 colours (4 bits per pixel) from the standard palette, the rest
transparent, for the oldest displays and the smallest places; and, from the
desktop icon's drawing (the hicolor PNGs that tools/make-icons.sh draws from
resources/icons/heapwise.svg), 24x24 and 48x48 pixels of 32 bits with alpha,
and 256x256 as PNG, for high DPI and Explorer's large views. The output
depends only on the drawings, so running it again gives the same file."""
import struct
import sys
import xml.etree.ElementTree as ET
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SVG = ROOT / "resources/icons/heapwise-16-colour.svg"
ICO = ROOT / "resources/icons/heapwise.ico"
HICOLOR = ROOT / "resources/icons/hicolor"

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


def hicolor_png(size):
    return HICOLOR / f"{size}x{size}/apps/heapwise.png"


def png_rows(path):
    """The RGBA rows, top first, of an 8-bit RGBA PNG without interlacing, as
    rsvg-convert writes them."""
    data = path.read_bytes()
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
    if (depth, colour, interlace) != (8, 6, 0):
        sys.exit(f"make-icon: {path} is not 8-bit RGBA without interlacing")
    raw = zlib.decompress(idat)
    stride = width * 4
    rows, above = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up, up_left = above[i], (above[i - 4] if i >= 4 else 0)
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                guess = left + up - up_left
                nearest = min((abs(guess - left), 0, left), (abs(guess - up), 1, up),
                              (abs(guess - up_left), 2, up_left))[2]
                line[i] = (line[i] + nearest) & 0xFF
        rows.append(line)
        above = line
    return width, rows


def true_colour_image(size):
    """One 32-bit image with alpha: header, BGRA rows and mask rows, bottom up;
    the mask marks the fully transparent pixels for old readers."""
    width, rows = png_rows(hicolor_png(size))
    if width != size or len(rows) != size:
        sys.exit(f"make-icon: {hicolor_png(size)} is not {size}x{size}")
    mask_row = (size + 31) // 32 * 4
    colours = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for col in range(size):
            r, g, b, a = row[col * 4:col * 4 + 4]
            colours += bytes((b, g, r, a))
            if a == 0:
                bits[col // 8] |= 0x80 >> (col % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(colours) + len(mask), 0, 0, 0, 0)
    return header + bytes(colours) + bytes(mask)


def main():
    # Size, colours in the directory (0 for more than 256), bits, data.
    images = [(32, 16, 4, image(32)), (16, 16, 4, image(16)),
              (48, 0, 32, true_colour_image(48)), (24, 0, 32, true_colour_image(24)),
              (256, 0, 32, hicolor_png(256).read_bytes())]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, colours, bits, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    for *_, data in images:
        out += data
    ICO.write_bytes(out)


if __name__ == "__main__":
    main()
