#!/usr/bin/env python3
"""Draws every skin picture of Quendrix Ombrelo 1.0.

    python3 tools/make_skin.py [resources dir]

Writes resources/skin/*.bmp, *.jpg and resources/app.ico for 100 % display
scale, and the same pictures drawn for 150 % and 200 % into
resources/skin150/ and resources/skin200/. The output depends only on this
script, Pillow and the Debian fonts named below, so a rerun rewrites
byte-identical files.

Every coordinate below is written for 100 % (96 DPI). A set for another scale
draws the same things at that scale: an edge at x goes to px(x), the
programme's own rounding rule (x * dpi / 96, halves up), so every picture has
exactly the size of the control it is drawn for at that scale and lines up
with the background it was cut from.

Conventions of the pictures (the programme relies on them):
  * button and logo bitmaps are 24-bit BI_RGB bottom-up BMPs of the control's
    exact size; everything outside the rounded shape is the key colour
    KEY, the bottom-left pixel is always outside the shape, and no pixel of
    the shape equals KEY. Shape edges are smoothed against the background
    the button sits on, never against the key colour;
  * the shape of a button is the same in all four states, so the window
    region does not jump when the look changes;
  * JPEGs are baseline (libjpeg decodes them).
"""

import math
import os
import struct
import sys

try:
    from PIL import Image, ImageDraw, ImageFilter, ImageFont
except ImportError:  # a python3 without the Debian Pillow in front on PATH
    system_python = "/usr/bin/python3"
    if os.path.realpath(sys.executable) != os.path.realpath(system_python) \
            and os.path.exists(system_python):
        os.execv(system_python, [system_python] + sys.argv)
    sys.exit("make_skin: Pillow is missing (Debian package python3-pil)")

LIBERATION = "/usr/share/fonts/truetype/liberation"
FONT_FILES = {
    "sans": LIBERATION + "/LiberationSans-Regular.ttf",
    "sans-bold": LIBERATION + "/LiberationSans-Bold.ttf",
    "sans-bold-italic": LIBERATION + "/LiberationSans-BoldItalic.ttf",
}

S = 4  # supersampling factor of the vector drawing
KEY = (255, 0, 255)
SETS = {100: "skin", 150: "skin150", 200: "skin200"}  # scale: folder
DPI = 96  # the DPI of the set being drawn


def px(v):
    """An edge at v (100 % units) at the scale being drawn: v * DPI / 96,
    rounded to the nearest pixel, halves up (as the programme does)."""
    if DPI == 96:
        return v
    return int(math.floor(v * DPI / 96.0 + 0.5))


def span(start, length):
    """The size at this scale of a span of `length` starting at `start`."""
    return px(start + length) - px(start)


def scale():
    return DPI / 96.0

# Palette: cool slate greys with the green of the progress bar as accent.
INK = (33, 47, 61)
SLATE_900 = (38, 55, 72)
SLATE_800 = (52, 73, 94)
SLATE_700 = (71, 94, 117)
SLATE_600 = (96, 118, 140)
SLATE_500 = (124, 143, 162)
SLATE_400 = (156, 171, 186)
SLATE_200 = (209, 218, 227)
SLATE_50 = (243, 245, 248)
WHITE = (255, 255, 255)
GREEN = (109, 193, 116)        # #6DC174, the bar's own green
GREEN_DARK = (61, 140, 70)
GREEN_DEEP = (44, 112, 53)
GREEN_LIGHT = (172, 222, 176)  # #ACDEB0
BLUE = (70, 120, 176)
BLUE_DARK = (45, 88, 140)
RED = (205, 83, 72)
RED_DARK = (160, 52, 44)

# Strips of the progress bar: edge column and middle column, top to bottom.
BAR_EDGE = ["#ACDEB0"] + ["#6DC174"] * 12 + ["#ACDEB0"]
BAR_FILL = ["#6DC174", "#EBF9EB", "#E1F9E1", "#D8F8D5", "#CBF3CA", "#C4F2C1",
            "#B3E2B0", "#B2E2B0", "#BFEEBC", "#C1EFBF", "#AFDFAD", "#A8D8A6",
            "#B3E4B2", "#6DC174"]

# Where the controls sit on the two skinned windows.
MAIN_SIZE = (577, 367)
PROGRESS_SIZE = (387, 136)
TITLE_H = 23                      # title strip rows 0..22
BAND_BOTTOM = 95                  # tool band ends above the bevel at y 96
STATUS_TOP = 339                  # status band below the bevel at y 336
MAIN_TITLE_BUTTONS = {"minimize": (533, 6), "close": (552, 6)}
PROGRESS_TITLE_BUTTON = (362, 6)
BIG_BUTTONS = [("start", "Start", (16, 32)), ("help", "Help", (104, 32)),
               ("exit", "Exit", (192, 32))]
SMALL_BUTTONS = [("add", "Add...", 104), ("remove", "Remove", 136),
                 ("clear", "Clear", 168), ("play", "Play", 200),
                 ("folder", "Select...", 304)]
