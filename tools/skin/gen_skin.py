#!/usr/bin/python3
"""Draws every Quillmoor launcher skin picture from scratch.

Writes res/png/<id>.png and res/icon/quillmoor.ico.  Run with Debian's
/usr/bin/python3 (needs python3-pil, python3-numpy, fonts-dejavu-core and
fonts-linuxlibertine).  Output is deterministic: no clocks, fixed seeds.

  /usr/bin/python3 tools/skin/gen_skin.py [--sheet /tmp/skin_sheet.png]
"""
import io
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
PNG_DIR = os.path.join(ROOT, "res", "png")
ICO_PATH = os.path.join(ROOT, "res", "icon", "quillmoor.ico")

FONT_DIRS = {"dv": "/usr/share/fonts/truetype/dejavu/",
             "ll": "/usr/share/fonts/opentype/linux-libertine/"}
SANS = FONT_DIRS["dv"] + "DejaVuSans.ttf"
SANS_B = FONT_DIRS["dv"] + "DejaVuSans-Bold.ttf"
SERIF_B = FONT_DIRS["ll"] + "LinLibertine_RB.otf"     # wordmark and titles
SERIF_Z = FONT_DIRS["ll"] + "LinLibertine_RZ.otf"     # semibold: tab labels
SERIF_I = FONT_DIRS["ll"] + "LinLibertine_RI.otf"     # tagline

# Palette: night blues, gold, parchment.
FRAME_BLUE = (22, 78, 121)        # the game window's frame colour
GOLD_HI, GOLD, GOLD_LO = (252, 226, 150), (214, 170, 88), (128, 90, 38)
PARCH, INK = (236, 222, 186), (58, 40, 24)
TEXT_LIGHT = (232, 220, 188)
DARK_FLOOR = np.array([6, 8, 14])  # darkest colour a keyed button face may use


# ---------------------------------------------------------------- engine --
def rgb(c):
    return np.array(c[:3], np.float32) / 255.0


def font(path, size):
    return ImageFont.truetype(path, int(round(size)))


class Layer:
    """A picture of w x h pixels held at s x s supersampling as premultiplied
    float RGBA, so shapes drawn on it come out antialiased after down()."""

    def __init__(self, w, h, s=1):
        self.w, self.h, self.s = w, h, s
        self.px = np.zeros((h * s, w * s, 4), np.float32)

    # coordinates are given in output pixels; these are the sample centres
    def xs(self):
        return ((np.arange(self.w * self.s) + 0.5) / self.s)[None, :]

    def ys(self):
        return ((np.arange(self.h * self.s) + 0.5) / self.s)[:, None]

    def paint(self, mask, colour, alpha=1.0):
        """Source-over: colour (a tuple or an array broadcastable to HxWx3)
        through a float coverage mask."""
        m = (np.clip(mask, 0, 1) * alpha)[..., None]
        c = rgb(colour) if isinstance(colour, tuple) else colour
        self.px[..., :3] = c * m + self.px[..., :3] * (1 - m)
        self.px[..., 3:] = m + self.px[..., 3:] * (1 - m)

    def down(self):
        s = self.s
        out = Layer(self.w, self.h, 1)
        out.px = self.px.reshape(self.h, s, self.w, s, 4).mean(axis=(1, 3))
        return out

    def draw(self, fn):
        """Coverage mask from a PIL drawing callback fn(draw, scale)."""
        im = Image.new("L", (self.w * self.s, self.h * self.s), 0)
        fn(ImageDraw.Draw(im), self.s)
        return np.asarray(im, np.float32) / 255.0

    def straight(self):
        a = self.px[..., 3:]
        return np.where(a > 0, self.px[..., :3] / np.maximum(a, 1e-6), 0)


def ellipse(L, cx, cy, rx, ry=None):
    ry = rx if ry is None else ry
    return L.draw(lambda d, s: d.ellipse(
        [(cx - rx) * s, (cy - ry) * s, (cx + rx) * s - 1, (cy + ry) * s - 1], fill=255))


def rrect(L, x0, y0, x1, y1, r=0):
    """Rounded rectangle covering [x0,x1) x [y0,y1)."""
    return L.draw(lambda d, s: d.rounded_rectangle(
        [x0 * s, y0 * s, x1 * s - 1, y1 * s - 1], radius=r * s, fill=255))


def poly(L, pts):
    return L.draw(lambda d, s: d.polygon([(x * s, y * s) for x, y in pts], fill=255))


def line(L, pts, w):
    return L.draw(lambda d, s: d.line([(x * s, y * s) for x, y in pts],
                                      fill=255, width=max(1, int(round(w * s))), joint="curve"))


def text(L, x, y, txt, path, size, anchor="mm", stroke=0):
    return L.draw(lambda d, s: d.text((x * s, y * s), txt, font=font(path, size * s),
                                      fill=255, anchor=anchor, stroke_width=int(stroke * s),
                                      stroke_fill=255))


def blur(L, m, r):
    im = Image.fromarray(np.uint8(np.clip(m, 0, 1) * 255 + 0.5))
    return np.asarray(im.filter(ImageFilter.GaussianBlur(r * L.s)), np.float32) / 255.0


def shift(m, dx, dy):
    """Moves a mask by whole samples (used for drop shadows)."""
    out = np.zeros_like(m)
    h, w = m.shape
    out[max(dy, 0):h + min(dy, 0), max(dx, 0):w + min(dx, 0)] = \
        m[max(-dy, 0):h + min(-dy, 0), max(-dx, 0):w + min(-dx, 0)]
    return out


def ramp(t, stops):
    """Multi-stop colour ramp: t is an array, stops [(pos, colour), ...]."""
    pos = [p for p, _ in stops]
    return np.stack([np.interp(t, pos, [c[i] / 255.0 for _, c in stops])
                     for i in range(3)], axis=-1).astype(np.float32)


def vgrad(L, y0, y1, stops):
    return ramp(np.clip((L.ys() - y0) / (y1 - y0), 0, 1), stops)


def rgrad(L, cx, cy, r, stops):
    d = np.hypot(L.xs() - cx, L.ys() - cy) / r
    return ramp(np.clip(d, 0, 1), stops)


def sparkle(L, x, y, r, w=0.22):
    """Four-pointed star."""
    k = r * w
    return np.maximum(poly(L, [(x - r, y), (x, y - k), (x + r, y), (x, y + k)]),
                      poly(L, [(x, y - r), (x + k, y), (x, y + r), (x - k, y)]))


def diamond(L, x, y, rx, ry=None):
    ry = rx if ry is None else ry
    return poly(L, [(x - rx, y), (x, y - ry), (x + rx, y), (x, y + ry)])


def hrule(L, xa, xb, y, h=1.0, power=1.2):
    """Pixel-aligned horizontal rule, full strength at xa fading out by xb
    (fading the strength instead of the thickness keeps it crisp)."""
    m = rrect(L, min(xa, xb), y, max(xa, xb), y + h)
    return m * (1 - np.clip((L.xs() - xa) / (xb - xa), 0, 1)) ** power


# --------------------------------------------------------------- outputs --
def to_straight_image(L):
    a = L.px[..., 3]
    c = L.straight()
    out = np.zeros((L.h, L.w, 4), np.uint8)
    out[..., :3] = np.clip(np.round(c * 255), 0, 255)
    out[..., 3] = np.clip(np.round(a * 255), 0, 255)
    out[out[..., 3] == 0] = 0
    return Image.fromarray(out, "RGBA")


def to_premult_image(L):
    """Colours stay multiplied by alpha (for the compositor that shows the
    splash and the exit box as they are)."""
    out = np.clip(np.round(L.px * 255), 0, 255).astype(np.uint8)
    out[..., :3] = np.minimum(out[..., :3], out[..., 3:])
    return Image.fromarray(out, "RGBA")


