#!/usr/bin/env python3
"""Draws the stub's icons and bitmaps and the demo product's banner, and writes them as
Windows ICO and BMP files. No dependencies beyond the standard library; the output is
byte-for-byte reproducible, so the generated files are committed next to this script.

    python3 scripts/make_pictures.py            # rewrites resources/pictures/ and the demo banner
"""
import os
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The classic 16-colour palette: every picture of the stub uses it, so 4-bit files suffice.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)
CLEAR = -1  # transparent (icons only)


class Canvas:
    """A grid of palette indices with a few drawing primitives."""

    def __init__(self, width, height, fill):
        self.w, self.h = width, height
        self.px = [[fill] * width for _ in range(height)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):  # inclusive corners
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c, thick=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            for dy in range(thick):
                for dx in range(thick):
                    self.set(x + dx, y + dy, c)

    def art(self, x0, y0, rows, colours):
        """Pastes ASCII art; colours maps characters to indices, other characters are skipped."""
        for y, row in enumerate(rows):
            for x, ch in enumerate(row):
                if ch in colours:
                    self.set(x0 + x, y0 + y, colours[ch])

    def fill_clear(self, colour):
        """Makes the transparent pixels solid, for pasting an icon onto a picture."""
        for row in self.px:
            for x, v in enumerate(row):
                if v == CLEAR:
                    row[x] = colour
        return self

    def paste(self, x0, y0, other):
        for y in range(other.h):
            for x in range(other.w):
                self.set(x0 + x, y0 + y, other.px[y][x])


# ---- file writers -----------------------------------------------------------------------------


def rows_4bit(canvas, transparent_as=BLACK):
    """Bottom-up rows of 4-bit pixels, each padded to a multiple of four bytes."""
    out = b""
    for y in reversed(range(canvas.h)):
        row = bytearray()
        for x in range(0, canvas.w, 2):
            a = canvas.px[y][x]
            b = canvas.px[y][x + 1] if x + 1 < canvas.w else 0
            a = transparent_as if a == CLEAR else a
            b = transparent_as if b == CLEAR else b
            row.append((a << 4) | b)
        while len(row) % 4:
            row.append(0)
        out += bytes(row)
    return out