SMALL_X = 496
LOGO_AT = (464, 40)
LOGO_SIZE = (98, 34)
TROUGH_AT = [(12, 53), (12, 104)]
TROUGH_SIZE = (361, 18)
STATES = ("none", "over", "down", "up")

_fonts = {}


def font(name, size, scaled=True):
    """The font at `size` (100 % pixels), drawn at the current scale unless
    `scaled` is false (for measuring a 100 % layout)."""
    real = int(round(size * scale())) if scaled else size
    if (name, real) not in _fonts:
        _fonts[name, real] = ImageFont.truetype(
            FONT_FILES[name], real, layout_engine=ImageFont.Layout.BASIC)
    return _fonts[name, real]


# --------------------------------------------------------------------------
# Writers


def write_bmp(path, img):
    """24-bit BI_RGB bottom-up BMP with a 40-byte BITMAPINFOHEADER."""
    img = img.convert("RGB")
    w, h = img.size
    stride = (w * 3 + 3) & ~3
    pad = b"\0" * (stride - w * 3)
    raw = img.tobytes("raw", "BGR")
    rows = [raw[y * w * 3:(y + 1) * w * 3] + pad for y in range(h - 1, -1, -1)]
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data),
                       2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def write_jpeg(path, img, quality=90):
    img.convert("RGB").save(path, "JPEG", quality=quality, subsampling=0,
                            progressive=False, optimize=True)