def to_keyed_image(L, bg, thr=0.1):
    """Button face for the black-keyed blitter: every pixel is either fully
    transparent black or fully opaque.  Soft edges and glows are flattened
    onto bg (the known colours underneath, HxWx3 floats) so they stay smooth
    without the dark fringe a half-transparent pixel would get."""
    a = L.px[..., 3:]
    c = L.px[..., :3] + bg * (1 - a)
    c = np.maximum(np.clip(np.round(c * 255), 0, 255), DARK_FLOOR)
    on = a[..., 0] >= thr
    out = np.zeros((L.h, L.w, 4), np.uint8)
    out[on, :3] = c[on]
    out[on, 3] = 255
    return Image.fromarray(out, "RGBA")


SIZES = {}
WRITTEN = {}
ZOPFLI = shutil.which("zopfli")


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def recompressed(png):
    """The same PNG with its image data deflated again by zopfli (Debian
    package zopfli) when that is installed and smaller. The filtered rows
    stay as they are, so the pixels and the colour type cannot change; the
    decoded pixels are compared all the same."""
    if not ZOPFLI:
        return png
    chunks, at = [], 8
    while at < len(png):
        (length,) = struct.unpack(">I", png[at:at + 4])
        chunks.append((png[at + 4:at + 8], png[at + 8:at + 8 + length]))
        at += 12 + length
    raw = zlib.decompress(b"".join(data for kind, data in chunks if kind == b"IDAT"))
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "rows")
        with open(src, "wb") as f:
            f.write(raw)
        packed = subprocess.run([ZOPFLI, "--zlib", "-c", src], check=True,
                                stdout=subprocess.PIPE).stdout
    out, idat_done = png[:8], False
    for kind, data in chunks:
        if kind == b"IDAT":
            if not idat_done:
                out += png_chunk(b"IDAT", packed)
                idat_done = True
            continue
        out += png_chunk(kind, data)
    before = np.asarray(Image.open(io.BytesIO(png)).convert("RGBA"))
    after = np.asarray(Image.open(io.BytesIO(out)).convert("RGBA"))
    assert np.array_equal(before, after), "recompression changed pixels"
    return out if len(out) < len(png) else png


def save(pid, im, kind):
    w, h = SIZES[pid]
    assert im.size == (w, h), (pid, im.size, (w, h))
    assert im.mode == "RGBA", (pid, im.mode)
    a = np.asarray(im)
    if kind == "keyed":
        assert set(np.unique(a[..., 3])) <= {0, 255}, f"{pid}: alpha must be binary"
        vis = a[..., 3] == 255
        assert not np.any(vis & (a[..., :3].max(axis=2) == 0)), f"{pid}: black inside face"
    if kind == "premult":
        assert np.all(a[..., :3] <= a[..., 3:]), f"{pid}: colour above alpha"
    path = os.path.join(PNG_DIR, f"{pid}.png")
    b = io.BytesIO()
    im.save(b, "PNG", optimize=True)
    with open(path, "wb") as f:
        f.write(recompressed(b.getvalue()))
    with open(path, "rb") as f:
        head = f.read(26)
    assert head[24] == 8 and head[25] == 6, f"{pid}: not 8-bit RGBA PNG"
    WRITTEN[pid] = im


SIZES.update({109: (411, 184), 110: (411, 184), 111: (411, 184), 112: (240, 14), 113: (240, 14),
              140: (1194, 685), 150: (322, 27), 151: (173, 27),
              152: (260, 27), 164: (89, 27), 167: (226, 104)})
for i in (144, 145, 146, 147, 148, 149):
    SIZES[i] = (41, 36)
for i in (158, 159, 160, 161, 162, 163, 165, 166, 188, 189):
    SIZES[i] = (23, 23)
for i in (168, 169, 170, 171):
    SIZES[i] = (70, 28)
for i in range(180, 188):
    SIZES[i] = (142, 36)
SIZES.update({190: (73, 18), 191: (73, 18), 192: (80, 18), 193: (80, 18),
              194: (46, 18), 195: (46, 18), 196: (46, 18), 197: (46, 18)})
# The panel in a page's place (200, a nine-grid) and its Retry faces.
SIZES.update({200: (48, 48), 201: (112, 32), 202: (112, 32), 203: (112, 32)})


# ------------------------------------------------------------- drawings --
def quill(L, nib, tip, width, outline=0.0, barbs=True, bend=0.06):
    """Ivory feather quill from an ink-stained nib to the feather tip; returns
    its coverage mask."""
    (nx, ny), (tx, ty) = nib, tip
    length = math.hypot(tx - nx, ty - ny)
    ux, uy = (tx - nx) / length, (ty - ny) / length
    px, py = -uy, ux                                    # normal

    def axis(t):
        b = bend * length * math.sin(math.pi * t)
        return nx + ux * length * t + px * b, ny + uy * length * t + py * b

    def at(t, off):
        ax, ay = axis(t)
        return ax + px * off, ay + py * off

    t0 = 0.22                                           # where the vane starts
    left, right = [], []
    for i in range(81):
        u = i / 80
        prof = min(1.0, u / 0.28) ** 0.6 * (1 - u ** 2.4) ** 0.55
        t = t0 + (1 - t0) * u
        left.append(at(t, width * prof))
        right.append(at(t, -width * prof * 0.62))
    vane = poly(L, left + right[::-1])
    # a split on each side of the vane makes it read as a feather
    for t, sd in ((0.52, 1), (0.74, -0.62)):
        w = width * sd
        vane = vane * (1 - poly(L, [at(t, w * 1.2), at(t + 0.012, w * 0.35), at(t + 0.05, w * 1.2)]))
    shaft = line(L, [axis(t) for t in np.linspace(0.05, 0.97, 40)], max(width * 0.12, 1.0))
    barrel = poly(L, [axis(0.0), at(0.07, width * 0.13), at(t0 + 0.02, width * 0.1),
                      at(t0 + 0.02, -width * 0.1), at(0.07, -width * 0.13)])
    whole = np.maximum(np.maximum(vane, shaft), barrel)
    if outline:
        L.paint(np.clip(blur(L, whole, outline) * 3.0, 0, 1), (10, 16, 30), 0.85)
    # position of every sample relative to the (bent) shaft
    X, Y = L.xs() - nx, L.ys() - ny
    along = X * ux + Y * uy
    t = np.clip(along / length, 0, 1)
    side = X * px + Y * py - bend * length * np.sin(np.pi * t)
    lit = np.clip(side / (width * 1.3) + 0.45, 0, 1)
    L.paint(vane, ramp(lit, [(0, (170, 160, 142)), (0.42, (214, 206, 188)), (0.5, (236, 230, 214)),
                             (0.85, (252, 249, 240)), (1, (255, 253, 247))]))
    if barbs:
        # fine barbs sweeping from the shaft towards the tip
        phase = (along - np.abs(side) * 1.25) / max(width * 0.16, 1.2)
        stripes = 0.5 + 0.5 * np.sin(phase * 2 * np.pi)
        L.paint(vane * stripes, (140, 130, 112), 0.22)
        L.paint(vane * np.exp(-np.abs(side) / (width * 0.18)), (150, 140, 120), 0.35)
    L.paint(shaft, ramp(t, [(0, (212, 170, 96)), (0.3, (250, 240, 210)), (1, (236, 226, 200))]))
    L.paint(barrel, ramp(np.clip(t / (t0 + 0.02), 0, 1),
                         [(0, (20, 16, 22)), (0.22, (40, 34, 40)), (0.32, (200, 160, 90)), (0.7, (240, 220, 170)), (1, (230, 212, 170))]))
    return whole


def title_rows():
    """Colours of the 27 title-strip rows (top highlight, blue body that sits
    a shade lighter than the frame, gold rule at the bottom)."""
    rows = [(70, 132, 178)]
    for i in range(23):
        t = i / 22
        rows.append(tuple(round(a + (b - a) * t) for a, b in zip((40, 104, 150), (16, 60, 98))))
    rows += [(10, 36, 62), (196, 158, 86), (104, 80, 40)]
    return np.array(rows, np.float32) / 255.0


