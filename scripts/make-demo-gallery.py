#!/usr/bin/env python3
"""Writes the demo symbol gallery: gallery.cfg and the pictures of three categories.

The pictures are drawn here, with nothing but the standard library: 24-bit bitmaps,
placeable Windows metafiles and enhanced metafiles assembled record by record.

Usage: scripts/make-demo-gallery.py [GALLERY_FOLDER]   (default examples/demo/gallery)
"""

import math
import pathlib
import struct
import sys

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
STEEL = (96, 104, 112)
BLUE = (40, 110, 200)
WATER = (90, 170, 230)
GREEN = (40, 160, 70)
RED = (200, 40, 40)
YELLOW = (240, 200, 40)


class Bitmap:
    """A picture of width x height pixels, written as a bottom-up 24-bit BMP file."""

    def __init__(self, width, height, background=WHITE):
        self.width = width
        self.height = height
        self.pixels = [[background] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, left, top, right, bottom, colour):
        """Fills the columns left..right-1 of the rows top..bottom-1."""
        for y in range(top, bottom):
            for x in range(left, right):
                self.put(x, y, colour)

    def ellipse(self, left, top, right, bottom, colour):
        cx, cy = (left + right - 1) / 2, (top + bottom - 1) / 2
        rx, ry = (right - left) / 2, (bottom - top) / 2
        for y in range(top, bottom):
            for x in range(left, right):
                if ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0:
                    self.put(x, y, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            self.rect(x - width // 2, y - width // 2, x - width // 2 + width,
                      y - width // 2 + width, colour)

    def triangle(self, points, colour):
        (ax, ay), (bx, by), (cx, cy) = points

        def side(px, py, qx, qy, x, y):
            return (qx - px) * (y - py) - (qy - py) * (x - px)

        for y in range(self.height):
            for x in range(self.width):
                d1 = side(ax, ay, bx, by, x, y)
                d2 = side(bx, by, cx, cy, x, y)
                d3 = side(cx, cy, ax, ay, x, y)
                if (d1 >= 0 and d2 >= 0 and d3 >= 0) or (d1 <= 0 and d2 <= 0 and d3 <= 0):
                    self.put(x, y, colour)

    def bmp_bytes(self):
        stride = (self.width * 3 + 3) & ~3
        rows = bytearray()
        for row in reversed(self.pixels):
            line = bytearray()
            for r, g, b in row:
                line += bytes((b, g, r))
            rows += line + bytes(stride - len(line))
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0, len(rows),
                           3780, 3780, 0, 0)
        header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0,
                             14 + len(info))
        return header + info + bytes(rows)


def colorref(colour):
    r, g, b = colour
    return r | (g << 8) | (b << 16)


class Wmf:
    """A placeable Windows metafile in logical units of one pixel at 96 units per inch."""

    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.records = []
        self.objects = 0
        self.record(0x020B, 0, 0)  # META_SETWINDOWORG: y, x
        self.record(0x020C, height, width)  # META_SETWINDOWEXT: y, x

    def record(self, function, *words):
        self.records.append(struct.pack("<IH", 3 + len(words), function)
                            + struct.pack("<%dH" % len(words), *(w & 0xFFFF for w in words)))

    def create(self, function, *words):
        """Creates an object in the lowest free slot (none is ever deleted) and selects it."""
        self.record(function, *words)
        self.record(0x012D, self.objects)  # META_SELECTOBJECT
        self.objects += 1

    def brush(self, colour):
        c = colorref(colour)
        self.create(0x02FC, 0, c & 0xFFFF, c >> 16, 0)  # BS_SOLID

    def pen(self, colour, width):
        c = colorref(colour)
        self.create(0x02FA, 0, width, 0, c & 0xFFFF, c >> 16)  # PS_SOLID

    def rect(self, left, top, right, bottom):
        self.record(0x041B, bottom, right, top, left)

    def ellipse(self, left, top, right, bottom):
        self.record(0x0418, bottom, right, top, left)

    def line(self, x0, y0, x1, y1):
        self.record(0x0214, y0, x0)  # META_MOVETO
        self.record(0x0213, y1, x1)  # META_LINETO

    def polygon(self, points):
        words = [len(points)] + [c for point in points for c in point]
        self.record(0x0324, *words)

    def file_bytes(self):
        body = b"".join(self.records) + struct.pack("<IH", 3, 0)  # META_EOF
        largest = max(struct.unpack_from("<I", r)[0] for r in self.records)
        header = struct.pack("<HHHIHIH", 1, 9, 0x0300, 9 + len(body) // 2, self.objects,
                             largest, 0)
        words = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, self.width, self.height, 96, 0)
        checksum = 0
        for (w,) in struct.iter_unpack("<H", words):
            checksum ^= w
        return words + struct.pack("<H", checksum) + header + body