def mask_rows(canvas):
    """The icon's AND mask: 1 where transparent, bottom-up, rows padded to four bytes."""
    out = b""
    for y in reversed(range(canvas.h)):
        row = bytearray((canvas.w + 31) // 32 * 4)
        for x in range(canvas.w):
            if canvas.px[y][x] == CLEAR:
                row[x // 8] |= 0x80 >> (x % 8)
        out += bytes(row)
    return out


def palette_bytes(colours):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)


def info_header(width, height, bits, colours, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 2835, 2835,
                       colours, 0)


def bmp_file(width, height, bits, colours, pixels):
    dib = info_header(width, height, bits, len(colours), len(pixels)) + palette_bytes(colours)
    offset = 14 + len(dib)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + dib + pixels


def bmp_4bit(canvas):
    return bmp_file(canvas.w, canvas.h, 4, VGA, rows_4bit(canvas))


def ico_file(canvases):
    """An icon file holding one 16-colour image per canvas (square sizes up to 255)."""
    images = []
    for c in canvases:
        xor = rows_4bit(c)
        andm = mask_rows(c)
        images.append(info_header(c.w, c.h * 2, 4, 16, len(xor) + len(andm)) +
                      palette_bytes(VGA) + xor + andm)
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.w, c.h, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
    return out + b"".join(images)


# ---- the pictures -----------------------------------------------------------------------------


def icon_program(s):
    """107: a parcel with a green arrow going into it."""
    c = Canvas(s, s, CLEAR)
    u = s / 32
    c.rect(int(4 * u), int(14 * u), int(27 * u), int(29 * u), OLIVE)
    c.rect(int(5 * u), int(15 * u), int(26 * u), int(28 * u), YELLOW)
    c.frame(int(4 * u), int(14 * u), int(27 * u), int(29 * u), BLACK)
    c.rect(int(14 * u), int(14 * u), int(17 * u), int(29 * u), MAROON)  # tape
    c.rect(int(12 * u), int(1 * u), int(19 * u), int(8 * u), GREEN)  # arrow shaft
    for i in range(int(8 * u)):
        c.line(int(8 * u) + i, int(8 * u) + i, int(23 * u) - i, int(8 * u) + i, LIME)
    return c


def icon_folder(s):
    """108: a yellow folder."""
    c = Canvas(s, s, CLEAR)
    u = s / 32
    c.rect(int(2 * u), int(6 * u), int(13 * u), int(10 * u), OLIVE)  # tab
    c.rect(int(2 * u), int(9 * u), int(29 * u), int(27 * u), OLIVE)
    c.rect(int(3 * u), int(11 * u), int(28 * u), int(26 * u), YELLOW)
    c.frame(int(2 * u), int(9 * u), int(29 * u), int(27 * u), BLACK)
    return c


def icon_start(s):
    """109: a Start button: a raised grey key with a four-coloured flag."""
    c = Canvas(s, s, CLEAR)
    u = s / 32
    c.rect(int(1 * u), int(8 * u), int(30 * u), int(24 * u), SILVER)
    c.line(int(1 * u), int(8 * u), int(30 * u), int(8 * u), WHITE)
    c.line(int(1 * u), int(8 * u), int(1 * u), int(24 * u), WHITE)
    c.line(int(1 * u), int(24 * u), int(30 * u), int(24 * u), BLACK)
    c.line(int(30 * u), int(8 * u), int(30 * u), int(24 * u), BLACK)
    q = max(1, int(5 * u))
    x0, y0 = int(5 * u), int(11 * u)
    c.rect(x0, y0, x0 + q - 1, y0 + q - 1, RED)
    c.rect(x0 + q + 1, y0, x0 + 2 * q, y0 + q - 1, LIME)
    c.rect(x0, y0 + q + 1, x0 + q - 1, y0 + 2 * q, BLUE)
    c.rect(x0 + q + 1, y0 + q + 1, x0 + 2 * q, y0 + 2 * q, YELLOW)
    for i in range(3):  # a suggestion of the button's word
        y = int((12 + 4 * i) * u)
        c.line(int(18 * u), y, int(27 * u) - int(3 * i * u), y, BLACK)
    return c


def icon_question(s):
    """113: a white question mark on a blue disc."""
    c = Canvas(s, s, CLEAR)
    u = s / 32
    c.disc(16 * u, 16 * u, 15 * u, NAVY)
    c.disc(16 * u, 16 * u, 13 * u, BLUE)
    t = max(1, int(3 * u))
    c.rect(int(11 * u), int(7 * u), int(20 * u), int(7 * u) + t - 1, WHITE)  # top bar
    c.rect(int(19 * u), int(7 * u), int(19 * u) + t - 1, int(16 * u), WHITE)  # right side
    c.rect(int(14 * u), int(15 * u), int(21 * u), int(15 * u) + t - 1, WHITE)  # middle
    c.rect(int(14 * u), int(15 * u), int(14 * u) + t - 1, int(20 * u), WHITE)  # stem
    c.rect(int(14 * u), int(23 * u), int(14 * u) + t - 1, int(23 * u) + t - 1, WHITE)  # dot
    c.rect(int(11 * u), int(7 * u), int(11 * u) + t - 1, int(11 * u), WHITE)  # left hook
    return c


def icon_shortcut(s):
    """3000: a document page with the small curved shortcut arrow in its corner."""
    c = Canvas(s, s, CLEAR)
    u = s / 32
    c.rect(int(6 * u), int(2 * u), int(25 * u), int(29 * u), WHITE)
    c.frame(int(6 * u), int(2 * u), int(25 * u), int(29 * u), BLACK)
    for i in range(4):
        y = int((7 + 4 * i) * u)
        c.line(int(9 * u), y, int(22 * u), y, GREY)
    x0, y0 = int(2 * u), int(18 * u)
    b = int(12 * u)
    c.rect(x0, y0, x0 + b, y0 + b, WHITE)
    c.frame(x0, y0, x0 + b, y0 + b, BLACK)
    c.line(x0 + int(3 * u), y0 + b - int(3 * u), x0 + b - int(3 * u), y0 + int(3 * u), BLACK,
           max(1, int(2 * u)))
    c.line(x0 + int(5 * u), y0 + int(3 * u), x0 + b - int(3 * u), y0 + int(3 * u), BLACK,
           max(1, int(2 * u)))
    c.line(x0 + b - int(3 * u), y0 + int(3 * u), x0 + b - int(3 * u), y0 + int(8 * u), BLACK,
           max(1, int(2 * u)))
    return c


TICK = [
    "..............#.",
    ".............##.",
    "............##..",
    "...........##...",
    "..#.......##....",
    "..##.....##.....",
    "...##...##......",
    "....##.##.......",
    ".....###........",
    "......#.........",
]
CROSS = [
    "##......##",
    ".##....##.",
    "..##..##..",
    "...####...",
    "....##....",
    "...####...",
    "..##..##..",
    ".##....##.",
    "##......##",
]


# The step rows are painted white: the strip's cells share that ground, so an icon shows no box.
ROW_GROUND = WHITE


def hourglass(frame):
    """One 16x16 frame: the sand runs from the top bulb to the bottom one over frames 0..7,
    then the glass turns over (frames 8 and 9 show it lying and upside down half-way)."""
    c = Canvas(16, 16, ROW_GROUND)
    if frame == 8:  # on its side
        c.rect(1, 4, 1, 11, OLIVE)
        c.rect(14, 4, 14, 11, OLIVE)
        for x in range(2, 14):
            half = abs(x - 7.5)
            top = int(8 - half * 0.6) - 1
            c.set(x, 8 - int(half * 0.6) - 2, BLACK)
            c.set(x, 8 + int(half * 0.6) + 1, BLACK)
            if x >= 9:
                c.rect(x, top + 1, x, 16 - top - 2, YELLOW)
        return c
    c.rect(3, 1, 12, 1, OLIVE)
    c.rect(3, 14, 12, 14, OLIVE)
    top_sand = 6 - min(frame, 7) * 6 // 7  # rows of sand left in the top bulb
    bottom_sand = min(frame, 7) * 6 // 7
    for y in range(2, 14):
        half = abs(y - 7.5)
        width = int(half * 0.75) + 1
        c.set(7 - width, y, BLACK)
        c.set(8 + width, y, BLACK)
        in_top = 2 <= y <= 7 and y >= 8 - top_sand
        in_bottom = 8 <= y <= 13 and y >= 14 - bottom_sand
        if in_top or in_bottom:
            c.rect(8 - width, y, 7 + width, y, YELLOW)
    if 0 < frame < 8:
        c.set(7, 8, YELLOW)  # the falling stream
        c.set(8, 9, YELLOW)
    if frame == 9:  # upside down again: turned, sand on top
        c2 = Canvas(16, 16, ROW_GROUND)
        for y in range(16):
            c2.px[y] = list(c.px[15 - y])
        return c2
    return c


def step_strip():
    """106: 13 cells of 16x16: pending dot, tick, cross, then ten hourglass frames."""
    strip = Canvas(16 * 13, 16, ROW_GROUND)
    dot = Canvas(16, 16, ROW_GROUND)
    dot.disc(8, 8, 4.5, NAVY)
    dot.disc(8, 8, 3.5, BLUE)
    dot.set(6, 6, WHITE)
    tick = Canvas(16, 16, ROW_GROUND)
    tick.art(0, 3, TICK, {"#": GREEN})
    cross = Canvas(16, 16, ROW_GROUND)
    cross.art(3, 3, CROSS, {"#": RED})
    for k, cell in enumerate([dot, tick, cross] + [hourglass(f) for f in range(10)]):
        strip.paste(16 * k, 0, cell)
    return strip


def welcome_picture():
    """115: 48x48, a monitor with a parcel on its screen."""
    c = Canvas(48, 48, SILVER)
    c.rect(4, 4, 43, 33, GREY)
    c.frame(4, 4, 43, 33, BLACK)
    c.rect(7, 7, 40, 30, TEAL)
    c.rect(20, 34, 27, 38, GREY)
    c.rect(12, 39, 35, 42, GREY)
    c.frame(12, 39, 35, 42, BLACK)
    c.paste(12, 7, icon_program(24).fill_clear(TEAL))
    return c

# A 5x7 capital font, just the letters the banner needs.
FONT = {
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    " ": ["....."] * 7,
}


def demo_banner():
    """The demo's banner: 640x480, 256 colours, a blue-to-green gradient with the title."""
    w, h = 640, 480
    palette = [(0, int(40 + 120 * i / 253), int(200 - 150 * i / 253)) for i in range(254)]
    palette += [(255, 255, 255), (0, 0, 0)]
    text, shadow = 254, 255
    px = [[int(253 * y / (h - 1))] * w for y in range(h)]
    title, scale = "KORVEX DEMO", 8
    tw = len(title) * 6 * scale
    x0, y0 = (w - tw) // 2, 60
    for colour, off in ((shadow, 4), (text, 0)):
        for i, ch in enumerate(title):
            for gy, row in enumerate(FONT[ch]):
                for gx, bit in enumerate(row):
                    if bit != "#":
                        continue
                    for dy in range(scale):
                        for dx in range(scale):
                            px[y0 + off + gy * scale + dy][x0 + off + (i * 6 + gx) * scale + dx] = colour
    rows = b"".join(bytes(px[y]) for y in reversed(range(h)))  # 640 is a multiple of 4
    return bmp_file(w, h, 8, palette, rows)


def main():
    out = os.path.join(ROOT, "resources", "pictures")
    os.makedirs(out, exist_ok=True)
    files = {
        os.path.join(out, "program.ico"): ico_file([icon_program(32), icon_program(16)]),
        os.path.join(out, "folder.ico"): ico_file([icon_folder(32), icon_folder(16)]),
        os.path.join(out, "start.ico"): ico_file([icon_start(32), icon_start(16)]),
        os.path.join(out, "question.ico"): ico_file([icon_question(32), icon_question(16)]),
        os.path.join(out, "shortcut.ico"): ico_file([icon_shortcut(32), icon_shortcut(16)]),
        os.path.join(out, "steps.bmp"): bmp_4bit(step_strip()),
        os.path.join(out, "welcome.bmp"): bmp_4bit(welcome_picture()),
        os.path.join(ROOT, "examples", "demo", "banner.bmp"): demo_banner(),
    }
    for path, data in files.items():
        with open(path, "wb") as f:
            f.write(data)
        print(f"{os.path.relpath(path, ROOT)}: {len(data)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