def strip_base(w, s):
    L = Layer(w, 27, s)
    rows = np.repeat(title_rows(), s, axis=0)[:, None, :]
    L.paint(np.ones((27 * s, w * s), np.float32), np.broadcast_to(rows, (27 * s, w * s, 3)))
    return L


def draw_title_pieces():
    # middle piece: horizontally uniform, so it tiles with no seam at all
    mid = strip_base(173, 1)
    save(151, to_straight_image(mid), "straight")

    L = strip_base(322, 4)
    # darker, inky cartouche behind the logo for contrast, fading to the right
    vig = np.clip(1 - (L.xs() - 20) / 150, 0, 1) ** 1.5 * np.ones_like(L.ys())
    body = rrect(L, 0, 1, 322, 24)
    L.paint(body * vig, (8, 26, 48), 0.55)
    # gold flourish trailing the wordmark: a fading rule with a gem
    cy = 12.5
    L.paint(hrule(L, 104, 300, cy + 0.5), (8, 26, 46), 0.6)
    L.paint(hrule(L, 104, 300, cy - 0.5), GOLD, 0.95)
    L.paint(hrule(L, 104, 160, cy - 1.5, power=2), GOLD_LO, 0.5)
    gem = diamond(L, 104, cy, 5, 5)
    L.paint(blur(L, gem, 2), (250, 210, 120), 0.5)
    L.paint(gem, (120, 86, 36))
    L.paint(diamond(L, 104, cy, 3.6, 3.6), vgrad(L, 8, 17, [(0, GOLD_HI), (1, GOLD)]))
    L.paint(ellipse(L, 114, cy, 1.2), GOLD_HI, 0.9)
    L.paint(ellipse(L, 121, cy, 0.9), GOLD, 0.8)
    save(150, to_straight_image(L.down()), "straight")

    L = strip_base(260, 4)
    # a thin gilded end cap where the strip meets the right window edge
    L.paint(rrect(L, 257, 2, 259, 24), GOLD, 0.7)
    L.paint(rrect(L, 259, 2, 260, 24), (10, 36, 62), 0.6)
    save(152, to_straight_image(L.down()), "straight")


def draw_title_logo():
    L = Layer(89, 27, 4)
    size = 20
    while font(SERIF_B, size).getbbox("Quillmoor")[2] > 86:
        size -= 0.5
    f = font(SERIF_B, size * 4)
    bx0, by0, bx1, by1 = f.getbbox("Quillmoor")
    x = (89 * 4 - (bx1 - bx0)) / 2 / 4 - bx0 / 4
    y = 8.5 - ((by0 + f.getbbox("l")[3]) / 2) / 4        # centre the cap band
    m = text(L, x, y, "Quillmoor", SERIF_B, size, anchor="la")
    L.paint(blur(L, text(L, x, y, "Quillmoor", SERIF_B, size, anchor="la", stroke=1.2), 0.6), (4, 14, 28), 0.9)
    L.paint(shift(m, 0, 4), (6, 18, 34), 0.7)
    L.paint(m, vgrad(L, y + 1, y + 15, [(0, (255, 240, 190)), (0.5, (232, 190, 104)), (1, (170, 120, 50))]))
    im = to_straight_image(L.down())
    a = np.asarray(im)[..., 3]
    assert not a[22:].any(), "logo glyphs must stay in the top 22 rows"
    save(164, im, "straight")


def title_button_face(kind, hover):
    L = Layer(23, 23, 4)
    red = kind == "close"
    if hover:
        L.paint(blur(L, rrect(L, 1, 1, 22, 22, 4), 1.2), (255, 200, 110) if not red else (255, 120, 80), 0.7)
    L.paint(rrect(L, 1, 1, 22, 22, 4), vgrad(L, 1, 22, [(0, GOLD_HI if hover else (226, 186, 104)), (1, GOLD if hover else GOLD_LO)]))
    face = [(0, (60, 128, 184)), (1, (22, 66, 112))] if hover else [(0, (30, 66, 104)), (1, (10, 30, 54))]
    if red:
        face = [(0, (206, 70, 54)), (1, (126, 28, 26))] if hover else [(0, (132, 38, 36)), (1, (66, 14, 18))]
    L.paint(rrect(L, 2, 2, 21, 21, 3), vgrad(L, 2, 21, face))
    L.paint(rrect(L, 3, 2.5, 20, 9, 2.5), (255, 255, 255), 0.16 if hover else 0.08)
    g = (255, 250, 232) if hover else TEXT_LIGHT
    if kind == "min":
        m = rrect(L, 7, 14, 16, 16)
    elif kind == "max":
        m = np.clip(rrect(L, 6, 6, 17, 17) - rrect(L, 7, 8, 16, 16), 0, 1)
    elif kind == "restore":
        back = np.clip(rrect(L, 9, 5, 18, 14) - rrect(L, 10, 7, 17, 13), 0, 1)
        front_box = rrect(L, 5, 9, 14, 18)
        m = np.maximum(back * (1 - front_box), np.clip(front_box - rrect(L, 6, 11, 13, 17), 0, 1))
    elif kind == "close":
        m = np.maximum(line(L, [(7, 7), (16, 16)], 2.2), line(L, [(16, 7), (7, 16)], 2.2))
    else:                                     # hide: arrow down onto a tray line
        m = np.maximum(np.maximum(rrect(L, 10.5, 4, 12.5, 12), poly(L, [(6.5, 10), (16.5, 10), (11.5, 15.5)])),
                       rrect(L, 6, 17, 17, 18.5))
    L.paint(shift(m, 0, 4), (4, 10, 20), 0.6)
    L.paint(m, g)
    return L.down()


def draw_title_buttons():
    rows = title_rows()[2:25][:, None, :] * np.ones((1, 23, 1), np.float32)
    for kind, ids in (("max", (158, 159)), ("min", (160, 161)), ("restore", (162, 163)),
                      ("close", (165, 166)), ("hide", (188, 189))):
        for pid, hover in zip(ids, (True, False)):
            save(pid, to_keyed_image(title_button_face(kind, hover), rows), "keyed")


def draw_title_links():
    for label, ids, w in (("Refresh (F5)", (190, 191), 73), ("Boss key (F9)", (192, 193), 80),
                          ("Official", (194, 195), 46), ("Forum", (196, 197), 46)):
        bg = title_rows()[4:22][:, None, :] * np.ones((1, w, 1), np.float32)
        for pid, hover in zip(ids, (True, False)):
            L = Layer(w, 18, 1)
            m = text(L, w / 2, 9, label, SANS, 11)
            if hover:
                L.paint(blur(L, m, 1.6), (255, 200, 110), 0.55)
                tw = font(SANS, 11).getlength(label)
                L.paint(rrect(L, round(w / 2 - tw / 2), 15, round(w / 2 + tw / 2), 16), GOLD_HI, 0.9)
            else:
                L.paint(shift(m, 1, 1), (6, 20, 38), 0.45)
            L.paint(m, (255, 236, 168) if hover else TEXT_LIGHT)
            save(pid, to_keyed_image(L, bg, thr=0.12), "keyed")


# ------------------------------------------------------- login picture --
LOGIN_W, LOGIN_H = 1194, 685
PANEL = (28, 92, 1166, 656)
MOON_C, MOON_R, BULGE_R = (214, 150), 90, 110
PAGE = (385, 232, 650, 330)
TABS_X, TABS_Y = (455, 595, 735, 875), 190
LOGIN_BTNS = {"min": (950, 120), "close": (1000, 120)}


def login_shape(L, inset):
    """The login window outline: a panel with notched corners, plus the moon
    medallion rising over its top edge."""
    x0, y0, x1, y1 = PANEL
    m = rrect(L, x0 + inset, y0 + inset, x1 - inset, y1 - inset)
    notch = 24
    for cx, cy in ((x0, y0), (x1, y0), (x0, y1), (x1, y1)):
        m = m * (1 - ellipse(L, cx, cy, notch + inset))
    return np.maximum(m, ellipse(L, MOON_C[0], MOON_C[1], BULGE_R - inset))