class Emf:
    """An enhanced metafile in device pixels of a 96 dots-per-inch reference device."""

    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.records = []
        self.objects = 0

    def record(self, kind, payload):
        self.records.append(struct.pack("<II", kind, 8 + len(payload)) + payload)

    def create(self, kind, payload):
        self.objects += 1
        self.record(kind, struct.pack("<I", self.objects) + payload)
        self.record(37, struct.pack("<I", self.objects))  # EMR_SELECTOBJECT

    def brush(self, colour):
        self.create(39, struct.pack("<III", 0, colorref(colour), 0))  # EMR_CREATEBRUSHINDIRECT

    def pen(self, colour, width):
        self.create(38, struct.pack("<IiiI", 0, width, 0, colorref(colour)))  # EMR_CREATEPEN

    def rect(self, left, top, right, bottom):
        self.record(43, struct.pack("<iiii", left, top, right, bottom))

    def ellipse(self, left, top, right, bottom):
        self.record(42, struct.pack("<iiii", left, top, right, bottom))

    def line(self, x0, y0, x1, y1):
        self.record(27, struct.pack("<ii", x0, y0))  # EMR_MOVETOEX
        self.record(54, struct.pack("<ii", x1, y1))  # EMR_LINETO

    def polygon(self, points):
        xs = [x for x, _ in points]
        ys = [y for _, y in points]
        payload = struct.pack("<iiiiI", min(xs), min(ys), max(xs), max(ys), len(points))
        payload += b"".join(struct.pack("<hh", x, y) for x, y in points)
        self.record(86, payload)  # EMR_POLYGON16

    def file_bytes(self):
        eof = struct.pack("<IIIII", 14, 20, 0, 16, 20)
        body = b"".join(self.records) + eof
        header_size = 88
        frame_w = math.floor(self.width * 2540 / 96) - 1
        frame_h = math.floor(self.height * 2540 / 96) - 1
        header = struct.pack("<II", 1, header_size)
        header += struct.pack("<iiii", 0, 0, self.width - 1, self.height - 1)  # rclBounds
        header += struct.pack("<iiii", 0, 0, frame_w, frame_h)  # rclFrame, 0.01 mm
        header += struct.pack("<IIIIHHIIIiiii", 0x464D4520, 0x10000,
                              header_size + len(body), len(self.records) + 2,
                              self.objects + 1, 0, 0, 0, 0, 960, 960, 254, 254)
        return header + body


def draw_pump_bitmap():
    b = Bitmap(48, 48)
    b.rect(6, 40, 42, 46, STEEL)
    b.ellipse(6, 8, 38, 40, BLUE)
    b.rect(24, 4, 46, 14, BLUE)
    b.ellipse(16, 18, 28, 30, WHITE)
    b.line(22, 24, 30, 14, BLACK, 2)
    return b


def draw_pump_metafile(picture):
    picture.brush(STEEL)
    picture.pen(BLACK, 1)
    picture.rect(4, 52, 60, 62)
    picture.brush(BLUE)
    picture.ellipse(8, 8, 52, 52)
    picture.rect(30, 4, 62, 18)
    picture.line(30, 30, 44, 12)
    return picture


def draw_tank_bitmap():
    b = Bitmap(40, 56)
    b.ellipse(4, 2, 36, 14, STEEL)
    b.rect(4, 8, 36, 50, STEEL)
    b.rect(7, 24, 33, 47, WATER)
    b.line(7, 24, 32, 24, BLUE, 1)
    b.rect(8, 50, 12, 56, BLACK)
    b.rect(28, 50, 32, 56, BLACK)
    return b


def draw_tank_metafile(picture):
    picture.brush(STEEL)
    picture.pen(BLACK, 1)
    picture.ellipse(6, 2, 58, 22)
    picture.rect(6, 12, 58, 84)
    picture.brush(WATER)
    picture.rect(10, 40, 54, 80)
    picture.line(10, 40, 54, 40)
    picture.brush(BLACK)
    picture.rect(12, 84, 18, 96)
    picture.rect(46, 84, 52, 96)
    return picture


def draw_valve_bitmap(colour):
    b = Bitmap(48, 40)
    b.triangle(((2, 14), (2, 38), (24, 26)), colour)
    b.triangle(((46, 14), (46, 38), (24, 26)), colour)
    b.line(24, 26, 24, 8, BLACK, 2)
    b.rect(14, 2, 34, 8, STEEL)
    return b


def draw_valve_metafile(picture, colour):
    picture.brush(colour)
    picture.pen(BLACK, 1)
    picture.polygon([(2, 22), (2, 62), (32, 42)])
    picture.polygon([(62, 22), (62, 62), (32, 42)])
    picture.line(32, 42, 32, 12)
    picture.brush(STEEL)
    picture.rect(18, 2, 46, 12)
    return picture


GALLERY_CFG = """\
; Symbol gallery of the demo project: one section per category, numbered from 0.
[category.0]
name=Pumps
image=pumps\\pump.bmp
directory=pumps

[category.1]
name=Tanks
image=tanks\\tank.wmf
directory=tanks

[category.2]
name=Valves
image=valves\\valve-open.emf
directory=valves
"""


def pictures():
    return {
        "pumps/pump.bmp": draw_pump_bitmap().bmp_bytes(),
        "pumps/pump.emf": draw_pump_metafile(Emf(64, 64)).file_bytes(),
        "pumps/pump.wmf": draw_pump_metafile(Wmf(64, 64)).file_bytes(),
        "tanks/tank.bmp": draw_tank_bitmap().bmp_bytes(),
        "tanks/tank.wmf": draw_tank_metafile(Wmf(64, 96)).file_bytes(),
        "valves/valve-open.bmp": draw_valve_bitmap(GREEN).bmp_bytes(),
        "valves/valve-closed.bmp": draw_valve_bitmap(RED).bmp_bytes(),
        "valves/valve-open.emf": draw_valve_metafile(Emf(64, 64), GREEN).file_bytes(),
        "valves/valve-alarm.wmf": draw_valve_metafile(Wmf(64, 64), YELLOW).file_bytes(),
    }


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "examples/demo/gallery")
    root.mkdir(parents=True, exist_ok=True)
    (root / "gallery.cfg").write_text(GALLERY_CFG, encoding="ascii")
    for name, data in pictures().items():
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    print("wrote %d pictures and gallery.cfg to %s" % (len(pictures()), root))


if __name__ == "__main__":
    main()
