#!/usr/bin/env python3
"""Checks the shipped skin pictures.

    python3 tests/skin/check_skin.py [resources dir]

The resources folder defaults to ../../resources beside this script. Every
picture is checked for what the programme relies on when it loads and shows
it: file format, bit depth, exact size, the key colour of transparent
pictures, the exact colours of the progress bar strips, and the sizes held
by the application icon. The sets drawn for 150 % and 200 % (skin150/,
skin200/) are checked the same way, each picture at the size of its control
at that scale (an edge at x goes to x * dpi / 96 rounded, halves up, as the
programme places it). Uses the standard library only.

Prints every failure and a one-line summary; exits 1 when anything failed.
"""

import os
import struct
import sys
from collections import deque

TITLE, BIG, SMALL = (17, 11), (65, 57), (70, 25)
STATES = ("none", "over", "down", "up")
SETS = [("skin", 96), ("skin150", 144), ("skin200", 192)]

# Buttons: four state pictures each, cut to the shape of their non-key
# pixels; with the place of the button, which decides its size at a scale.
BUTTONS = [
    ("main_minimize", TITLE, (533, 6)), ("main_close", TITLE, (552, 6)),
    ("progress_close", TITLE, (362, 6)),
    ("main_start", BIG, (16, 32)), ("main_help", BIG, (104, 32)), ("main_exit", BIG, (192, 32)),
    ("main_add", SMALL, (496, 104)), ("main_remove", SMALL, (496, 136)),
    ("main_clear", SMALL, (496, 168)), ("main_play", SMALL, (496, 200)),
    ("main_folder", SMALL, (496, 304)),
]

# The two 1 x 14 strips the progress bars are painted from, top to bottom.
STRIPS = {
    "progress_edge.bmp": ["ACDEB0"] + ["6DC174"] * 12 + ["ACDEB0"],
    "progress_fill.bmp": ["6DC174", "EBF9EB", "E1F9E1", "D8F8D5", "CBF3CA",
                          "C4F2C1", "B3E2B0", "B2E2B0", "BFEEBC", "C1EFBF",
                          "AFDFAD", "A8D8A6", "B3E4B2", "6DC174"],
}

# Opaque pictures: name, kind, size, place.
PLAIN = [
    ("main_background.jpg", "jpeg", (577, 367), (0, 0)),
    ("progress_background.bmp", "bmp", (387, 136), (0, 0)),
    ("progress_trough.bmp", "bmp", (361, 18), (12, 53)),
    ("codec_logo.jpg", "jpeg", (158, 44), (0, 0)),
    ("elevation_hint.jpg", "jpeg", (315, 459), (0, 0)),
]
LOGO = ("main_logo.bmp", (98, 34), (464, 40))
# The small and large icon at 100, 150 and 200 %.
ICON_SIZES_REQUIRED = [(16, 16), (24, 24), (32, 32), (48, 48), (64, 64)]
BUDGET = 1024 * 1024  # all pictures of the 100 % set together; a set for a
                      # larger scale may take the square of its scale times it


def scaled(size, at, dpi):
    """The size at that DPI of a control of `size` placed at `at`."""
    def px(v):
        return (v * dpi + 48) // 96
    return (px(at[0] + size[0]) - px(at[0]), px(at[1] + size[1]) - px(at[1]))


class Bad(Exception):
    pass


# --------------------------------------------------------------------------
# Readers