def hills(L, base, amp, seed, bumps):
    rnd = random.Random(seed)
    waves = [(rnd.uniform(0.002, 0.012), rnd.uniform(0, 6.3), rnd.uniform(0.3, 1)) for _ in range(4)]
    pts = [(0, LOGIN_H)]
    for x in range(0, LOGIN_W + 1, 6):
        y = base + amp * sum(a * math.sin(f * x + p) for f, p, a in waves)
        for bx, bh, bw in bumps:
            y -= bh * math.exp(-((x - bx) / bw) ** 2)
        pts.append((x, y))
    pts.append((LOGIN_W, LOGIN_H))
    return poly(L, pts)


def draw_login():
    L = Layer(LOGIN_W, LOGIN_H, 3)
    shape = login_shape(L, 0)
    # soft shadow and a moon halo spilling past the outline
    L.paint(shift(blur(L, shape, 9), 0, 6 * L.s), (0, 0, 0), 0.6)
    L.paint(blur(L, ellipse(L, *MOON_C, BULGE_R + 4), 16), (255, 226, 150), 0.35)
    # night sky
    L.paint(shape, vgrad(L, 20, 660, [(0, (26, 46, 86)), (0.45, (14, 28, 58)), (1, (8, 14, 30))]))
    L.paint(shape * blur(L, ellipse(L, *MOON_C, 170), 60), (70, 96, 140), 0.45)
    rnd = random.Random(1194)
    for _ in range(7):                                   # faint cloud wisps
        cx, cy = rnd.uniform(60, 1150), rnd.uniform(100, 420)
        wisp = blur(L, ellipse(L, cx, cy, rnd.uniform(90, 200), rnd.uniform(8, 18)), 14)
        L.paint(shape * wisp, (110, 140, 190), 0.10)
    im = Image.new("L", (L.w * L.s, L.h * L.s), 0)
    dr = ImageDraw.Draw(im)
    for _ in range(420):
        x, y = rnd.uniform(30, 1166), rnd.uniform(20, 560)
        r = rnd.choice((0.5, 0.6, 0.7, 0.9, 1.2)) * L.s
        dr.ellipse([x * L.s - r, y * L.s - r, x * L.s + r, y * L.s + r], fill=rnd.randint(90, 255))
    stars = np.asarray(im, np.float32) / 255.0
    L.paint(shape * stars * (1 - ellipse(L, *MOON_C, MOON_R + 6)), (236, 240, 255))
    for x, y, r in ((520, 150, 7), (860, 112, 6), (1110, 205, 8), (70, 430, 6), (338, 455, 5),
                    (1120, 600, 5), (690, 125, 4), (46, 160, 5), (1085, 140, 4)):
        sp = sparkle(L, x, y, r)
        L.paint(shape * blur(L, sp, 2.5), (200, 220, 255), 0.5)
        L.paint(shape * sp, (250, 252, 255))
    # moon with soft maria and a lit rim
    moon = ellipse(L, *MOON_C, MOON_R)
    L.paint(blur(L, moon, 10), (255, 236, 180), 0.45)
    L.paint(moon, rgrad(L, MOON_C[0] - 30, MOON_C[1] - 34, MOON_R * 1.5,
                        [(0, (255, 250, 230)), (0.6, (240, 224, 182)), (1, (206, 180, 130))]))
    for cx, cy, r, a in ((-30, -22, 26, 0.10), (22, 18, 34, 0.09), (38, -36, 14, 0.10),
                         (-18, 42, 18, 0.08), (-52, 20, 10, 0.10), (55, 48, 12, 0.08)):
        L.paint(moon * blur(L, ellipse(L, MOON_C[0] + cx, MOON_C[1] + cy, r), 5), (150, 120, 80), a * 1.6)
    # moorland: three rolling layers with mist between them, and a watchtower
    L.paint(shape * hills(L, 515, 22, 1, [(120, 40, 90), (1000, 30, 160)]), (26, 44, 76))
    L.paint(shape * blur(L, rrect(L, 0, 540, LOGIN_W, 580), 14), (90, 116, 160), 0.22)
    tx, ty = 300, 500
    tower = np.maximum(poly(L, [(tx - 11, ty + 30), (tx - 9, ty - 34), (tx + 9, ty - 34), (tx + 11, ty + 30)]),
                       poly(L, [(tx - 14, ty - 34), (tx, ty - 58), (tx + 14, ty - 34)]))
    L.paint(shape * tower, (16, 28, 50))
    win = rrect(L, tx - 2.5, ty - 24, tx + 2.5, ty - 16, 2.5)
    L.paint(blur(L, win, 4), (255, 190, 90), 0.6)
    L.paint(win, (255, 214, 130))
    L.paint(shape * hills(L, 575, 16, 2, [(240, 28, 120), (1150, 26, 90)]), (16, 28, 52))
    L.paint(shape * blur(L, rrect(L, 0, 600, LOGIN_W, 625), 12), (90, 116, 160), 0.16)
    L.paint(shape * hills(L, 625, 12, 3, [(60, 30, 140), (640, 8, 300)]), (9, 16, 32))
    # gilded double border that follows the whole outline
    outer = np.clip(login_shape(L, 4) - login_shape(L, 7), 0, 1)
    inner = np.clip(login_shape(L, 10) - login_shape(L, 11.5), 0, 1)
    L.paint(np.clip(shape - login_shape(L, 1.2), 0, 1), (10, 12, 20), 0.9)
    L.paint(outer, vgrad(L, 20, 660, [(0, GOLD_HI), (0.5, GOLD), (1, (150, 110, 50))]))
    L.paint(inner, GOLD, 0.65)
    for cx, cy in ((PANEL[0] + 24, PANEL[1] + 24), (PANEL[2] - 24, PANEL[1] + 24),
                   (PANEL[0] + 24, PANEL[3] - 24), (PANEL[2] - 24, PANEL[3] - 24)):
        L.paint(diamond(L, cx, cy, 7), GOLD_LO)
        L.paint(diamond(L, cx, cy, 5), vgrad(L, cy - 5, cy + 5, [(0, GOLD_HI), (1, GOLD)]))
    # the quill that has just written the wordmark; its feather breaks the outline
    qL = Layer(LOGIN_W, LOGIN_H, L.s)
    whole = quill(qL, (338, 262), (86, 28), 30, outline=1.6)
    L.paint(shift(blur(L, whole, 4), 6 * L.s, 8 * L.s), (0, 0, 0), 0.45)
    L.px = qL.px + L.px * (1 - qL.px[..., 3:])
    # wordmark and tagline
    wx, wy = 215, 318
    wm = text(L, wx, wy, "Quillmoor", SERIF_B, 60, anchor="ms")
    L.paint(blur(L, text(L, wx, wy, "Quillmoor", SERIF_B, 60, anchor="ms", stroke=3), 6), (255, 200, 110), 0.25)
    L.paint(text(L, wx, wy, "Quillmoor", SERIF_B, 60, anchor="ms", stroke=2), (20, 12, 6), 0.9)
    L.paint(shift(wm, 0, 3 * L.s), (8, 6, 4), 0.6)
    L.paint(wm, vgrad(L, wy - 44, wy + 14, [(0, (255, 246, 214)), (0.45, (240, 200, 116)), (0.7, (206, 150, 66)), (1, (150, 100, 40))]))
    L.paint(wm * vgrad(L, wy - 44, wy - 30, [(0, (255, 255, 255)), (1, (0, 0, 0))])[..., 0], (255, 255, 240), 0.35)
    rule_y = wy + 24
    for sd in (-1, 1):
        L.paint(hrule(L, wx + sd * 12, wx + sd * 132, rule_y - 1, 2), GOLD, 0.95)
    L.paint(diamond(L, wx, rule_y, 7, 5), GOLD_LO)
    L.paint(diamond(L, wx, rule_y, 5, 3.5), GOLD_HI)
    L.paint(text(L, wx, rule_y + 24, "Tales written by moonlight", SERIF_I, 19), (206, 186, 140))
    # gilded frame hugging the web page rectangle
    px0, py0, pw, ph = PAGE
    px1, py1 = px0 + pw, py0 + ph
    L.paint(blur(L, rrect(L, px0 - 8, py0 - 8, px1 + 8, py1 + 8), 8), (0, 0, 0), 0.7)

    def ring(a, b):
        return np.clip(rrect(L, px0 - a, py0 - a, px1 + a, py1 + a) - rrect(L, px0 - b, py0 - b, px1 + b, py1 + b), 0, 1)
    L.paint(ring(8, 0), (16, 10, 4))
    L.paint(ring(7, 2), vgrad(L, py0 - 8, py1 + 8, [(0, GOLD_HI), (0.5, GOLD), (1, (160, 118, 54))]))
    L.paint(ring(5, 3), (130, 94, 40), 0.8)
    L.paint(ring(2, 1), (60, 42, 18))
    L.paint(ring(1, 0), (10, 12, 20))
    for cx, cy in ((px0 - 6, py0 - 6), (px1 + 6, py0 - 6), (px0 - 6, py1 + 6), (px1 + 6, py1 + 6)):
        L.paint(blur(L, diamond(L, cx, cy, 10), 3), (255, 210, 120), 0.35)
        L.paint(diamond(L, cx, cy, 9.5), (60, 40, 14))
        L.paint(diamond(L, cx, cy, 8), vgrad(L, cy - 8, cy + 8, [(0, GOLD_HI), (1, (170, 124, 54))]))
        L.paint(diamond(L, cx, cy, 3.6), (22, 52, 96))
        L.paint(diamond(L, cx, cy, 2.2), (120, 170, 230), 0.8)
    # dark plaque the minimise / close medallions sit on
    bx0, by0 = LOGIN_BTNS["min"]
    plate = rrect(L, bx0 - 6, by0 - 4, bx0 + 97, by0 + 40, 20)
    L.paint(blur(L, plate, 4), (0, 0, 0), 0.5)
    L.paint(plate, (150, 112, 50))
    L.paint(rrect(L, bx0 - 5, by0 - 3, bx0 + 96, by0 + 39, 19), vgrad(L, by0 - 3, by0 + 39, [(0, (20, 38, 68)), (1, (8, 16, 32))]))
    save(140, to_straight_image(L.down()), "straight")