def write_ico(path, images):
    """Classic icon file: one 32-bit DIB entry (with AND mask) per image."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for img in images:
        w, h = img.size
        px = img.convert("RGBA").tobytes("raw", "BGRA")
        xor = b"".join(px[y * w * 4:(y + 1) * w * 4] for y in range(h - 1, -1, -1))
        mask_stride = ((w + 31) // 32) * 4
        alpha = img.getchannel("A").tobytes()
        and_rows = []
        for y in range(h - 1, -1, -1):
            bits = bytearray(mask_stride)
            for x in range(w):
                if alpha[y * w + x] == 0:
                    bits[x >> 3] |= 0x80 >> (x & 7)
            and_rows.append(bytes(bits))
        body = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0,
                           len(xor) + mask_stride * h, 0, 0, 0, 0)
        blob = body + xor + b"".join(and_rows)
        entries.append(struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32,
                                   len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)))
        f.write(b"".join(entries) + b"".join(blobs))


# --------------------------------------------------------------------------
# Drawing helpers


def hexrgb(s):
    return tuple(int(s[i:i + 2], 16) for i in (1, 3, 5))


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def vgrad(size, stops):
    """Vertical gradient through (position 0..1, colour) stops."""
    w, h = size
    col = Image.new("RGB", (1, h))
    for y in range(h):
        t = y / max(1, h - 1)
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if p0 <= t <= p1:
                col.putpixel((0, y), mix(c0, c1, (t - p0) / max(1e-9, p1 - p0)))
                break
    return col.resize((w, h), Image.NEAREST)


def rrect_mask(size, box, radius, real=None):
    """Coverage mask (L, `real` size) of a rounded rectangle given in 100 %
    pixel coordinates of a picture of `size` (box edges inclusive, like
    Pillow's)."""
    w, h = size
    rw, rh = real or (px(w), px(h))
    kx, ky = rw / w, rh / h
    hi = Image.new("L", (rw * S, rh * S), 0)
    x0, y0, x1, y1 = box
    ImageDraw.Draw(hi).rounded_rectangle(
        (x0 * kx * S, y0 * ky * S, (x1 + 1) * kx * S - 1, (y1 + 1) * ky * S - 1),
        radius * (kx + ky) / 2 * S, fill=255)
    return hi.resize((rw, rh), Image.BOX)


def band(d, box, fill):
    """Fills the 100 % rectangle box = (x0, y0, x1, y1), edges exclusive, at
    the current scale."""
    x0, y0, x1, y1 = box
    d.rectangle((px(x0), px(y0), px(x1) - 1, px(y1) - 1), fill=fill)


class Layer:
    """An RGBA drawing surface at S times the final size; `done()` scales it
    down with premultiplied alpha, so edges are smooth and carry no colour
    from transparent parts. Drawing coordinates are in 100 % pixels of a
    picture of `size`; the result has the `real` size (by default `size` at
    the current scale), the drawing stretched to fill it."""

    def __init__(self, size, real=None):
        self.size = tuple(real or (px(size[0]), px(size[1])))
        self.kx = self.size[0] / size[0]
        self.ky = self.size[1] / size[1]
        self.kr = (self.kx + self.ky) / 2
        self.img = Image.new("RGBA", (self.size[0] * S, self.size[1] * S), (0, 0, 0, 0))
        self.draw = ImageDraw.Draw(self.img)

    def X(self, x):
        return x * self.kx * S

    def Y(self, y):
        return y * self.ky * S

    def _do(self, paint, *colours):
        """Runs a drawing call; translucent colours are blended over what is
        there instead of replacing it."""
        if all(c is None or len(c) < 4 or c[3] == 255 for c in colours):
            paint(self.draw)
            return
        scratch = Image.new("RGBA", self.img.size, (0, 0, 0, 0))
        paint(ImageDraw.Draw(scratch))
        self.img.alpha_composite(scratch)

    def rrect(self, box, radius, fill=None, outline=None, width=1):
        x0, y0, x1, y1 = box
        self._do(lambda d: d.rounded_rectangle(
            (self.X(x0), self.Y(y0), self.X(x1) - 1, self.Y(y1) - 1),
            radius * self.kr * S, fill=fill,
            outline=outline, width=int(width * self.kr * S)), fill, outline)

    def ellipse(self, box, fill=None, outline=None, width=1):
        x0, y0, x1, y1 = box
        self._do(lambda d: d.ellipse(
            (self.X(x0), self.Y(y0), self.X(x1) - 1, self.Y(y1) - 1), fill=fill,
            outline=outline, width=int(round(width * self.kr * S))), fill, outline)

    def polygon(self, pts, fill):
        self._do(lambda d: d.polygon([(self.X(x), self.Y(y)) for x, y in pts],
                                     fill=fill), fill)

    def line(self, pts, fill, width):
        self._do(lambda d: d.line([(self.X(x), self.Y(y)) for x, y in pts], fill=fill,
                                  width=int(round(width * self.kr * S)), joint="curve"),
                 fill)

    def arc(self, box, start, end, fill, width):
        x0, y0, x1, y1 = box
        self._do(lambda d: d.arc((self.X(x0), self.Y(y0), self.X(x1) - 1, self.Y(y1) - 1),
                                 start, end, fill=fill,
                                 width=int(round(width * self.kr * S))), fill)

    def gradient_in(self, box, radius, stops):
        """Fills a rounded rectangle with a vertical gradient."""
        x0, y0, x1, y1 = box
        left, top = int(round(self.X(x0))), int(round(self.Y(y0)))
        w, h = int(round(self.X(x1))) - left, int(round(self.Y(y1))) - top
        grad = vgrad((w, h), stops).convert("RGBA")
        mask = Image.new("L", (w, h), 0)
        ImageDraw.Draw(mask).rounded_rectangle((0, 0, w - 1, h - 1),
                                               radius * self.kr * S, fill=255)
        self.img.paste(grad, (left, top), mask)

    def done(self):
        small = self.img.convert("RGBa").resize(self.size, Image.BOX)
        return small.convert("RGBA")


def over(base, layer_rgba, at=(0, 0)):
    """Composites an RGBA picture over an RGB one (in place)."""
    base.paste(layer_rgba, at, layer_rgba)


def text(img, xy, s, fnt, fill, anchor="la", shadow=None):
    """Text at the 100 % point xy, at the current scale (the font comes
    scaled from font())."""
    d = ImageDraw.Draw(img)
    at = (px(xy[0]), px(xy[1]))
    if shadow is not None:
        d.text((at[0], at[1] + max(1, int(scale()))), s, font=fnt, fill=shadow, anchor=anchor)
    d.text(at, s, font=fnt, fill=fill, anchor=anchor)


def text_width(s, fnt):
    return int(round(fnt.getlength(s)))


def cut_to_shape(img, coverage, threshold=40):
    """Pixels whose shape coverage is below the threshold become KEY; the
    rest keep their colour, nudged off KEY should one match it."""
    out = img.convert("RGB").copy()
    cov = coverage.load()
    px = out.load()
    w, h = out.size
    for y in range(h):
        for x in range(w):
            if cov[x, y] < threshold:
                px[x, y] = KEY
            elif px[x, y] == KEY:
                px[x, y] = (254, 0, 255)
    return out


# --------------------------------------------------------------------------
# Emblem: a film frame turning into a file, the product's mark


def emblem(size, plate=True):
    """The product mark at the given square size, RGBA."""
    n = size
    L = Layer((n, n), (n, n))
    u = n / 48.0
    if plate:
        L.rrect((0, 0, n, n), max(2, round(9 * u)), fill=SLATE_800 + (255,))
        L.gradient_in((max(1, round(u)), max(1, round(u)),
                       n - max(1, round(u)), n - max(1, round(u))),
                      max(2, round(8 * u)),
                      [(0, (92, 119, 146)), (1, (52, 74, 97))])
    # film frame
    fx0, fy0, fx1, fy1 = 6 * u, 10 * u, 35 * u, 36 * u
    L.rrect((fx0, fy0, fx1, fy1), 3 * u, fill=(246, 248, 250, 255))
    if n >= 24:
        hole = 2.6 * u
        x = fx0 + 3 * u
        while x + hole <= fx1 - 2 * u:
            L.rrect((x, fy0 + 1.6 * u, x + hole, fy0 + 1.6 * u + hole),
                    0.8 * u, fill=SLATE_700 + (255,))
            L.rrect((x, fy1 - 1.6 * u - hole, x + hole, fy1 - 1.6 * u),
                    0.8 * u, fill=SLATE_700 + (255,))
            x += 5 * u
        L.rrect((fx0 + 3 * u, fy0 + 6 * u, fx1 - 3 * u, fy1 - 6 * u), 1.5 * u,
                fill=(120, 150, 180, 255))
        # play mark in the picture area
        cx, cy = (fx0 + fx1) / 2, (fy0 + fy1) / 2
        L.polygon([(cx - 3.5 * u, cy - 4.5 * u), (cx - 3.5 * u, cy + 4.5 * u),
                   (cx + 4.5 * u, cy)], fill=(255, 255, 255, 255))
    else:
        L.rrect((fx0 + 2.5 * u, fy0 + 4 * u, fx1 - 2.5 * u, fy1 - 4 * u), 1.5 * u,
                fill=(120, 150, 180, 255))
    # green disc with an arrow: the conversion
    r = 11.5 * u
    cx, cy = 34 * u, 34 * u
    L.ellipse((cx - r - 1.5 * u, cy - r - 1.5 * u, cx + r + 1.5 * u,
               cy + r + 1.5 * u), fill=(255, 255, 255, 255) if plate
              else SLATE_900 + (255,))
    L.ellipse((cx - r, cy - r, cx + r, cy + r), fill=GREEN_DARK + (255,))
    L.ellipse((cx - r + 1 * u, cy - r + 0.6 * u, cx + r - 1 * u, cy + r - 1.2 * u),
              fill=GREEN + (255,))
    a = 6.5 * u
    L.polygon([(cx - a, cy - 2.2 * u), (cx + 0.5 * u, cy - 2.2 * u),
               (cx + 0.5 * u, cy - 6 * u), (cx + a + 0.5 * u, cy),
               (cx + 0.5 * u, cy + 6 * u), (cx + 0.5 * u, cy + 2.2 * u),
               (cx - a, cy + 2.2 * u)], fill=(255, 255, 255, 255))
    return L.done()


# --------------------------------------------------------------------------
# Backgrounds


def title_strip(img, width):
    """Light title strip with a hairline and a green accent underneath;
    `width` at 100 %."""
    strip = vgrad((px(width), px(TITLE_H)), [(0, (246, 248, 250)), (1, (218, 226, 234))])
    img.paste(strip, (0, 0))
    d = ImageDraw.Draw(img)
    band(d, (0, TITLE_H, width, TITLE_H + 1), SLATE_400)
    band(d, (0, TITLE_H + 1, width, TITLE_H + 2), GREEN)
    over(img, emblem(px(16)), (px(5), px(4)))


def title_button_well(img, box):
    """A recessed bed for title buttons, box = (x0, y0, x1, y1) exclusive."""
    x0, y0, x1, y1 = box
    L = Layer((x1 - x0, y1 - y0), (span(x0, x1 - x0), span(y0, y1 - y0)))
    L.rrect((0, 0, x1 - x0, y1 - y0), 5, fill=SLATE_400 + (150,))
    L.rrect((0, 1, x1 - x0, y1 - y0), 5, fill=(252, 253, 254, 255))
    L.rrect((0, 1, x1 - x0, y1 - y0 - 1), 5, fill=(198, 208, 219, 255))
    L.gradient_in((1, 2, x1 - x0 - 1, y1 - y0 - 1), 4,
                  [(0, (205, 214, 224)), (1, (222, 229, 236))])
    over(img, L.done(), (px(x0), px(y0)))


def window_frame(img, size):
    w, h = size
    d = ImageDraw.Draw(img)
    band(d, (0, 0, w, 1), SLATE_700)
    band(d, (0, h - 1, w, h), SLATE_700)
    band(d, (0, 0, 1, h), SLATE_700)
    band(d, (w - 1, 0, w, h), SLATE_700)
    band(d, (1, 1, w - 1, 2), WHITE)
    band(d, (1, 1, 2, TITLE_H), WHITE)


def main_background():
    w, h = MAIN_SIZE
    img = Image.new("RGB", (px(w), px(h)), SLATE_50)
    # tool band under the title strip
    tools = vgrad((px(w), span(TITLE_H + 2, BAND_BOTTOM - TITLE_H - 1)),
                  [(0, (236, 240, 244)), (1, (226, 232, 238))])
    img.paste(tools, (0, px(TITLE_H + 2)))
    # body, plain and light so the list, the edit field and the check box sit
    # calmly on it
    img.paste(Image.new("RGB", (px(w), span(BAND_BOTTOM, STATUS_TOP - BAND_BOTTOM)), (240, 242, 245)),
              (0, px(BAND_BOTTOM)))
    # status band at the bottom
    status = vgrad((px(w), span(STATUS_TOP, h - STATUS_TOP)),
                   [(0, (233, 237, 241)), (1, (221, 228, 235))])
    img.paste(status, (0, px(STATUS_TOP)))
    title_strip(img, w)
    title_button_well(img, (529, 3, 573, 20))
    window_frame(img, (w, h))
    # soft shelf under the three big buttons
    L = Layer((w, h))
    L.rrect((10, 28, 264, 93), 9, fill=(255, 255, 255, 70))
    L.rrect((10, 28, 264, 93), 9, outline=(200, 210, 220, 255), width=1)
    over(img, L.done())
    return img


def progress_background():
    w, h = PROGRESS_SIZE
    img = Image.new("RGB", (px(w), px(h)), (240, 242, 245))
    img.paste(vgrad((px(w), span(TITLE_H + 2, h - TITLE_H - 2)),
                    [(0, (240, 243, 246)), (1, (228, 233, 238))]),
              (0, px(TITLE_H + 2)))
    title_strip(img, w)
    title_button_well(img, (358, 3, 383, 20))
    # the programme draws no title on this window; it is painted in here in
    # the place and the colour the main window's title label has
    text(img, (24, 5), "Converting...", font("sans-bold", 11), INK)
    window_frame(img, (w, h))
    d = ImageDraw.Draw(img)
    band(d, (16, 82, w - 16, 83), SLATE_200)
    band(d, (16, 83, w - 16, 84), WHITE)
    return img


# --------------------------------------------------------------------------
# Buttons

FACES = {
    # state: border, face gradient top, bottom, caption colour, offset
    "none": (SLATE_500, (253, 254, 255), (222, 229, 236), INK, 0),
    "over": (GREEN_DARK, (250, 255, 250), (206, 236, 209), INK, 0),
    "down": (SLATE_600, (196, 207, 218), (221, 228, 235), INK, 1),
    "up": (SLATE_500, (253, 254, 255), (222, 229, 236), INK, 0),
}


def button_face(size, real, radius, state):
    """The rounded body of a push button, RGBA at its real size, and its
    shape coverage."""
    w, h = size
    border, top, bottom, _, _ = FACES[state]
    L = Layer(size, real)
    L.rrect((0, 0, w, h), radius, fill=border + (255,))
    if state == "down":
        L.gradient_in((1, 1, w - 1, h - 1), radius - 1,
                      [(0, mix(top, border, 0.25)), (0.25, top), (1, bottom)])
    else:
        L.gradient_in((1, 1, w - 1, h - 1), radius - 1,
                      [(0, (255, 255, 255)), (0.08, top), (1, bottom)])
    face = L.done()
    return face, rrect_mask(size, (0, 0, w - 1, h - 1), radius, real)


def cut_under(bg, at, size):
    """The background under a control placed at `at` with `size` (100 %),
    at the current scale, and that real size."""
    real = (span(at[0], size[0]), span(at[1], size[1]))
    return bg.crop((px(at[0]), px(at[1]), px(at[0]) + real[0], px(at[1]) + real[1])), real


def finish_button(bg, at, size, radius, paint):
    """Builds the four state pictures of one button."""
    under, real = cut_under(bg, at, size)
    pics = {}
    for state in STATES:
        face, cov = button_face(size, real, radius, state)
        img = under.copy()
        over(img, face)
        paint(img, state, FACES[state][4], real)
        pics[state] = cut_to_shape(img, cov)
    return pics


def glyph_layer(size, draw_fn, dx=0, dy=0, real=None):
    L = Layer(size, real)
    draw_fn(L, dx, dy)
    return L.done()


def disc(L, cx, cy, r, light, dark):
    L.ellipse((cx - r, cy - r, cx + r, cy + r), fill=dark + (255,))
    L.ellipse((cx - r + 1, cy - r + 0.8, cx + r - 1, cy + r - 1.4),
              fill=light + (255,))
    L.ellipse((cx - r + 3, cy - r + 1.5, cx + r - 3, cy - 1), fill=(255, 255, 255, 60))


def big_icon(name):
    def draw(L, dx, dy):
        cx, cy, r = 32.5 + dx, 19.5 + dy, 13
        if name == "start":
            disc(L, cx, cy, r, GREEN, GREEN_DEEP)
            L.polygon([(cx - 4, cy - 7), (cx - 4, cy + 7), (cx + 7.5, cy)],
                      fill=(255, 255, 255, 255))
        elif name == "help":
            disc(L, cx, cy, r, BLUE, BLUE_DARK)
            L.arc((cx - 5.2, cy - 8.5, cx + 5.2, cy + 1.6), 190, 400,
                  (255, 255, 255, 255), 2.8)
            L.line([(cx + 3.6, cy - 1.6), (cx + 0.6, cy + 1.2), (cx, cy + 2.8)],
                   (255, 255, 255, 255), 2.8)
            L.ellipse((cx - 1.8, cy + 4.6, cx + 1.8, cy + 8.2),
                      fill=(255, 255, 255, 255))
        elif name == "exit":
            disc(L, cx, cy, r, RED, RED_DARK)
            L.arc((cx - 7, cy - 6.5, cx + 7, cy + 7.5), 300, 600,
                  (255, 255, 255, 255), 2.6)
            L.line([(cx, cy - 8.5), (cx, cy + 0.5)], (255, 255, 255, 255), 2.8)
    return draw


def make_big(bg, name, caption, at):
    size = (65, 57)

    def paint(img, state, off, real):
        over(img, glyph_layer(size, big_icon(name), off, off, real))
        text(img, (32 + off, 49 + off), caption, font("sans-bold", 12),
             FACES[state][3], anchor="ms",
             shadow=None if state == "down" else (255, 255, 255))
    return finish_button(bg, at, size, 7, paint)


def small_glyph(name):
    def draw(L, dx, dy):
        x, y = 0, 0
        if name == "add":
            L.rrect((x + 3.5, y + 0.5, x + 6.5, y + 9.5), 1, fill=GREEN_DARK + (255,))
            L.rrect((x + 0.5, y + 3.5, x + 9.5, y + 6.5), 1, fill=GREEN_DARK + (255,))
        elif name == "remove":
            L.rrect((x + 0.5, y + 3.5, x + 9.5, y + 6.5), 1, fill=RED + (255,))
        elif name == "clear":
            L.line([(1.2, 1.2), (8.8, 8.8)], RED + (255,), 2.6)
            L.line([(8.8, 1.2), (1.2, 8.8)], RED + (255,), 2.6)
        elif name == "play":
            L.polygon([(1.5, 0), (1.5, 10), (9.5, 5)], fill=GREEN_DARK + (255,))
        elif name == "folder":
            L.rrect((0, 1, 5, 4), 1, fill=SLATE_700 + (255,))
            L.rrect((0, 2, 10, 10), 1.2, fill=SLATE_700 + (255,))
            L.rrect((1, 4, 9, 9), 0.8, fill=(150, 178, 206, 255))
    return draw


def make_small(bg, name, caption, at):
    size = (70, 25)
    fnt = font("sans-bold", 11)
    tw = text_width(caption, font("sans-bold", 11, scaled=False))
    gw, gap = 10, 5
    x0 = (size[0] - (gw + gap + tw)) // 2

    def paint(img, state, off, real):
        g = glyph_layer((10, 10), small_glyph(name))
        over(img, g, (px(x0 + off), px(8 + off)))
        text(img, (x0 + gw + gap + off, 17 + off), caption, fnt,
             FACES[state][3], anchor="ls",
             shadow=None if state == "down" else (255, 255, 255))
    return finish_button(bg, at, size, 5, paint)


TITLE_FACES = {
    # state: fill top, fill bottom, border, glyph
    "none": ((236, 241, 245), (214, 222, 230), SLATE_400, SLATE_800),
    "over": ((128, 152, 176), (94, 118, 142), SLATE_700, WHITE),
    "down": ((70, 92, 114), (92, 114, 136), SLATE_900, WHITE),
    "up": ((236, 241, 245), (214, 222, 230), SLATE_400, SLATE_800),
}
CLOSE_HOT = {
    "over": ((226, 110, 98), (196, 72, 62), RED_DARK, WHITE),
    "down": ((150, 46, 40), (178, 62, 54), (120, 34, 28), WHITE),
}


def make_title_button(bg, at, glyph):
    size = (17, 11)
    under, real = cut_under(bg, at, size)
    cov = rrect_mask(size, (0, 0, 16, 10), 3, real)
    pics = {}
    for state in STATES:
        top, bottom, border, ink = TITLE_FACES[state]
        if glyph == "cross" and state in CLOSE_HOT:
            top, bottom, border, ink = CLOSE_HOT[state]
        off = 1 if state == "down" else 0
        L = Layer(size, real)
        L.rrect((0, 0, 17, 11), 3, fill=border + (255,))
        L.gradient_in((1, 1, 16, 10), 2, [(0, top), (1, bottom)])
        img = under.copy()
        over(img, L.done())
        d = ImageDraw.Draw(img)
        if glyph == "bar":
            band(d, (5 + off, 6 + off, 12 + off, 8 + off), ink)
        else:
            G = Layer(size, real)
            cx, cy = 8.5 + off, 5.5 + off
            G.line([(cx - 2.9, cy - 2.9), (cx + 2.9, cy + 2.9)], ink + (255,), 1.7)
            G.line([(cx + 2.9, cy - 2.9), (cx - 2.9, cy + 2.9)], ink + (255,), 1.7)
            over(img, G.done())
        pics[state] = cut_to_shape(img, cov)
    return pics


# --------------------------------------------------------------------------
# Logo, trough, strips


def make_logo(bg):
    w, h = LOGO_SIZE
    under, real = cut_under(bg, LOGO_AT, LOGO_SIZE)
    L = Layer((w, h), real)
    L.rrect((0, 0, w, h), 8, fill=SLATE_900 + (255,))
    L.gradient_in((1, 1, w - 1, h - 1), 7, [(0, (84, 109, 134)), (1, (46, 66, 87))])
    img = under.copy()
    over(img, L.done())
    over(img, emblem(px(26), plate=False), (px(4), px(4)))
    text(img, (33, 15), "Quendrix", font("sans-bold", 13), WHITE, anchor="ls",
         shadow=SLATE_900)
    text(img, (33, 27), "Ombrelo 1.0", font("sans-bold", 10), GREEN_LIGHT,
         anchor="ls", shadow=SLATE_900)
    return cut_to_shape(img, rrect_mask((w, h), (0, 0, w - 1, h - 1), 8, real))


def make_trough(bg):
    w, h = TROUGH_SIZE
    img, real = cut_under(bg, TROUGH_AT[0], TROUGH_SIZE)
    L = Layer((w, h), real)
    L.rrect((0, 0, w, h), 3, fill=SLATE_400 + (255,))
    L.rrect((1, 1, w - 1, h - 1), 2, fill=(250, 251, 252, 255))
    L.gradient_in((1, 1, w - 1, h - 1), 2,
                  [(0, (196, 205, 215)), (0.15, (222, 228, 234)), (1, (246, 248, 250))])
    over(img, L.done())
    return img


def strip(colours):
    """A bar strip, one column at 100 %; at other scales the column is
    as wide and high as the scale makes it, its rows averaged by area."""
    img = Image.new("RGB", (1, len(colours)))
    for y, c in enumerate(colours):
        img.putpixel((0, y), hexrgb(c))
    if DPI != 96:
        img = img.resize((px(1), px(len(colours))), Image.BOX)
    return img


# --------------------------------------------------------------------------
# Dialog pictures


def codec_logo():
    w, h = 158, 44
    img = vgrad((px(w), px(h)), [(0, (44, 108, 196)), (1, (22, 66, 140))])
    L = Layer((w, h))
    # a soft light sweep behind the word
    L.ellipse((-40, -70, 200, 26), fill=(255, 255, 255, 26))
    over(img, L.done())
    text(img, (12, 35), "DivX", font("sans-bold-italic", 32), WHITE, anchor="ls",
         shadow=(16, 48, 104))
    f = font("sans-bold", 9)
    text(img, (146, 19), "VIDEO", f, (214, 230, 250), anchor="rs")
    text(img, (146, 31), "CODEC", f, (214, 230, 250), anchor="rs")
    d = ImageDraw.Draw(img)
    band(d, (104, 12, 105, 33), (120, 160, 220))
    return img


def shortcut_icon(size):
    """The application icon with the shell's shortcut arrow."""
    icon = emblem(size)
    L = Layer((size, size), (size, size))
    b = round(size * 0.34)
    y0 = size - b
    L.rrect((0, y0, b, size), 1.5, fill=(120, 120, 120, 255))
    L.rrect((1, y0 + 1, b - 1, size - 1), 1, fill=(255, 255, 255, 255))
    blue = (24, 96, 204, 255)
    L.line([(b * 0.28, y0 + b * 0.78), (b * 0.30, y0 + b * 0.50),
            (b * 0.45, y0 + b * 0.36), (b * 0.62, y0 + b * 0.34)], blue, 2.2)
    L.polygon([(b * 0.56, y0 + b * 0.12), (b * 0.84, y0 + b * 0.34),
               (b * 0.56, y0 + b * 0.58)], fill=blue)
    icon.alpha_composite(L.done())
    return icon


def shield(size):
    L = Layer((size, size), (size, size))
    n = size
    outline = [(n * 0.5, 0.3), (n - 0.8, n * 0.18), (n - 1.2, n * 0.55),
               (n * 0.5, n - 0.3), (1.2, n * 0.55), (0.8, n * 0.18)]
    L.polygon(outline, fill=(60, 70, 90, 255))
    inner = [(n * 0.5, 1.6), (n - 2, n * 0.24), (n - 2.4, n * 0.55),
             (n * 0.5, n - 1.8), (2.4, n * 0.55), (2, n * 0.24)]
    L.polygon(inner, fill=(244, 196, 48, 255))
    L.polygon([(n * 0.5, 1.6), (n - 2, n * 0.24), (n - 2.2, n * 0.5),
               (n * 0.5, n * 0.5)], fill=(52, 112, 200, 255))
    L.polygon([(n * 0.5, n * 0.5), (2.4, n * 0.55), (n * 0.5, n - 1.8)],
              fill=(52, 112, 200, 255))
    return L.done()


def cursor_arrow():
    pts = [(0, 0), (0, 16), (4, 12), (7, 18.5), (9.5, 17.5), (6.6, 11.4), (11.5, 11.4)]
    L = Layer((14, 21))
    L.polygon([(x + 1, y + 1) for x, y in pts], fill=(0, 0, 0, 255))
    inner = [(1.9, 3.6), (1.9, 13.6), (4.5, 10.9), (7.6, 17), (8.4, 16.7),
             (5.3, 10.3), (9.1, 10.3)]
    L.polygon(inner, fill=(255, 255, 255, 255))
    return L.done()


def elevation_hint():
    w, h = 315, 459
    img = vgrad((px(w), px(h)), [(0, (40, 96, 160)), (0.6, (30, 120, 170)), (1, (22, 80, 130))])
    L = Layer((w, h))
    L.ellipse((-120, 240, 420, 620), fill=(120, 200, 230, 40))
    L.ellipse((-80, 310, 360, 700), fill=(150, 220, 240, 30))
    over(img, L.done())

    # the selected desktop shortcut
    sel = Layer((w, h))
    sel.rrect((10, 6, 92, 92), 3, fill=(160, 205, 245, 90),
              outline=(200, 230, 255, 200), width=1)
    over(img, sel.done())
    over(img, shortcut_icon(px(48)), (px(27), px(10)))
    f = font("sans", 12)
    for i, line in enumerate(("Quendrix", "Ombrelo 1.0")):
        text(img, (51, 72 + i * 14), line, f, WHITE, anchor="ms",
             shadow=(10, 30, 60))

    # the context menu
    items = ["Open", "Open file location", "Run as administrator",
             "Troubleshoot compatibility", "Pin to Start", "Pin to taskbar", "-",
             "Send to", "-", "Cut", "Copy", "-", "Create shortcut", "Delete",
             "Rename", "-", "Properties"]
    item_h, sep_h = 21, 9
    mx, my = 52, 102
    mw = 252
    mh = 6 + sum(sep_h if s == "-" else item_h for s in items)
    shadow = Image.new("L", (px(w), px(h)), 0)
    band(ImageDraw.Draw(shadow), (mx + 4, my + 4, mx + mw + 4, my + mh + 4), 110)
    shadow = shadow.filter(ImageFilter.GaussianBlur(3 if DPI == 96 else 3 * scale()))
    img.paste(Image.new("RGB", (px(w), px(h)), (0, 0, 0)), (0, 0), shadow)
    d = ImageDraw.Draw(img)
    band(d, (mx, my, mx + mw, my + mh), (241, 241, 241))
    for edge in ((mx, my, mx + mw, my + 1), (mx, my + mh - 1, mx + mw, my + mh),
                 (mx, my, mx + 1, my + mh), (mx + mw - 1, my, mx + mw, my + mh)):
        band(d, edge, (151, 151, 151))
    gutter = mx + 29
    band(d, (gutter, my + 1, gutter + 1, my + mh - 1), (226, 227, 227))
    band(d, (gutter + 1, my + 1, gutter + 2, my + mh - 1), WHITE)
    y = my + 3
    target = None
    for s in items:
        if s == "-":
            band(d, (gutter + 2, y + 4, mx + mw - 3, y + 5), (224, 224, 224))
            band(d, (gutter + 2, y + 5, mx + mw - 3, y + 6), WHITE)
            y += sep_h
            continue
        if s == "Run as administrator":
            target = y
            hl = Layer((w, h))
            hl.rrect((mx + 3, y, mx + mw - 3, y + item_h), 3,
                     fill=(221, 236, 252, 255), outline=(168, 208, 246, 255))
            over(img, hl.done())
            over(img, shield(px(16)), (px(mx + 7), px(y + 2)))
        fnt = font("sans-bold" if s == "Open" else "sans", 12)
        text(img, (gutter + 9, y + 15), s, fnt, (0, 0, 0), anchor="ls")
        if s == "Send to":
            d.polygon([(px(mx + mw - 14), px(y + 6)), (px(mx + mw - 14), px(y + 14)),
                       (px(mx + mw - 10), px(y + 10))], fill=(0, 0, 0))
        y += item_h

    # red ring around the entry, and the pointer resting on it
    ring = Layer((w, h))
    ring.ellipse((mx - 14, target - 5, mx + 214, target + item_h + 5),
                 outline=(226, 28, 28, 255), width=3)
    over(img, ring.done())
    over(img, cursor_arrow(), (px(mx + 178), px(target + 8)))
    return img


# --------------------------------------------------------------------------


def draw_set(skin):
    """Draws every picture at the current scale into the folder `skin`."""
    os.makedirs(skin, exist_ok=True)

    def out(name):
        return os.path.join(skin, name)

    bg = main_background()
    write_jpeg(out("main_background.jpg"), bg)
    write_bmp(out("main_logo.bmp"), make_logo(bg))
    for name, at in MAIN_TITLE_BUTTONS.items():
        pics = make_title_button(bg, at, "bar" if name == "minimize" else "cross")
        for state in STATES:
            write_bmp(out("main_%s_%s.bmp" % (name, state)), pics[state])
    for name, caption, at in BIG_BUTTONS:
        pics = make_big(bg, name, caption, at)
        for state in STATES:
            write_bmp(out("main_%s_%s.bmp" % (name, state)), pics[state])
    for name, caption, top in SMALL_BUTTONS:
        pics = make_small(bg, name, caption, (SMALL_X, top))
        for state in STATES:
            write_bmp(out("main_%s_%s.bmp" % (name, state)), pics[state])

    pbg = progress_background()
    trough = make_trough(pbg)
    face = pbg.copy()
    for at in TROUGH_AT:
        face.paste(trough, (px(at[0]), px(at[1])))
    write_bmp(out("progress_background.bmp"), face)
    write_bmp(out("progress_trough.bmp"), trough)
    pics = make_title_button(pbg, PROGRESS_TITLE_BUTTON, "cross")
    for state in STATES:
        write_bmp(out("progress_close_%s.bmp" % state), pics[state])
    write_bmp(out("progress_edge.bmp"), strip(BAR_EDGE))
    write_bmp(out("progress_fill.bmp"), strip(BAR_FILL))

    write_jpeg(out("codec_logo.jpg"), codec_logo(), quality=92)
    write_jpeg(out("elevation_hint.jpg"), elevation_hint(), quality=90)


def main():
    global DPI
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "resources"))
    for percent, folder in sorted(SETS.items()):
        DPI = percent * 96 // 100
        draw_set(os.path.join(root, folder))
    DPI = 96
    # The icon: its small sizes for 100, 125, 150 and 200 %, its large ones
    # for 100, 125, 150 and 200 %.
    write_ico(os.path.join(root, "app.ico"), [emblem(n) for n in (64, 48, 40, 32, 24, 20, 16)])


if __name__ == "__main__":
    main()