def read_bmp(path, size):
    """Reads a 24-bit BI_RGB BMP of the given size; returns rows top to
    bottom, each a list of (r, g, b)."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 54 or data[:2] != b"BM":
        raise Bad("not a BMP file")
    file_size, off = struct.unpack_from("<I4xI", data, 2)
    (hsize, w, h, planes, bpp, comp, _, _, _, used, _) = struct.unpack_from(
        "<IiiHHIIiiII", data, 14)
    if hsize != 40:
        raise Bad("header is %d bytes, not a 40-byte BITMAPINFOHEADER" % hsize)
    if bpp != 24 or planes != 1:
        raise Bad("%d bits per pixel, not 24" % bpp)
    if comp != 0:
        raise Bad("compression %d, not BI_RGB" % comp)
    if h < 0:
        raise Bad("top-down rows, not bottom-up")
    if (w, h) != size:
        raise Bad("%dx%d, not %dx%d" % (w, h, size[0], size[1]))
    if used != 0:
        raise Bad("carries a colour table")
    stride = (w * 3 + 3) & ~3
    if off < 54 or off + stride * h > len(data):
        raise Bad("pixel data truncated")
    if file_size != len(data):
        raise Bad("file size field %d, file has %d bytes" % (file_size, len(data)))
    rows = []
    for y in range(h - 1, -1, -1):
        row = data[off + y * stride: off + y * stride + w * 3]
        rows.append([(row[i + 2], row[i + 1], row[i]) for i in range(0, w * 3, 3)])
    return rows


def check_jpeg(path, size):
    """Baseline JPEG of the given size, as libjpeg reads it."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"\xff\xd8":
        raise Bad("not a JPEG file")
    if not data.rstrip(b"\0").endswith(b"\xff\xd9"):
        raise Bad("no end-of-image marker")
    i = 2
    while i + 4 <= len(data):
        if data[i] != 0xFF:
            raise Bad("broken marker structure at byte %d" % i)
        marker = data[i + 1]
        if marker == 0xFF:  # fill byte
            i += 1
            continue
        length = struct.unpack_from(">H", data, i + 2)[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            if marker != 0xC0:
                raise Bad("frame type SOF%d, not baseline (SOF0)" % (marker - 0xC0))
            precision, h, w, comps = struct.unpack_from(">BHHB", data, i + 4)
            if precision != 8:
                raise Bad("%d-bit samples" % precision)
            if comps not in (1, 3):
                raise Bad("%d colour components" % comps)
            if (w, h) != size:
                raise Bad("%dx%d, not %dx%d" % (w, h, size[0], size[1]))
            return
        if marker == 0xDA:
            break
        i += 2 + length
    raise Bad("no frame header before the scan")


def check_icon(path):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 6:
        raise Bad("not an icon file")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count == 0 or 6 + 16 * count > len(data):
        raise Bad("not an icon file")
    sizes = []
    for n in range(count):
        w, h, _, _, _, _, length, off = struct.unpack_from("<BBBBHHII", data, 6 + 16 * n)
        w, h = w or 256, h or 256
        blob = data[off:off + length]
        if off + length > len(data) or len(blob) < 40:
            raise Bad("image %d (%dx%d) lies outside the file" % (n, w, h))
        if blob[:8] == b"\x89PNG\r\n\x1a\n":
            pw, ph = struct.unpack_from(">II", blob, 16)
            if (pw, ph) != (w, h):
                raise Bad("image %d: directory says %dx%d, PNG is %dx%d" % (n, w, h, pw, ph))
        else:
            hsize, bw, bh, _, bpp = struct.unpack_from("<IiiHH", blob, 0)
            if hsize != 40 or (bw, bh) != (w, 2 * h) or bpp not in (1, 4, 8, 24, 32):
                raise Bad("image %d: bad bitmap header for %dx%d" % (n, w, h))
            stride = ((w * bpp + 31) // 32) * 4
            mask = ((w + 31) // 32) * 4
            palette = 4 * (1 << bpp) if bpp <= 8 else 0
            if 40 + palette + (stride + mask) * h > len(blob):
                raise Bad("image %d (%dx%d): pixel data truncated" % (n, w, h))
        sizes.append((w, h))
    missing = [s for s in ICON_SIZES_REQUIRED if s not in sizes]
    if missing:
        raise Bad("no %s image (has %s)" % (", ".join("%dx%d" % s for s in missing),
                                           ", ".join("%dx%d" % s for s in sizes)))


# --------------------------------------------------------------------------
# Key colour


def shape_of(rows, key):
    """The shape (set of non-key pixels) of a keyed picture, after checking
    that the key colour lies only around it: every key pixel must reach the
    picture's border through key pixels, and the shape must be one piece."""
    h, w = len(rows), len(rows[0])
    keyed = [[p == key for p in row] for row in rows]
    for x, y in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
        if not keyed[y][x]:
            raise Bad("corner %d,%d is %s but the key colour (the bottom-left "
                      "pixel) is %s: the surroundings must be the key colour"
                      % (x, y, hexcol(rows[y][x]), hexcol(key)))

    def flood(start, want):
        seen = set(start)
        todo = deque(start)
        while todo:
            x, y = todo.popleft()
            for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                if 0 <= nx < w and 0 <= ny < h and (nx, ny) not in seen \
                        and keyed[ny][nx] == want:
                    seen.add((nx, ny))
                    todo.append((nx, ny))
        return seen

    border = [(x, y) for y in range(h) for x in range(w)
              if keyed[y][x] and (x in (0, w - 1) or y in (0, h - 1))]
    outside = flood(border, True)
    enclosed = [(x, y) for y in range(h) for x in range(w)
                if keyed[y][x] and (x, y) not in outside]
    if enclosed:
        raise Bad("%d pixel(s) of the key colour %s inside the shape, first at %d,%d"
                  % (len(enclosed), hexcol(key), enclosed[0][0], enclosed[0][1]))
    shape = {(x, y) for y in range(h) for x in range(w) if not keyed[y][x]}
    if not shape:
        raise Bad("every pixel is the key colour")
    pieces, left = [], set(shape)
    while left:
        piece = flood([min(left, key=lambda p: (p[1], p[0]))], False)
        pieces.append(piece)
        left -= piece
    if len(pieces) > 1:
        stray = sorted(pieces, key=len)[:-1]
        first = min(min(p, key=lambda q: (q[1], q[0])) for p in stray)
        raise Bad("shape falls apart into %d pieces (%d stray pixel(s), first "
                  "at %d,%d)" % (len(pieces), sum(map(len, stray)), first[0], first[1]))
    return shape


def hexcol(c):
    return "#%02X%02X%02X" % c


# --------------------------------------------------------------------------


def check_set(root, folder, dpi, failures):
    """Checks one set; returns the names checked."""
    skin = os.path.join(root, folder)
    checked = []
    full = dpi == 96

    def check(name, fn):
        checked.append(name)
        path = os.path.join(skin, name) if name != "app.ico" else os.path.join(root, name)
        label = name if full or name == "app.ico" else "%s/%s" % (folder, name)
        if not os.path.isfile(path):
            failures.append((label, "missing"))
            return
        try:
            fn(path)
        except Bad as e:
            failures.append((label, str(e)))

    for name, kind, size, at in PLAIN:
        size = scaled(size, at, dpi)
        check(name, (lambda p, s=size: check_jpeg(p, s)) if kind == "jpeg"
              else (lambda p, s=size: read_bmp(p, s)))

    def strip(path, colours):
        rows = read_bmp(path, scaled((1, len(colours)), (0, 0), dpi))
        if not full:
            # Rows averaged by area: the ends keep their colour.
            for y, want in ((0, colours[0]), (len(rows) - 1, colours[-1])):
                if hexcol(rows[y][0]) != "#" + want:
                    raise Bad("row %d is %s, not #%s" % (y, hexcol(rows[y][0]), want))
            return
        for y, (row, want) in enumerate(zip(rows, colours)):
            if hexcol(row[0]) != "#" + want:
                raise Bad("row %d is %s, not #%s" % (y, hexcol(row[0]), want))
    for name, colours in STRIPS.items():
        check(name, lambda p, c=colours: strip(p, c))

    def logo(path):
        rows = read_bmp(path, scaled(LOGO[1], LOGO[2], dpi))
        shape_of(rows, rows[-1][0])
    check(LOGO[0], logo)

    for base, size, at in BUTTONS:
        size = scaled(size, at, dpi)
        key_and_shape = {}

        def none_pic(path, size=size, memo=key_and_shape):
            rows = read_bmp(path, size)
            memo["key"] = rows[-1][0]
            memo["shape"] = shape_of(rows, memo["key"])
        check("%s_none.bmp" % base, none_pic)

        def state_pic(path, size=size, memo=key_and_shape):
            rows = read_bmp(path, size)
            if "key" not in memo:
                return  # the base picture is unreadable; reported with it
            if rows[-1][0] != memo["key"]:
                raise Bad("surroundings are %s, the base picture's key is %s"
                          % (hexcol(rows[-1][0]), hexcol(memo["key"])))
            shape = shape_of(rows, memo["key"])
            if "shape" in memo and shape != memo["shape"]:
                raise Bad("shape differs from the base picture's, so the "
                          "button's outline would change with its look")
        for state in STATES[1:]:
            check("%s_%s.bmp" % (base, state), state_pic)

    if full:
        check("app.ico", check_icon)

    shipped = set(os.listdir(skin)) if os.path.isdir(skin) else set()
    for name in sorted(shipped - set(checked)):
        failures.append(("%s/%s" % (folder, name), "not a picture of the skin (stale or misnamed?)"))
    total = sum(os.path.getsize(os.path.join(skin, n)) for n in shipped
                if os.path.isfile(os.path.join(skin, n)))
    if full and os.path.isfile(os.path.join(root, "app.ico")):
        total += os.path.getsize(os.path.join(root, "app.ico"))
    budget = BUDGET * dpi * dpi // (96 * 96)
    if total > budget:
        failures.append(("all pictures of %s" % folder, "%d bytes, over the budget of %d" % (total, budget)))
    return checked


def run(root):
    failures = []
    checked = []
    for folder, dpi in SETS:
        checked += check_set(root, folder, dpi, failures)

    for name, why in failures:
        print("FAIL %s: %s" % (name, why))
    failed = len({name for name, _ in failures})
    print("skin: %d pictures checked in %d sets, %d failed" % (len(checked), len(SETS), failed))
    return 1 if failures else 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "resources")
    sys.exit(run(os.path.abspath(root)))


if __name__ == "__main__":
    main()