def medallion(kind, state, bg):
    L = Layer(41, 36, 4)
    off = 1 if state == "pressed" else 0
    cx, cy, r = 20.5 + off, 18 + off, 15
    red = kind == "close"
    if state == "hover":
        L.paint(blur(L, ellipse(L, cx, cy, r + 1), 2.2), (255, 196, 110) if not red else (255, 120, 80), 0.85)
    elif state == "normal":
        L.paint(blur(L, ellipse(L, cx + 1, cy + 1.5, r), 1.5), (0, 0, 0), 0.5)
    rim = [(0, GOLD_HI), (1, GOLD)] if state == "hover" else [(0, (230, 190, 108)), (1, GOLD_LO)]
    if state == "pressed":
        rim = [(0, (150, 110, 50)), (1, (196, 156, 80))]
    L.paint(ellipse(L, cx, cy, r), vgrad(L, cy - r, cy + r, rim))
    L.paint(ellipse(L, cx, cy, r - 2.2), (30, 20, 8))
    face = {"hover": [(0, (70, 140, 200)), (1, (20, 60, 110))], "normal": [(0, (36, 72, 118)), (1, (10, 26, 50))],
            "pressed": [(0, (8, 20, 40)), (1, (24, 52, 88))]}[state]
    if red:
        face = {"hover": [(0, (226, 90, 64)), (1, (130, 28, 24))], "normal": [(0, (150, 44, 38)), (1, (64, 12, 16))],
                "pressed": [(0, (54, 10, 12)), (1, (120, 36, 30))]}[state]
    L.paint(ellipse(L, cx, cy, r - 3), rgrad(L, cx - 3, cy - 5, r * 1.4, face))
    if state != "pressed":
        L.paint(ellipse(L, cx - 1, cy - 6, 8, 4.5), (255, 255, 255), 0.22 if state == "hover" else 0.12)
    g = {"hover": (255, 250, 232), "normal": TEXT_LIGHT, "pressed": (190, 176, 146)}[state]
    if kind == "min":
        m = rrect(L, cx - 6, cy, cx + 6, cy + 2.2, 1)
    else:
        m = np.maximum(line(L, [(cx - 5, cy - 5), (cx + 5, cy + 5)], 2.4), line(L, [(cx + 5, cy - 5), (cx - 5, cy + 5)], 2.4))
    L.paint(shift(m, 0, 4), (4, 8, 16), 0.6)
    L.paint(m, g)
    return to_keyed_image(L.down(), bg)


def tab_face(label, hover, bg):
    L = Layer(142, 36, 4)
    outline = [(2, 18), (12, 4), (130, 4), (140, 18), (130, 32), (12, 32)]
    body = poly(L, outline)
    keep = rrect(L, 2, 0, 140, 36)                 # stay clear of the neighbours' columns
    if hover:
        L.paint(keep * blur(L, body, 2.2), (255, 196, 110), 0.8)
    else:
        L.paint(keep * shift(blur(L, body, 1.2), 0, 6), (0, 0, 0), 0.45)
    L.paint(body, vgrad(L, 4, 32, [(0, GOLD_HI if hover else (230, 192, 110)), (1, GOLD if hover else GOLD_LO)]))
    inner = poly(L, [(4.5, 18), (13.2, 6), (128.8, 6), (137.5, 18), (128.8, 30), (13.2, 30)])
    L.paint(inner, (26, 18, 8))
    fill = poly(L, [(5.8, 18), (14, 7), (128, 7), (136.2, 18), (128, 29), (14, 29)])
    L.paint(fill, vgrad(L, 7, 29, [(0, (58, 118, 176)), (0.5, (28, 72, 122)), (1, (16, 44, 82))] if hover
                        else [(0, (34, 64, 104)), (0.5, (18, 38, 68)), (1, (10, 22, 42))]))
    L.paint(fill * rrect(L, 0, 7, 142, 17), (255, 255, 255), 0.12 if hover else 0.06)
    for x in (20, 122):
        L.paint(diamond(L, x, 18, 3, 3), GOLD_HI if hover else GOLD, 0.9)
    f = SERIF_Z
    size = 17
    while font(f, size).getlength(label) > 90:
        size -= 0.5
    m = text(L, 71, 18, label, f, size)
    if hover:
        L.paint(blur(L, m, 1.5), (255, 200, 110), 0.5)
    L.paint(shift(m, 0, 4), (4, 8, 16), 0.7)
    L.paint(m, vgrad(L, 11, 25, [(0, (255, 246, 214)), (1, (246, 214, 140))]) if hover
            else vgrad(L, 11, 25, [(0, (244, 232, 200)), (1, (214, 190, 140))]))
    return to_keyed_image(L.down(), bg)


def draw_login_buttons():
    bgimg = np.asarray(WRITTEN[140], np.float32)

    def under(x, y, w, h):
        # buttons are flattened onto the picture beneath them, which is opaque there
        assert np.all(bgimg[y:y + h, x:x + w, 3] == 255), (x, y)
        return bgimg[y:y + h, x:x + w, :3] / 255.0
    for kind, ids in (("close", (144, 145, 146)), ("min", (147, 148, 149))):
        x, y = LOGIN_BTNS[kind]
        for pid, st in zip(ids, ("hover", "normal", "pressed")):
            save(pid, medallion(kind, st, under(x, y, 41, 36)), "keyed")
    for x, label, ids in zip(TABS_X, ("Forum", "Top up", "Official site", "Support"),
                             ((180, 181), (182, 183), (184, 185), (186, 187))):
        for pid, hover in zip(ids, (True, False)):
            save(pid, tab_face(label, hover, under(x, TABS_Y, 142, 36)), "keyed")


