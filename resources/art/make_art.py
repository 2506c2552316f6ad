#!/usr/bin/env python3
"""Draws Harvex's artwork and writes it into resources/:

  harvex.ico   the program's icon, 32x32 and 16x16, 32-bit colour with alpha
  about.jpg    the About picture, 400 x 230, baseline JPEG, 72 dpi
  art/*.png    previews of the icon sizes (not used by the build)

The glyph is a memory card sliding down into an open folder, with an arrow on the card: "what is on
the card goes into a folder". It is drawn here from polygons with Python's standard library alone, so
every size is drawn for its own pixel grid rather than scaled down. The About picture needs text, so
it is put together by ImageMagick (Debian packages imagemagick and fonts-dejavu-core). The outputs
are committed; the build never runs this script.

Usage: python3 resources/art/make_art.py
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.dirname(HERE)
CONVERT = "/usr/bin/convert"  # the real ImageMagick; other copies on PATH may be stand-ins
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
FONT_REGULAR = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

SUBROWS = 16  # vertical samples per pixel; horizontal coverage is computed exactly


def hex_colour(text, alpha=255):
    return (int(text[1:3], 16), int(text[3:5], 16), int(text[5:7], 16), alpha)


class Canvas:
    """A straight-alpha RGBA canvas with anti-aliased polygon fill (non-zero winding)."""

    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.pixels = [[(0, 0, 0, 0)] * width for _ in range(height)]

    def polygon(self, points, colour, scale):
        """Fills a polygon given in glyph units; scale is pixels per unit."""
        pts = [(x * scale, y * scale) for x, y in points]
        coverage = [[0.0] * self.width for _ in range(self.height)]
        edges = list(zip(pts, pts[1:] + pts[:1]))
        for row in range(self.height):
            for sub in range(SUBROWS):
                y = row + (sub + 0.5) / SUBROWS
                crossings = []
                for (x0, y0), (x1, y1) in edges:
                    if y0 == y1:
                        continue
                    if min(y0, y1) <= y < max(y0, y1):
                        x = x0 + (y - y0) * (x1 - x0) / (y1 - y0)
                        crossings.append((x, 1 if y1 > y0 else -1))
                crossings.sort()
                winding = 0
                for i, (x, direction) in enumerate(crossings):
                    before = winding
                    winding += direction
                    if before == 0 and winding != 0:
                        start = x
                    elif before != 0 and winding == 0:
                        self._span(coverage[row], start, x)
        self._composite(coverage, colour)

    def _span(self, line, x0, x1):
        x0 = max(0.0, x0)
        x1 = min(float(self.width), x1)
        if x1 <= x0:
            return
        first, last = int(x0), min(int(x1), self.width - 1)
        for px in range(first, last + 1):
            covered = min(x1, px + 1) - max(x0, px)
            if covered > 0:
                line[px] += covered / SUBROWS

    def _composite(self, coverage, colour):
        r, g, b, a = colour
        for y in range(self.height):
            for x in range(self.width):
                c = min(1.0, coverage[y][x])
                if c <= 0:
                    continue
                self.pixels[y][x] = over(self.pixels[y][x], (r, g, b, a * c))


def over(dst, src):
    sr, sg, sb, sa = src
    dr, dg, db, da = dst
    sa /= 255.0
    da /= 255.0
    out = sa + da * (1 - sa)
    if out <= 0:
        return (0, 0, 0, 0)

    def mix(s, d):
        return round((s * sa + d * da * (1 - sa)) / out)

    return (mix(sr, dr), mix(sg, dg), mix(sb, db), round(out * 255))


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


# Palette: warm folder, blue card, white arrow; each outline is a darker shade of its fill.
FOLDER_BACK = hex_colour("#E3A21A")
FOLDER_FRONT = hex_colour("#FFD35C")
FOLDER_LINE = hex_colour("#9A6200")
FOLDER_SHINE = hex_colour("#FFE89E")
CARD = hex_colour("#2F6FD0")
CARD_LINE = hex_colour("#173C80")
CARD_CONTACT = hex_colour("#F2C230")
ARROW = hex_colour("#FFFFFF")


def draw_glyph(canvas, scale, line):
    """Draws the glyph on a 16 x 16 unit grid; line is the outline width in units (one pixel at the
    small sizes). Edges fall on whole units so that the 16 and 32 pixel images stay sharp."""
    w = line
    # Folder back with its tab, behind the card.
    canvas.polygon(rect(1, 3, 7, 6), FOLDER_LINE, scale)
    canvas.polygon(rect(1, 5, 15, 14), FOLDER_LINE, scale)
    canvas.polygon(rect(1 + w, 5 + w, 15 - w, 14 - w), FOLDER_BACK, scale)
    canvas.polygon(rect(1 + w, 3 + w, 7 - w, 5 + w), FOLDER_BACK, scale)
    # The card, its top-right corner cut like a memory card's, sliding down into the folder.
    card = [(4, 0), (10, 0), (12, 2), (12, 12), (4, 12)]
    card_fill = [(4 + w, w), (10 - w * 0.414, w), (12 - w, 2 + w * 0.414), (12 - w, 12), (4 + w, 12)]
    canvas.polygon(card, CARD_LINE, scale)
    canvas.polygon(card_fill, CARD, scale)
    if line < 1:
        # Contacts along the top edge, where there is room for them.
        for x in (5.5, 7, 8.5):
            canvas.polygon(rect(x, 0.5, x + 1, 1.5), CARD_CONTACT, scale)
    # The arrow on the card, pointing down into the folder; at 16 pixels its head is stepped so that
    # it stays sharp instead of turning grey.
    if line >= 1:
        canvas.polygon(rect(7, 2, 9, 5), ARROW, scale)
        for step in range(3):
            canvas.polygon(rect(5 + step, 5 + step, 11 - step, 6 + step), ARROW, scale)
    else:
        canvas.polygon(rect(7, 2, 9, 5), ARROW, scale)
        canvas.polygon([(5, 5), (11, 5), (8, 8)], ARROW, scale)
    # Folder front, in front of the card.
    canvas.polygon(rect(0, 8, 16, 15), FOLDER_LINE, scale)
    canvas.polygon(rect(w, 8 + w, 16 - w, 15 - w), FOLDER_FRONT, scale)
    canvas.polygon(rect(w, 8 + w, 16 - w, 8 + 2 * w), FOLDER_SHINE, scale)


def render_glyph(size):
    canvas = Canvas(size, size)
    scale = size / 16.0
    line = max(1.0 / scale, 0.25)  # one pixel, but never thinner than a quarter unit
    draw_glyph(canvas, scale, line)
    return canvas


def png_bytes(canvas):
    raw = bytearray()
    for row in canvas.pixels:
        raw.append(0)
        for pixel in row:
            raw.extend(pixel)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


def dib_bytes(canvas):
    """An icon image as Windows stores it: a BITMAPINFOHEADER of twice the height, 32-bit BGRA rows
    bottom-up, then the 1-bit AND mask (rows padded to 4 bytes)."""
    w, h = canvas.width, canvas.height
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(canvas.pixels):
        for r, g, b, a in row:
            colour.extend((b, g, r, a))
    mask_stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(canvas.pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask.extend(bits)
    return header + bytes(colour) + bytes(mask)


def ico_bytes(canvases):
    images = [dib_bytes(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for canvas, image in zip(canvases, images):
        out += struct.pack("<BBBBHHII", canvas.width % 256, canvas.height % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    print("wrote", os.path.relpath(path, os.path.dirname(RESOURCES)))


def make_icon():
    icons = [render_glyph(32), render_glyph(16)]
    write(os.path.join(RESOURCES, "harvex.ico"), ico_bytes(icons))
    for canvas in icons:
        write(os.path.join(HERE, "icon-%d.png" % canvas.width), png_bytes(canvas))


def make_about(workdir):
    """400 x 230: a deep blue panel, the glyph large on the left, name, version and a line of text."""
    glyph = os.path.join(workdir, "glyph.png")
    with open(glyph, "wb") as f:
        f.write(png_bytes(render_glyph(128)))
    about = os.path.join(RESOURCES, "about.jpg")
    command = [
        CONVERT, "-size", "400x230", "gradient:#1D3F7A-#0E1F3D",
        glyph, "-geometry", "+26+51", "-composite",
        "-fill", "#FFFFFF", "-font", FONT_BOLD, "-pointsize", "46", "-annotate", "+176+104", "Harvex",
        "-fill", "#FFD35C", "-font", FONT_REGULAR, "-pointsize", "20", "-annotate", "+178+136", "version 2.0",
        "-fill", "#C8D6EE", "-pointsize", "12",
        "-annotate", "+178+168", "Every card, stick and CD copied",
        "-annotate", "+178+185", "into a new folder of its own.",
        "-fill", "#FFD35C", "-draw", "rectangle 0,226 399,229",
        "-strip", "-interlace", "none", "-sampling-factor", "2x2", "-quality", "92",
        "-units", "PixelsPerInch", "-density", "72",
        "jpeg:" + about,
    ]
    subprocess.run(command, check=True)
    print("wrote", os.path.relpath(about, os.path.dirname(RESOURCES)))


def main():
    for needed in (CONVERT, FONT_BOLD, FONT_REGULAR):
        if not os.path.exists(needed):
            sys.exit("missing %s: apt-get install imagemagick fonts-dejavu-core" % needed)
    make_icon()
    workdir = tempfile.mkdtemp(prefix="harvex-art-")
    try:
        make_about(workdir)
    finally:
        shutil.rmtree(workdir)


if __name__ == "__main__":
    main()