# ------------------------------------------------------- splash and exit --
# The splash's download state: the launcher writes the caption and the
# amount on picture 111 and lays the bar (112, filled from the left with
# 113) between them, at these places.
SPLASH_BAR_X, SPLASH_BAR_Y = 86, 103


def draw_splash(pid, caption):
    """The update splash with `caption`, or without caption and ornaments
    (the download state's base) when it is None."""
    W, H = 411, 184
    L = Layer(W, H, 4)
    x0, x1, y0, y1 = 38, 373, 34, 150

    def body_pts(grow=0.0):
        top = [(x, y0 - grow + 2.2 * math.sin(x / 23.0) + 1.2 * math.sin(x / 9.0)) for x in range(x0, x1 + 1, 3)]
        bot = [(x, y1 + grow + 2.0 * math.sin(x / 19.0 + 1.3) + 1.1 * math.sin(x / 7.0)) for x in range(x1, x0 - 1, -3)]
        return top + bot
    body = poly(L, body_pts())
    rolls = [(31, 22, 162), (380, 22, 162)]
    roll_m = [rrect(L, cx - 15, ya, cx + 15, yb, 6) for cx, ya, yb in rolls]
    rods = [np.maximum(rrect(L, cx - 5, ya - 12, cx + 5, yb + 12, 2), np.maximum(
        ellipse(L, cx, ya - 14, 7, 5), ellipse(L, cx, yb + 14, 7, 5))) for cx, ya, yb in rolls]
    sil = np.maximum(body, np.maximum(np.maximum(*roll_m), np.maximum(*rods)))
    L.paint(shift(blur(L, sil, 4.5), 0, 3 * L.s), (0, 0, 0), 0.55)
    # parchment: warm centre, toasted edges, a faint fibre texture
    L.paint(body, rgrad(L, W / 2, H / 2 - 6, 190, [(0, (248, 238, 210)), (0.7, (236, 220, 180)), (1, (214, 190, 140))]))
    edge = np.clip(1 - blur(L, poly(L, body_pts(-3)), 6), 0, 1)
    L.paint(body * edge, (160, 116, 62), 0.55)
    rnd = random.Random(411)
    im = Image.new("L", (W * 4, H * 4), 0)
    dr = ImageDraw.Draw(im)
    for _ in range(160):
        x, y = rnd.uniform(x0, x1) * 4, rnd.uniform(y0, y1) * 4
        ln = rnd.uniform(10, 60)
        dr.line([(x, y), (x + ln, y + rnd.uniform(-3, 3))], fill=rnd.randint(40, 120), width=2)
    fib = np.asarray(im.filter(ImageFilter.GaussianBlur(2)), np.float32) / 255.0
    L.paint(body * fib, (170, 140, 96), 0.5)
    for (cx, ya, yb), rm, rd in zip(rolls, roll_m, rods):
        L.paint(rd, ramp(np.clip((L.xs() - (cx - 7)) / 14, 0, 1) * np.ones_like(L.ys()),
                         [(0, (70, 40, 20)), (0.4, (150, 100, 56)), (1, (60, 34, 16))]))
        for ky in (ya - 14, yb + 14):
            L.paint(ellipse(L, cx, ky, 7, 5), rgrad(L, cx - 2, ky - 2, 8, [(0, GOLD_HI), (0.6, GOLD), (1, GOLD_LO)]))
        L.paint(rm, ramp(np.clip((L.xs() - (cx - 15)) / 30, 0, 1) * np.ones_like(L.ys()),
                         [(0, (150, 112, 66)), (0.3, (236, 220, 180)), (0.45, (250, 240, 214)), (1, (140, 100, 56))]))
        for ky in (ya + 3, yb - 3):
            L.paint(ellipse(L, cx, ky, 14, 2.2) * rm, (120, 86, 46), 0.45)
    # lettering
    L.paint(text(L, W / 2, 58, "Q U I L L M O O R", SERIF_B, 13), (140, 98, 40))
    for sd in (-1, 1):
        L.paint(hrule(L, W / 2 + sd * 64, W / 2 + sd * 124, 57, power=1), (160, 120, 60), 0.7)
    if caption is not None:
        cap = text(L, W / 2, 94, caption, SERIF_B, 26)
        L.paint(shift(cap, 0, 4), (255, 250, 230), 0.6)
        L.paint(cap, INK)
        for i, x in enumerate((W / 2 - 24, W / 2, W / 2 + 24)):
            L.paint(diamond(L, x, 124, 5, 5), (120, 84, 34))
            L.paint(diamond(L, x, 124, 3.6, 3.6), (222, 176, 90) if i == 0 else (200, 170, 120))
        for sd in (-1, 1):
            L.paint(hrule(L, W / 2 + sd * 36, W / 2 + sd * 130, 123, 2), (150, 110, 50), 0.85)
    save(pid, to_premult_image(L.down()), "premult")


def draw_splash_bar():
    """The download bar: an inked groove (112) and its gilded filling (113)."""
    W, H = SIZES[112]
    L = Layer(W, H, 4)
    L.paint(rrect(L, 0, 0, W, H, 7), (120, 84, 34))
    L.paint(rrect(L, 1, 1, W - 1, H - 1, 6), vgrad(L, 1, H - 1, [(0, (150, 118, 74)), (1, (196, 170, 124))]))
    L.paint(rrect(L, 1, 1, W - 1, 4, 3), (90, 62, 30), 0.35)
    save(112, to_premult_image(L.down()), "premult")
    L = Layer(W, H, 4)
    L.paint(rrect(L, 1, 1, W - 1, H - 1, 6), vgrad(L, 1, H - 1, [(0, GOLD_HI), (0.5, GOLD), (1, GOLD_LO)]))
    L.paint(rrect(L, 4, 3, W - 4, 6, 2), (255, 248, 220), 0.45)
    save(113, to_premult_image(L.down()), "premult")


def draw_exit_box():
    W, H = 226, 104
    L = Layer(W, H, 4)
    L.paint(rrect(L, 0, 0, W, H, 9), (8, 10, 18))
    L.paint(rrect(L, 1, 1, W - 1, H - 1, 8), vgrad(L, 0, H, [(0, GOLD_HI), (0.5, GOLD), (1, GOLD_LO)]))
    L.paint(rrect(L, 2.5, 2.5, W - 2.5, H - 2.5, 6.5), (16, 10, 4))
    L.paint(rrect(L, 3.5, 3.5, W - 3.5, H - 3.5, 6), vgrad(L, 3, H, [(0, (26, 52, 90)), (0.3, (16, 34, 62)), (1, (8, 16, 32))]))
    L.paint(rrect(L, 3.5, 3.5, W - 3.5, 25, 6) * (1 - rrect(L, 0, 25, W, H)), (6, 14, 30), 0.45)
    rnd = random.Random(226)
    for _ in range(14):
        x, y = rnd.uniform(10, W - 10), rnd.uniform(6, 22)
        if abs(x - W / 2) > 44:
            L.paint(ellipse(L, x, y, rnd.uniform(0.4, 0.7)), (220, 230, 255), rnd.uniform(0.4, 0.9))
    title = text(L, W / 2, 14.5, "Quillmoor", SERIF_B, 16)
    L.paint(shift(title, 0, 4), (0, 0, 0), 0.7)
    L.paint(title, vgrad(L, 8, 20, [(0, (255, 242, 200)), (1, (220, 170, 84))]))
    for sd in (-1, 1):
        L.paint(hrule(L, W / 2 + sd * 6, W / 2 + sd * 100, 26), GOLD, 0.95)
    L.paint(diamond(L, W / 2, 26.5, 4.5, 3.5), GOLD_HI)
    out = L.down()
    q = text(out, W / 2, 45, "Do you want to leave the game?", SANS, 11)
    out.paint(shift(q, 1, 1), (2, 4, 10), 0.6)
    out.paint(q, TEXT_LIGHT)
    save(167, to_premult_image(out), "premult")


def plaque(word, key, hover, bg):
    L = Layer(70, 28, 4)
    if hover:
        L.paint(blur(L, rrect(L, 1, 1, 69, 27, 6), 1.5), (255, 196, 110), 0.8)
    L.paint(rrect(L, 1, 1, 69, 27, 6), vgrad(L, 1, 27, [(0, GOLD_HI if hover else (230, 190, 108)), (1, GOLD if hover else GOLD_LO)]))
    L.paint(rrect(L, 2.5, 2.5, 67.5, 25.5, 4.5), (22, 14, 6))
    L.paint(rrect(L, 3.2, 3.2, 66.8, 24.8, 4), vgrad(L, 3, 25, [(0, (60, 120, 178)), (1, (18, 50, 92))] if hover
                                                      else [(0, (36, 68, 110)), (1, (10, 24, 46))]))
    L.paint(rrect(L, 4, 3.5, 66, 12, 3.5), (255, 255, 255), 0.12 if hover else 0.06)
    out = L.down()
    f = font(SANS_B, 11)
    w1, w2 = f.getlength(word + " "), f.getlength(key)
    x = round(35 - (w1 + w2) / 2)
    for s, xx, col in ((word + " ", x, (255, 250, 236) if hover else TEXT_LIGHT),
                       (key, x + w1, (255, 220, 130) if hover else (232, 188, 96))):
        m = text(out, xx, 14, s, SANS_B, 11, anchor="lm")
        out.paint(shift(m, 1, 1), (2, 4, 10), 0.6)
        out.paint(m, col)
    return to_keyed_image(out, bg)


def draw_exit_buttons():
    box = np.asarray(WRITTEN[167], np.float32) / 255.0       # premultiplied, opaque here
    for x, word, key, ids in ((130, "No", "(N)", (168, 169)), (30, "Yes", "(Y)", (170, 171))):
        for pid, hover in zip(ids, (True, False)):
            save(pid, plaque(word, key, hover, box[64:92, x:x + 70, :3]), "keyed")


# ------------------------------------------------------------ page panel --
# The launcher draws 200 as a nine-grid: its 16-pixel corners whole, its
# edges stretched along, its middle both ways; so the edges are uniform along
# their length and the middle is one flat colour, which the Retry faces are
# flattened onto.
PANEL_FILL = (16, 30, 56)


def draw_page_panel():
    W, H = SIZES[200]
    L = Layer(W, H, 4)
    L.paint(rrect(L, 0, 0, W, H), (10, 12, 20))
    L.paint(rrect(L, 1, 1, W - 1, H - 1, 6), GOLD)
    L.paint(rrect(L, 2, 2, W - 2, H - 2, 5), (150, 112, 50))
    L.paint(rrect(L, 3, 3, W - 3, H - 3, 4), (60, 42, 18))
    L.paint(rrect(L, 4, 4, W - 4, H - 4, 3), PANEL_FILL)
    hair = np.clip(rrect(L, 7, 7, W - 7, H - 7, 2) - rrect(L, 8, 8, W - 8, H - 8, 1), 0, 1)
    L.paint(hair, GOLD, 0.35)
    for cx, cy in ((10.5, 10.5), (W - 10.5, 10.5), (10.5, H - 10.5), (W - 10.5, H - 10.5)):
        L.paint(diamond(L, cx, cy, 3.2), GOLD_LO)
        L.paint(diamond(L, cx, cy, 2.2), GOLD_HI)
    im = to_straight_image(L.down())
    a = np.asarray(im)
    assert np.all(a[..., 3] == 255), "the panel is opaque"
    assert np.all(a[16:32, 16:32, :3] == PANEL_FILL), "the middle is one flat colour"
    assert np.all(a[16:32, :16] == a[16:17, :16]) and np.all(a[:16, 16:32] == a[:16, 16:17]), \
        "the edges are uniform along their length"
    save(200, im, "straight")


def retry_face(state):
    W, H = SIZES[202]
    L = Layer(W, H, 4)
    hover, pressed = state == "hover", state == "pressed"
    off = 1 if pressed else 0
    if hover:
        L.paint(blur(L, rrect(L, 1, 1, W - 1, H - 1, 7), 1.5), (255, 196, 110), 0.8)
    elif not pressed:
        L.paint(shift(blur(L, rrect(L, 1, 1, W - 1, H - 1, 7), 1.2), 0, 4), (0, 0, 0), 0.45)
    rim = [(0, GOLD_HI), (1, GOLD)] if hover else [(0, (230, 190, 108)), (1, GOLD_LO)]
    if pressed:
        rim = [(0, (150, 110, 50)), (1, (196, 156, 80))]
    L.paint(rrect(L, 1, 1, W - 1, H - 1, 7), vgrad(L, 1, H - 1, rim))
    L.paint(rrect(L, 2.5, 2.5, W - 2.5, H - 2.5, 5.5), (22, 14, 6))
    face = {"hover": [(0, (60, 120, 178)), (1, (18, 50, 92))],
            "normal": [(0, (36, 68, 110)), (1, (10, 24, 46))],
            "pressed": [(0, (8, 20, 40)), (1, (24, 52, 88))]}[state]
    L.paint(rrect(L, 3.2, 3.2, W - 3.2, H - 3.2, 5), vgrad(L, 3, H - 3, face))
    if not pressed:
        L.paint(rrect(L, 4, 3.5, W - 4, 13, 4), (255, 255, 255), 0.12 if hover else 0.06)
    out = L.down()
    ink = {"hover": (255, 250, 236), "normal": TEXT_LIGHT, "pressed": (190, 176, 146)}[state]
    arrow = (255, 220, 130) if hover else (232, 188, 96)
    f = font(SANS_B, 13)
    label, glyph = "Retry", "\u21bb"
    gw, lw = font(SANS_B, 15).getlength(glyph), f.getlength(label)
    x = round(W / 2 - (gw + 5 + lw) / 2) + off
    for txt, xx, size, col in ((glyph, x, 15, arrow), (label, x + gw + 5, 13, ink)):
        m = text(out, xx, H / 2 + off, txt, SANS_B, size, anchor="lm")
        out.paint(shift(m, 1, 1), (2, 4, 10), 0.6)
        out.paint(m, col)
    bg = np.ones((H, W, 3), np.float32) * rgb(PANEL_FILL)
    return to_keyed_image(out, bg)


def draw_retry_faces():
    for pid, state in ((201, "hover"), (202, "normal"), (203, "pressed")):
        save(pid, retry_face(state), "keyed")


# ------------------------------------------------------------------ icon --
def icon_image(n):
    s = max(4, 1024 // n)
    L = Layer(n, n, s)
    k = n / 256.0
    small = n <= 32
    c = n / 2
    R = n / 2 - max(0.5, 6 * k)
    L.paint(shift(blur(L, ellipse(L, c, c, R), max(0.6, 5 * k)), 0, int(max(1, 5 * k) * s)), (0, 0, 0), 0.5)
    rim = max(1.2, 14 * k)
    L.paint(ellipse(L, c, c, R), vgrad(L, c - R, c + R, [(0, GOLD_HI), (0.5, GOLD), (1, GOLD_LO)]))
    L.paint(ellipse(L, c, c, R - rim * 0.25), (60, 40, 14), 0.5 if not small else 0)
    L.paint(ellipse(L, c, c, R - rim), rgrad(L, c - R * 0.2, c - R * 0.3, R * 1.3, [(0, (40, 80, 136)), (1, (8, 18, 40))]))
    inside = ellipse(L, c, c, R - rim)
    if not small:
        rnd = random.Random(256)
        for _ in range(18):
            a, d = rnd.uniform(0, 6.28), rnd.uniform(0.2, 0.85) * (R - rim)
            L.paint(inside * ellipse(L, c + d * math.cos(a), c + d * math.sin(a), max(0.5, 2.2 * k)), (230, 236, 255), 0.8)
    # crescent moon: a disc with an offset disc taken out
    mc, mr = (c - 22 * k, c - 16 * k), 70 * k
    cres = np.clip(ellipse(L, *mc, mr) - ellipse(L, mc[0] + 34 * k, mc[1] - 20 * k, mr * 0.86), 0, 1) * inside
    L.paint(blur(L, cres, 6 * k), (255, 220, 140), 0.5)
    L.paint(cres, rgrad(L, mc[0] - 30 * k, mc[1], mr * 1.4, [(0, (255, 246, 210)), (1, (232, 186, 96))]))
    quill(L, (c + 52 * k, c + 82 * k), (c - 66 * k, c - 86 * k), (30 if not small else 40) * k,
          outline=max(0.6, 3 * k), barbs=n >= 48, bend=0.08)
    return to_straight_image(L.down())


def write_ico(path, images):
    """Windows icon: 32-bit BGRA DIB entries (with AND mask) below 64 px and
    PNG entries from 64 px on (Windows Vista and later read both)."""
    blobs = []
    for im in images:
        n = im.size[0]
        if n >= 64:
            b = io.BytesIO()
            im.save(b, "PNG", optimize=True)
            blobs.append(recompressed(b.getvalue()))
            continue
        a = np.asarray(im)
        bgra = a[::-1, :, [2, 1, 0, 3]].tobytes()
        row = ((n + 31) // 32) * 4
        mask = bytearray()
        for y in range(n - 1, -1, -1):
            bits = np.packbits(a[y, :, 3] == 0).tobytes()
            mask += bits + b"\0" * (row - len(bits))
        hdr = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(bgra) + len(mask), 0, 0, 0, 0)
        blobs.append(hdr + bgra + bytes(mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    off = 6 + 16 * len(images)
    for im, blob in zip(images, blobs):
        n = im.size[0] % 256
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(blob), off)
        off += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


def draw_icon():
    imgs = [icon_image(n) for n in (16, 24, 32, 48, 64, 256)]
    for im in imgs:
        assert im.mode == "RGBA"
    write_ico(ICO_PATH, imgs)
    return imgs


# ---------------------------------------------------------- contact sheet --
def keyed_blit(dst, im, x, y):
    """What the launcher does with a button face: premultiply, skip black."""
    a = np.asarray(im).astype(np.int32)
    c = a[..., :3] * a[..., 3:] // 255
    on = c.max(axis=2) > 0
    reg = dst[y:y + im.size[1], x:x + im.size[0]]
    reg[on] = c[on]


def over(dst, im, x, y, premult=False):
    a = np.asarray(im).astype(np.float32)
    al = a[..., 3:] / 255
    c = a[..., :3] if premult else a[..., :3] * al
    reg = dst[y:y + im.size[1], x:x + im.size[0]]
    reg[:] = c + reg * (1 - al)


def contact_sheet(path, icons):
    W = 1260
    sheet = np.zeros((3000, W, 3), np.float32)
    sheet[:] = (96, 104, 112)
    # login window mock-up over a desktop colour
    over(sheet, WRITTEN[140], 20, 20)
    x0, y0 = 20, 20
    sheet[y0 + PAGE[1]:y0 + PAGE[1] + PAGE[3], x0 + PAGE[0]:x0 + PAGE[0] + PAGE[2]] = (244, 244, 240)
    keyed_blit(sheet, WRITTEN[147], x0 + 950, y0 + 120)
    keyed_blit(sheet, WRITTEN[145], x0 + 1000, y0 + 120)
    for x, pid in zip(TABS_X, (181, 182, 185, 187)):
        keyed_blit(sheet, WRITTEN[pid], x0 + x, y0 + TABS_Y)
    # game window title bar mock-up
    y = 730
    sheet[y:y + 31, 20:1220] = FRAME_BLUE
    sheet[y + 31:y + 80, 20:1220] = (30, 30, 30)
    ty = y + 2
    over(sheet, WRITTEN[150], 22, ty)
    xx = 22 + 322
    while xx < 1218 - 260:
        piece = WRITTEN[151].crop((0, 0, min(173, 1218 - 260 - xx), 27))
        over(sheet, piece, xx, ty)
        xx += 173
    over(sheet, WRITTEN[152], 1218 - 260, ty)
    over(sheet, WRITTEN[164], 27, ty + 5)
    lx = 700
    for pid in (191, 192, 195, 197):
        keyed_blit(sheet, WRITTEN[pid], lx, ty + 4)
        lx += WRITTEN[pid].size[0] + 6
    bx = 1218 - 4 - 5 * 24
    for pid in (189, 161, 158, 163, 166):
        keyed_blit(sheet, WRITTEN[pid], bx, ty + 2)
        bx += 24
    # exit box and splash as the compositor shows them
    over(sheet, WRITTEN[167], 40, 840, premult=True)
    keyed_blit(sheet, WRITTEN[171], 40 + 30, 840 + 64)
    keyed_blit(sheet, WRITTEN[168], 40 + 130, 840 + 64)
    sheet[830:1030, 300:740] = (226, 228, 232)
    over(sheet, WRITTEN[109], 310, 838, premult=True)
    over(sheet, WRITTEN[167], 780, 840, premult=True)
    # every picture on a checkerboard, enlarged 2x when small
    cx, cy, rowh = 20, 1060, 0
    for pid in sorted(WRITTEN):
        im = WRITTEN[pid]
        if im.size[0] > 420:
            continue
        z = 3 if im.size[0] <= 46 else (2 if im.size[0] <= 142 else 1)
        big = im.resize((im.size[0] * z, im.size[1] * z), Image.NEAREST)
        if cx + big.size[0] > W - 20:
            cx, cy, rowh = 20, cy + rowh + 24, 0
        chk = ((np.indices((big.size[1], big.size[0])) // 6).sum(0) % 2)[..., None] * 40 + 150
        sheet[cy:cy + big.size[1], cx:cx + big.size[0]] = chk
        over(sheet, big, cx, cy, premult=pid in (109, 110, 111, 112, 113, 167))
        rowh = max(rowh, big.size[1])
        cx += big.size[0] + 14
    cy += rowh + 24
    cx = 20
    for im in icons:
        z = max(1, 128 // im.size[0]) if im.size[0] < 64 else 1
        big = im.resize((im.size[0] * z, im.size[1] * z), Image.NEAREST)
        sheet[cy:cy + big.size[1], cx:cx + big.size[0]] = (226, 228, 232)
        over(sheet, big, cx, cy)
        sheet[cy + 270:cy + 270 + im.size[1], cx:cx + im.size[0]] = (30, 40, 60)
        over(sheet, im, cx, cy + 270)
        cx += big.size[0] + 20
    Image.fromarray(np.uint8(np.clip(sheet[:cy + 540], 0, 255))).save(path)


def main():
    os.makedirs(PNG_DIR, exist_ok=True)
    os.makedirs(os.path.dirname(ICO_PATH), exist_ok=True)
    draw_title_pieces()
    draw_title_logo()
    draw_title_buttons()
    draw_title_links()
    draw_login()
    draw_login_buttons()
    draw_splash(109, "Checking for updates\u2026")
    draw_splash(110, "Starting the new version\u2026")
    draw_splash(111, None)
    draw_splash_bar()
    draw_exit_box()
    draw_exit_buttons()
    draw_page_panel()
    draw_retry_faces()
    icons = draw_icon()
    assert sorted(WRITTEN) == sorted(SIZES), set(SIZES) ^ set(WRITTEN)
    if "--sheet" in sys.argv:
        contact_sheet(sys.argv[sys.argv.index("--sheet") + 1], icons)
    print(f"wrote {len(WRITTEN)} pictures to {PNG_DIR} and {ICO_PATH}")


if __name__ == "__main__":
    main()
