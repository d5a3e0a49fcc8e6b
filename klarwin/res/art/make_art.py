#!/usr/bin/env python3
"""Draws every bitmap, the program icon and the loading animation of Klarwin.

    make_art.py --out DIR            write the artwork, art.rc.inc and the previews into DIR
    make_art.py --out DIR --no-preview
    make_art.py --list               print the names of the files it writes (for the build)

Everything is drawn here from the palette below; change a colour and run it again.
Shapes are drawn at SS times the final size and reduced, text is drawn at final size
with the font's hinting. Buttons are drawn over the colour they sit on, and only the
pixels no shape touches get the colour key, so no key colour bleeds into an edge.
Needs Python 3 with Pillow and the DejaVu fonts (Debian: python3-pil, fonts-dejavu-core).
"""
import argparse
import io
import math
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

# ---------------------------------------------------------------------------
# Palette and theme: the one place to change the look.
# ---------------------------------------------------------------------------
THEME = {
    "chrome_top": "#1d2d47",      # main window frame, header and side bar (top ...
    "chrome_bottom": "#101b2d",   # ... to bottom)
    "chrome_line": "#2c3e5c",     # hairlines on the frame
    "chrome_text": "#eef3fa",     # text on the frame
    "chrome_muted": "#8fa1ba",    # secondary text on the frame
    "card": "#ffffff",            # content card of the main window
    "body": "#f4f6f9",            # body of the dialogs, panels, behind check boxes and buttons
    "border": "#d8e0ea",          # panel and card borders
    "text": "#1f2d3d",            # headings drawn into the artwork
    "muted": "#66768a",           # secondary text drawn into the artwork
    "accent": "#1c6fd1",          # buttons, check marks, icons (light end of gradients ...
    "accent_dark": "#1459ad",     # ... and dark end)
    "accent_soft": "#e6f0fc",     # tinted backgrounds
    "accent2": "#12a5b8",         # second brand colour (icon gradient, stripes)
    "status_panel": "#0b1424",    # panel behind the problems display (takes pure green and red text)
    "alert": "#c23a2c",           # results headline banner (white text on it ...
    "alert_dark": "#9b2b20",      # ... top to bottom)
    "list_bg": "#eeeeee",         # results list background the program paints, RGB(238, 238, 238)
    "list_text": "#2d363f",       # text of the results list, RGB(45, 54, 63)
    "box_edge": "#9aa8b8",        # edge of an empty check box
    "light_edge": "#b5c3d4",      # edge of the light button (blue caption)
    "disabled": "#c9d1db",        # greyed button
    "off_segment": "#cfd6df",     # empty segment of a severity meter
    "close_hover": "#e0424a",     # close button under the pointer
    # health levels: none, 1-30, 31-60, 61-90, 91-120, more than 120 problems
    "levels": ["#2fbf71", "#8cc63f", "#f2b531", "#ef8a2a", "#e35a3a", "#cf2b2b"],
}
FONT_DIRS = ["/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/dejavu",
             "/usr/local/share/fonts", os.environ.get("KLARWIN_ART_FONT_DIR", "")]
FONT_REGULAR, FONT_BOLD = "DejaVuSans.ttf", "DejaVuSans-Bold.ttf"

SS = 4                       # supersampling factor for shapes
KEY = (255, 0, 0)            # colour key of every button ...
CLOSE_KEY = (255, 10, 0)     # ... except the main window's close button
LEVEL_NAMES = ["Excellent", "Good", "Fair", "Poor", "Bad", "Critical"]
LEVEL_NOTES = ["No problems found", "A few problems", "Repair advised",
               "Repair needed", "Repair urgently", "Serious problems"]
SEVERITY_NAMES = ["Low", "Medium", "High", "Very high", "Critical"]


def rgb(c):
    if isinstance(c, tuple):
        return c
    c = c.lstrip("#")
    return tuple(int(c[i:i + 2], 16) for i in (0, 2, 4))


def T(name):
    return rgb(THEME[name])


def level_colour(level):
    return rgb(THEME["levels"][level])


def mix(a, b, t):
    """Colour a moved by t (0..1) toward colour b."""
    a, b = rgb(a), rgb(b)
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def luminance(c):
    def lin(v):
        v /= 255.0
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
    r, g, b = rgb(c)
    return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b)


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


_fonts = {}


def font(px, bold=False):
    key = (px, bold)
    if key not in _fonts:
        name = FONT_BOLD if bold else FONT_REGULAR
        for d in FONT_DIRS:
            if d and os.path.exists(os.path.join(d, name)):
                _fonts[key] = ImageFont.truetype(os.path.join(d, name), px)
                break
        else:
            sys.exit("make_art: %s not found; install the package fonts-dejavu-core" % name)
    return _fonts[key]


# ---------------------------------------------------------------------------
# Drawing surface: shapes at SS x, text at 1 x after reduction.
# ---------------------------------------------------------------------------
class Grad:
    """A linear gradient fill between two colours along x ('h') or y ('v'), in final pixels."""

    def __init__(self, a, b, start, end, axis="v"):
        self.a, self.b, self.start, self.end, self.axis = rgb(a), rgb(b), start, end, axis

    def layer(self, box):
        x0, y0, x1, y1 = box
        n = (y1 - y0) if self.axis == "v" else (x1 - x0)
        first = y0 if self.axis == "v" else x0
        span = max(1e-6, (self.end - self.start) * SS)
        line = [mix(self.a, self.b, min(1.0, max(0.0, (first + i - self.start * SS) / span)))
                for i in range(n)]
        strip = Image.new("RGB", (1, n) if self.axis == "v" else (n, 1))
        strip.putdata(line)
        return strip.resize((x1 - x0, y1 - y0), Image.NEAREST)


class Pen:
    """Draws filled shapes into a mask, in a unit space mapped onto a box of the canvas."""

    def __init__(self, mask, box):
        self.d = ImageDraw.Draw(mask)
        x0, y0, x1, y1 = box
        self.ox, self.oy, self.s = x0 * SS, y0 * SS, (x1 - x0) * SS

    def p(self, u, v):
        return (self.ox + u * self.s, self.oy + v * self.s)

    def circle(self, cx, cy, r, fill=255):
        x, y = self.p(cx, cy)
        self.d.ellipse([x - r * self.s, y - r * self.s, x + r * self.s, y + r * self.s], fill=fill)

    def ring(self, cx, cy, r, w):
        self.circle(cx, cy, r + w / 2)
        self.circle(cx, cy, r - w / 2, 0)

    def line(self, pts, w, fill=255):
        pts = [self.p(u, v) for u, v in pts]
        self.d.line(pts, fill=fill, width=max(1, int(round(w * self.s))), joint="curve")
        for x, y in (pts[0], pts[-1]):
            r = w * self.s / 2
            self.d.ellipse([x - r, y - r, x + r, y + r], fill=fill)

    def poly(self, pts, fill=255):
        self.d.polygon([self.p(u, v) for u, v in pts], fill=fill)

    def rrect(self, u0, v0, u1, v1, r, fill=255):
        (x0, y0), (x1, y1) = self.p(u0, v0), self.p(u1, v1)
        self.d.rounded_rectangle([x0, y0, x1, y1], radius=r * self.s, fill=fill)

    def arc(self, cx, cy, r, start, end, w, fill=255):
        x, y = self.p(cx, cy)
        rr = (r + w / 2) * self.s
        self.d.arc([x - rr, y - rr, x + rr, y + rr], start, end, fill=fill,
                   width=max(1, int(round(w * self.s))))


class Canvas:
    def __init__(self, size, base):
        self.w, self.h = size
        full = (self.w * SS, self.h * SS)
        if isinstance(base, Image.Image):
            self.im = base.convert("RGB").resize(full, Image.NEAREST)
        else:
            self.im = Image.new("RGB", full, rgb(base))
        self.cover = Image.new("L", full, 0)
        self.texts = []

    def new_mask(self):
        return Image.new("L", self.im.size, 0)

    def paint(self, fill, mask, opacity=1.0, track=True):
        bbox = mask.getbbox()
        if not bbox:
            return
        m = mask.crop(bbox)
        if opacity < 1.0:
            m = m.point(lambda v: int(v * opacity + 0.5))
        if isinstance(fill, Grad):
            self.im.paste(fill.layer(bbox), bbox[:2], m)
        else:
            self.im.paste(rgb(fill), bbox, m)
        if track:
            region = self.cover.crop(bbox)
            self.cover.paste(ImageChops.lighter(region, m), bbox[:2])

    def _rrect_mask(self, box, r):
        x0, y0, x1, y1 = box
        m = self.new_mask()
        ImageDraw.Draw(m).rounded_rectangle([x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1],
                                            radius=max(0, r) * SS, fill=255)
        return m

    def rrect(self, box, r, fill, opacity=1.0, outline=None, width=1.0, track=True):
        """Rounded rectangle; with an outline, a ring of that width inside the box."""
        outer = self._rrect_mask(box, r)
        if outline is None:
            if fill is not None:
                self.paint(fill, outer, opacity, track)
            return
        x0, y0, x1, y1 = box
        inner = self._rrect_mask((x0 + width, y0 + width, x1 - width, y1 - width), r - width)
        self.paint(outline, ImageChops.subtract(outer, inner), opacity, track)
        if fill is not None:
            self.paint(fill, inner, opacity, track)

    def rect(self, box, fill, opacity=1.0, track=True):
        self.rrect(box, 0, fill, opacity, track=track)

    def glyph(self, draw_fn, box, fill, opacity=1.0, track=True):
        """Paints the shape that draw_fn(pen) draws in unit space over the square box."""
        m = self.new_mask()
        draw_fn(Pen(m, box))
        self.paint(fill, m, opacity, track)

    def shadow(self, box, r, blur, dy, colour="#000000", opacity=0.25):
        m = Image.new("L", (self.w, self.h), 0)
        x0, y0, x1, y1 = box
        ImageDraw.Draw(m).rounded_rectangle([x0, y0 + dy, x1 - 1, y1 - 1 + dy], radius=r, fill=255)
        m = m.filter(ImageFilter.GaussianBlur(blur)).resize(self.im.size, Image.BILINEAR)
        self.paint(colour, m, opacity, track=False)

    def text(self, xy, s, px, colour, bold=False, anchor="la", tracking=0.0):
        self.texts.append((xy, s, px, rgb(colour), bold, anchor, tracking))

    def finish(self, key=None):
        out = self.im.reduce(SS)
        d = ImageDraw.Draw(out)
        for (x, y), s, px, colour, bold, anchor, tracking in self.texts:
            f = font(px, bold)
            if tracking:
                width = sum(f.getlength(ch) for ch in s) + tracking * (len(s) - 1)
                if anchor[0] == "m":
                    x -= width / 2
                elif anchor[0] == "r":
                    x -= width
                for ch in s:
                    d.text((x, y), ch, font=f, fill=colour, anchor="l" + anchor[1])
                    x += f.getlength(ch) + tracking
            else:
                d.text((x, y), s, font=f, fill=colour, anchor=anchor)
        if key is not None:
            out = apply_key(out, self.cover.reduce(SS), key)
        return out


def apply_key(img, cover, key, threshold=6):
    """Pixels no shape covers become the key; a drawn pixel that happens to equal it is nudged."""
    px, cv = img.load(), cover.load()
    nudged = (key[0], min(255, key[1] + 1) if key[1] < 255 else key[1] - 1, key[2])
    for y in range(img.height):
        for x in range(img.width):
            if cv[x, y] <= threshold:
                px[x, y] = key
            elif px[x, y] == key:
                px[x, y] = nudged
    return img


# ---------------------------------------------------------------------------
# Glyphs, drawn in unit space (0..1) by a Pen.
# ---------------------------------------------------------------------------
def g_magnifier(p):
    p.ring(0.42, 0.42, 0.25, 0.11)
    p.line([(0.62, 0.62), (0.85, 0.85)], 0.14)


def g_gear(p):
    for i in range(8):
        a = i * math.pi / 4
        c, s = math.cos(a), math.sin(a)
        w, r0, r1 = 0.09, 0.2, 0.45
        p.poly([(0.5 + c * r0 - s * w, 0.5 + s * r0 + c * w), (0.5 + c * r1 - s * w, 0.5 + s * r1 + c * w),
                (0.5 + c * r1 + s * w, 0.5 + s * r1 - c * w), (0.5 + c * r0 + s * w, 0.5 + s * r0 - c * w)])
    p.circle(0.5, 0.5, 0.33)
    p.circle(0.5, 0.5, 0.13, 0)


def g_restore(p):
    p.arc(0.5, 0.5, 0.33, 200, 500, 0.1)
    p.poly([(0.06, 0.3), (0.3, 0.32), (0.12, 0.52)])
    p.line([(0.5, 0.32), (0.5, 0.52), (0.64, 0.6)], 0.09)


def g_power(p):
    p.arc(0.5, 0.54, 0.32, -55, 235, 0.11)
    p.line([(0.5, 0.1), (0.5, 0.46)], 0.11)


def g_wrench(p):
    p.line([(0.38, 0.38), (0.82, 0.82)], 0.17)
    p.circle(0.32, 0.32, 0.24)
    p.poly([(0.2, 0.0), (0.04, 0.16), (0.26, 0.38), (0.42, 0.22)], 0)
    p.circle(0.32, 0.32, 0.06, 0)


def shield_outline(inset=0.0):
    pts = []
    for i in range(13):                      # right flank, top corner down to the tip
        t = i / 12
        pts.append((0.86 - inset - 0.36 * t ** 2.2 + 0.0 * t, 0.2 + inset + 0.72 * t - inset * 1.6 * t))
    left = [(1 - u, v) for u, v in reversed(pts)]
    return [(0.5, 0.06 + inset * 1.2)] + pts + left


def g_shield(p, check=True):
    p.poly(shield_outline())
    if check:
        p.line([(0.32, 0.5), (0.45, 0.63), (0.69, 0.37)], 0.1, 0)


def g_check(p, w=0.16):
    p.line([(0.22, 0.52), (0.42, 0.72), (0.78, 0.3)], w)


def g_warning(p):
    p.poly([(0.5, 0.06), (0.96, 0.9), (0.04, 0.9)])
    p.line([(0.5, 0.36), (0.5, 0.6)], 0.1, 0)
    p.circle(0.5, 0.75, 0.055, 0)


def g_bolt(p):
    p.poly([(0.58, 0.06), (0.2, 0.56), (0.46, 0.56), (0.38, 0.94), (0.8, 0.42), (0.54, 0.42), (0.66, 0.06)])


def g_list(p):
    for v in (0.3, 0.5, 0.7):
        p.line([(0.28, v), (0.72, v)], 0.1)


def g_minimise(p):
    p.line([(0.3, 0.62), (0.7, 0.62)], 0.075)


def g_close(p):
    p.line([(0.32, 0.32), (0.68, 0.68)], 0.075)
    p.line([(0.68, 0.32), (0.32, 0.68)], 0.075)


def brand_mark(c, box, shadow=True):
    """The shield-and-check mark of the program, in the accent gradient."""
    x0, y0, x1, y1 = box
    if shadow:
        m = c.new_mask()
        g_shield(Pen(m, (x0, y0 + 1.5, x1, y1 + 1.5)), check=False)
        c.paint("#000000", m.filter(ImageFilter.GaussianBlur(SS * 1.5)), 0.18, track=False)
    c.glyph(lambda p: g_shield(p, False), box, Grad(T("accent2"), T("accent"), y0, y1))
    c.glyph(lambda p: p.line([(0.32, 0.5), (0.45, 0.63), (0.69, 0.37)], 0.1), box, "#ffffff")


# ---------------------------------------------------------------------------
# Where things sit: controls of the windows (client pixels), used to blend the
# buttons into their backgrounds, for the mock-ups and for the contrast checks.
# ---------------------------------------------------------------------------
MAIN_W, MAIN_H, DLG_W, DLG_H, SMALL_W, SMALL_H, SUM_W, SUM_H = 770, 571, 528, 461, 450, 393, 570, 498
NAV = [  # (normal, hover, x, y, title, subtitle, glyph, primary)
    (196, 187, 32, 92, "Scan", "Check the registry", g_magnifier, True),
    (188, 189, 32, 152, "Settings", "Options and schedule", g_gear, False),
    (192, 193, 32, 212, "Restore", "Undo an earlier repair", g_restore, False),
    (194, 195, 32, 272, "Startup Manager", "Programs at start-up", g_power, False),
    (190, 191, 30, 334, "Advanced Repair", "A personal solution", g_wrench, False),
]
SECTIONS = ["ActiveX / OLE", "Application Paths", "Sound Files", "Help Files", "Windows Startup",
            "System Software Settings", "Shared Dll", "Empty Registry Keys", "System Drivers",
            "Uninstall Files", "Windows Fonts", "Program Shortcuts"]
# Statics the dialog template places (no position in code): where the artwork expects them.
TEMPLATE_STATICS = {1049: (115, 486, 100, 15), 1050: (115, 504, 100, 15), 1159: (115, 522, 85, 18)}
TITLE = (13, 90, 153)
WHITE, BLACK = (255, 255, 255), (0, 0, 0)
# Text the program draws over the artwork: (bitmap, x, y, w, h, colour, points, bold, sample,
# minimum contrast against every part of the background it covers).
TEXT_ZONES = [
    (149, 18, 12, 90, 15, WHITE, 10, True, "Klarwin v1.0.0", 4.5),
    (149, 257, 390, 200, 15, (255, 0, 0), 10, True, "08-DEC-2026", 4.0),
    (149, 257, 409, 200, 21, (0, 255, 0), 11, True, "0 registry errors", 4.5),
    (149, 257, 409, 200, 21, (255, 0, 0), 11, True, "25 registry errors", 4.0),
    (149, *TEMPLATE_STATICS[1049], WHITE, 8, False, "1.0.0", 4.5),
    (149, *TEMPLATE_STATICS[1050], WHITE, 8, False, "01-MAY-2011", 4.5),
    (149, *TEMPLATE_STATICS[1159], (255, 255, 0), 8, True, "Available", 4.5),
    (265, 130, 33, 80, 14, (0, 0, 255), 8, False, "Download Now", 4.5),
] + [(149, 300 if i < 6 else 530, 223 + (i % 6) * 20, 160, 21, TITLE, 10, False, SECTIONS[i], 4.5)
     for i in range(12)] + [
    (200, 50, 30, 181, 21, TITLE, 14, False, "REGISTRY SCAN", 4.5),
    (200, 50, 90, 420, 21, BLACK, 9, True, "PC scan in progress. Please wait.", 7.0),
    (200, 50, 110, 420, 21, (128, 128, 128), 8, False, "HKEY_CLASSES_ROOT\\CLSID\\{...}", 3.5),
    (201, 50, 30, 181, 21, TITLE, 14, False, "SETTINGS", 4.5),
    (201, 35, 65, 381, 42, BLACK, 8, False, "A registry backup is automatically created.", 7.0),
    (247, 50, 30, 181, 21, TITLE, 14, False, "SCAN RESULT", 4.5),
    (247, 100, 100, 351, 21, WHITE, 12, True, "Attention!   12 registry errors were found", 4.5),
    (247, 320, 373, 181, 21, (152, 2, 9), 12, True, "12", 4.5),
    (211, 40, 30, 250, 21, TITLE, 14, False, "REPAIR SUMMARY", 4.5),
    (211, 320, 410, 190, 21, TITLE, 12, True, "12      12      0", 4.5),
] + [(211, 50, 122 + 24 * k, 160, 21, (19, 156, 175), 10, False, SECTIONS[k], 3.0) for k in range(12)] + [
    (211, 320, 122 + 24 * k, 190, 21, BLACK, 10, False, "3", 7.0) for k in range(12)]
# Captions the program draws on the buttons: (bitmap, colour, points, sample, minimum contrast).
CAPTIONS = [(202, WHITE, 8, "Stop Scan", 4.5), (203, WHITE, 8, "Repair Problems", 4.5),
            (204, WHITE, 9, "Update", 4.5), (242, (0, 0, 255), 8, "View scan reports", 4.5)]


# ---------------------------------------------------------------------------
# Window backgrounds
# ---------------------------------------------------------------------------
def main_background():
    W, H = MAIN_W, MAIN_H
    c = Canvas((W, H), T("chrome_top"))
    c.rect((0, 0, W, H), Grad(T("chrome_top"), T("chrome_bottom"), 0, H))
    c.rect((0, 0, W, 36), "#000000", 0.16)                   # title strip
    c.rect((0, 36, W, 37), T("chrome_line"), 0.7)
    # logo
    brand_mark(c, (24, 44, 62, 82))
    c.text((72, 43), "Klarwin", 24, T("chrome_text"), bold=True)
    c.text((74, 72), "REGISTRY CLEANER", 9, T("chrome_muted"), bold=True, tracking=1.6)
    # side bar: program information under the navigation
    c.rrect((18, 452, 226, 548), 10, "#ffffff", 0.04, track=False)
    c.rrect((18, 452, 226, 548), 10, None, 0.10, outline="#ffffff", width=1, track=False)
    c.text((30, 464), "ABOUT THIS COPY", 9, T("chrome_muted"), bold=True, tracking=1.2)
    for label, key in (("Version", 1049), ("Released", 1050), ("Updates", 1159)):
        x, y, w, h = TEMPLATE_STATICS[key]
        c.text((30, y + 1), label, 11, T("chrome_muted"))
    # content card
    card = (236, 96, 744, 530)
    c.shadow(card, 14, 6, 3, "#000000", 0.35)
    c.rrect(card, 14, T("card"))
    c.text((262, 111), "Registry Scan", 22, T("text"), bold=True)
    c.text((263, 143), "Choose the areas to check, then press Scan Now.", 12, T("muted"))
    c.text((263, 161), "Every repair is backed up first and can be undone.", 12, T("muted"))
    c.glyph(lambda p: p.circle(0.5, 0.5, 0.5), (640, 112, 724, 196), T("accent_soft"))
    brand_mark(c, (654, 124, 710, 180))
    # scan areas panel
    c.text((264, 192), "SCAN AREAS", 9, T("muted"), bold=True, tracking=1.4)
    c.rrect((262, 210, 720, 352), 10, T("body"), outline=T("border"), width=1)
    c.rect((496, 224, 497, 340), T("border"))
    # status panel behind the last-scan date, the problem count and the health gauge
    panel = (246, 362, 732, 456)
    c.rrect(panel, 12, Grad(mix(T("status_panel"), "#ffffff", 0.05), T("status_panel"), 362, 456))
    c.text((257, 373), "LAST SCAN", 9, T("chrome_muted"), bold=True, tracking=1.4)
    c.rect((468, 376, 469, 442), "#ffffff", 0.12)
    return c.finish()


def dialog_background(w, h):
    """Body of every captioned dialog (and the borderless download window)."""
    c = Canvas((w, h), T("body"))
    c.rect((0, 0, w, 4), Grad(T("accent"), T("accent2"), 0, w, "h"))
    c.glyph(lambda p: p.circle(0.5, 0.5, 0.5), (w - 78, 12, w - 26, 64), T("accent_soft"))
    brand_mark(c, (w - 67, 23, w - 37, 53))
    brand_mark(c, (22, h - 36, 36, h - 22), shadow=False)      # footer word mark
    c.text((41, h - 29), "Klarwin", 11, T("muted"), bold=True, anchor="lm")
    c.rect((0, 0, 1, h), T("border"))                         # edge for the borderless window
    c.rect((w - 1, 0, w, h), T("border"))
    c.rect((0, h - 1, w, h), T("border"))
    return c


def results_background():
    c = dialog_background(DLG_W, DLG_H)
    c.shadow((40, 88, 494, 134), 10, 4, 2, T("alert_dark"), 0.35)
    c.rrect((40, 88, 494, 134), 10, Grad(T("alert"), T("alert_dark"), 88, 134))
    c.glyph(g_warning, (56, 97, 84, 125), "#ffffff")
    for x, label, anchor in ((65, "SCAN AREA", "la"), (310, "ERRORS", "ra"), (330, "SEVERITY", "la")):
        c.text((x, 166), label, 9, T("muted"), bold=True, anchor=anchor, tracking=0.6)
    c.rrect((39, 181, 495, 359), 0, None, outline=T("border"))   # frame around the results list
    c.text((312, 377), "Total errors found:", 12, T("text"), bold=True, anchor="ra")
    return c.finish()


def summary_background():
    c = dialog_background(SUM_W, SUM_H)
    table = (36, 86, 534, 440)
    c.shadow(table, 10, 4, 1, "#000000", 0.08)
    c.rrect(table, 10, T("card"), outline=T("border"), width=1)
    for x, label, colour in ((50, "SCAN AREA", T("muted")), (335, "FOUND", level_colour(5)),
                             (415, "REPAIRED", level_colour(0)), (495, "IGNORED", T("muted"))):
        c.text((x, 99), label, 9, mix(colour, "#000000", 0.15), bold=True,
               anchor="la" if x == 50 else "ma", tracking=1.0)
    for k in range(12):
        if k % 2:
            c.rect((37, 120 + 24 * k, 533, 144 + 24 * k), mix(T("body"), T("card"), 0.45))
    c.rect((37, 406, 533, 439), T("accent_soft"))
    c.rect((37, 406, 533, 407), T("accent"), 0.6)
    c.rrect((37, 406, 533, 439), 9, None)                     # keeps the card's rounded bottom
    c.text((50, 420.5), "TOTAL", 12, TITLE, bold=True, anchor="lm", tracking=1.0)
    return c.finish()


# ---------------------------------------------------------------------------
# Buttons (all keyed: what no shape covers is the colour key)
# ---------------------------------------------------------------------------
def crop(img, x, y, w, h):
    return img.crop((x, y, x + w, y + h))


def nav_button(bg, title, subtitle, glyph, state, dx=0):
    """181 x 50 navigation button of the side bar; state is 'normal', 'hover' or 'primary'/'primary_hover'.
    dx moves the drawing right (a button placed left of the others still lines up with them)."""
    w, h = 181, 50
    c = Canvas((w, h), bg)
    primary = state.startswith("primary")
    hover = state.endswith("hover")
    if primary:
        top, bottom = (mix(T("accent"), "#ffffff", 0.12), T("accent")) if hover else (T("accent"), T("accent_dark"))
        c.rrect((dx, 0, w, h), 10, Grad(top, bottom, 0, h))
        c.rrect((dx + 9, 1, w - 9, 2), 1, "#ffffff", 0.18)
    elif hover:
        c.rrect((dx, 0, w, h), 10, "#ffffff", 0.10)
        c.rrect((dx, 10, dx + 4, 40), 2, T("accent2"))
    else:
        c.rrect((dx, 0, w, h), 10, "#ffffff", 0.035)
    tile = "#ffffff" if primary else (T("accent") if hover else T("chrome_line"))
    c.rrect((dx + 10, 10, dx + 40, 40), 8, tile, 0.22 if primary else 1.0)
    c.glyph(glyph, (dx + 16, 16, dx + 34, 34), "#ffffff")
    title_colour = "#ffffff" if (primary or hover) else T("chrome_text")
    sub_colour = mix("#ffffff", T("accent"), 0.25) if primary else T("chrome_muted")
    c.text((dx + 50, 9), title, 13, title_colour, bold=True)
    c.text((dx + 50, 28), subtitle, 10, sub_colour)
    return c.finish(KEY)


def action_button(bg, text, glyph, style):
    """113 x 31 button of the main card: 'primary', 'primary_hover', 'secondary', 'secondary_hover', 'disabled'."""
    w, h = 113, 31
    c = Canvas((w, h), bg)
    if style.startswith("primary"):
        lift = 0.12 if style.endswith("hover") else 0.0
        c.shadow((1, 1, w - 1, h - 1), 7, 1.5, 1, T("accent_dark"), 0.35)
        c.rrect((0, 0, w, h - 1), 8, Grad(mix(T("accent"), "#ffffff", lift), mix(T("accent_dark"), "#ffffff", lift), 0, h))
        fg = "#ffffff"
    elif style == "disabled":
        c.rrect((0, 0, w, h - 1), 8, T("disabled"))
        fg = T("body")
    else:
        fill = T("accent_soft") if style.endswith("hover") else T("card")
        c.rrect((0, 0, w, h - 1), 8, fill, outline=T("accent"), width=1.5)
        fg = T("accent_dark")
    tw = font(12, True).getlength(text)
    x = (w - tw - 18) / 2
    c.glyph(glyph, (x, 9, x + 13, 22), fg)
    c.text((x + 18, 15), text, 12, fg, bold=True, anchor="lm")
    return c.finish(KEY)


def caption_button(size, style, bg):
    """Plain buttons whose caption the program draws: 'accent' (white text) or 'light' (blue text)."""
    w, h = size
    c = Canvas(size, bg)
    if style == "accent":
        c.rrect((0, 0, w, h), 5, Grad(T("accent"), T("accent_dark"), 0, h))
        c.rrect((5, 1, w - 5, 2), 1, "#ffffff", 0.2)
    elif style == "chrome":
        c.rrect((0, 0, w, h), 8, "#ffffff", 0.10)
        c.rrect((0, 0, w, h), 8, None, 0.32, outline="#ffffff", width=1)
    else:
        c.rrect((0, 0, w, h), 5, Grad("#ffffff", T("body"), 0, h), outline=T("light_edge"), width=1)
    return c.finish(KEY)


def window_button(bg, glyph, hover, key, hover_fill):
    c = Canvas((24, 24), bg)
    if hover:
        c.rrect((0, 0, 24, 24), 6, hover_fill, 1.0 if hover_fill != "#ffffff" else 0.14)
    c.glyph(glyph, (0, 0, 24, 24), "#ffffff" if hover else T("chrome_muted"))
    return c.finish(key)


# ---------------------------------------------------------------------------
# Small images: check cells, details icon, severity bars, health gauge, promotion
# ---------------------------------------------------------------------------
def check_box(c, x, checked, state):
    """One 13 x 13 check box image at x: state 'normal', 'hot' or 'pressed'."""
    if checked:
        fill = {"normal": T("accent"), "hot": mix(T("accent"), "#ffffff", 0.15),
                "pressed": T("accent_dark")}[state]
        c.rrect((x, 0, x + 13, 13), 3, fill)
        c.glyph(lambda p: g_check(p, 0.17), (x + 1, 1, x + 12, 12), "#ffffff")
    else:
        edge = {"normal": T("box_edge"), "hot": T("accent"), "pressed": T("accent_dark")}[state]
        inside = {"normal": "#ffffff", "hot": "#ffffff", "pressed": T("accent_soft")}[state]
        c.rrect((x, 0, x + 13, 13), 3, inside, outline=edge, width=1.2)


def check_cells():
    c = Canvas((26, 13), T("list_bg"))
    check_box(c, 0, True, "normal")
    check_box(c, 13, False, "normal")
    return c.finish()


def check_strip(checked):
    c = Canvas((39, 13), T("body"))
    for i, state in enumerate(("normal", "hot", "pressed")):
        check_box(c, 13 * i, checked, state)
    return c.finish()


def details_icon():
    c = Canvas((16, 16), T("list_bg"))
    c.rrect((0.5, 0.5, 15.5, 15.5), 4, Grad(T("accent"), T("accent_dark"), 0, 16))
    c.glyph(g_list, (1, 1, 15, 15), "#ffffff")
    return c.finish()


def severity_bar(level):
    """145 x 33 meter for the results list: level 1..5 lit segments and its name."""
    c = Canvas((145, 33), T("list_bg"))
    colour = level_colour(level)
    for i in range(5):
        x = 2 + i * 15
        c.rrect((x, 13, x + 12, 20), 2.5, colour if i < level else T("off_segment"))
    c.text((82, 16.5), SEVERITY_NAMES[level - 1], 11, T("list_text"), bold=True, anchor="lm")
    return c.finish()


def health_gauge(bg, level):
    """210 x 75 status image beside the problems display: a dial and a verdict."""
    c = Canvas((210, 75), bg)
    cx, cy, r = 44, 56, 32
    box = (cx - 40, cy - 40, cx + 40, cy + 40)
    levels = [level_colour(i) for i in range(6)]
    for i in range(6):
        start = 180 + i * 30 + 2
        c.glyph(lambda p, s=start: p.arc(0.5, 0.5, r / 80, s, s + 26, 8 / 80), box,
                levels[i], 1.0 if i <= max(level, 0) else 0.35)
    angle = math.radians(180 + 15 + level * 30)
    tip = (0.5 + math.cos(angle) * 0.3, 0.5 + math.sin(angle) * 0.3)
    c.glyph(lambda p: p.line([(0.5, 0.5), tip], 0.05), box, "#ffffff")
    c.glyph(lambda p: p.circle(0.5, 0.5, 0.045), box, "#ffffff")
    c.text((92, 14), "PC HEALTH", 9, T("chrome_muted"), bold=True, tracking=1.4)
    c.text((91, 26), LEVEL_NAMES[level], 17, levels[level], bold=True)
    c.text((92, 50), LEVEL_NOTES[level], 10, mix(T("chrome_text"), T("chrome_muted"), 0.4))
    return c.finish()


def promotion(bg):
    """213 x 61 invitation to get the companion program; the program adds a link at 130, 33."""
    c = Canvas((213, 61), bg)
    box = (2, 8, 211, 60)
    c.rrect(box, 10, T("accent_soft"), outline=mix(T("accent_soft"), T("accent"), 0.25), width=1)
    c.rrect((12, 19, 42, 49), 8, Grad(T("accent2"), mix(T("accent2"), "#000000", 0.2), 19, 49))
    c.glyph(g_bolt, (17, 24, 37, 44), "#ffffff")
    c.text((52, 15), "Get Vantrel", 12, T("text"), bold=True)
    c.text((52, 34), "Free add-on", 10, T("muted"))
    return c.finish()


# ---------------------------------------------------------------------------
# Program icon and loading animation
# ---------------------------------------------------------------------------
def icon_image(size):
    """One size of the program icon, RGBA; the small sizes get a fuller, simpler drawing."""
    c = Canvas((size, size), (0, 0, 0))
    pad = 0 if size <= 24 else size * 0.04
    box = (pad, pad, size - pad, size - pad)
    c.rrect(box, size * 0.22, Grad(T("accent2"), T("accent_dark"), pad, size - pad))
    inset = size * (0.14 if size <= 24 else 0.2)
    sbox = (inset, inset + size * 0.01, size - inset, size - inset + size * 0.01)
    c.glyph(lambda p: g_shield(p, False), sbox, "#ffffff")
    width = 0.14 if size <= 16 else 0.11
    c.glyph(lambda p: p.line([(0.3, 0.5), (0.45, 0.65), (0.71, 0.36)], width), sbox, T("accent"))
    rgb_im = c.finish()
    alpha = c.cover.reduce(SS)
    # Drawn over black: edge pixels hold colour x coverage; divide it out again.
    px, al = rgb_im.load(), alpha.load()
    for y in range(size):
        for x in range(size):
            a = al[x, y]
            if 0 < a < 255:
                px[x, y] = tuple(min(255, v * 255 // a) for v in px[x, y])
    out = rgb_im.convert("RGBA")
    out.putalpha(alpha)
    return out


def spinner_frames(n=12, size=21):
    """Frames of an accent arc turning clockwise on a light track, over the dialog body."""
    frames = []
    box = (0, 0, size, size)
    r, w = 7.4 / size, 2.8 / size
    for f in range(n):
        c = Canvas((size, size), T("body"))
        c.glyph(lambda p: p.arc(0.5, 0.5, r, 0, 360, w), box, T("off_segment"))
        start = f * 360 / n - 90
        c.glyph(lambda p: p.arc(0.5, 0.5, r, start, start + 100, w), box, T("accent"))
        for cap in (start, start + 100):              # round ends
            a = math.radians(cap)
            cx, cy = 0.5 + math.cos(a) * r, 0.5 + math.sin(a) * r
            c.glyph(lambda p: p.circle(cx, cy, w / 2), box, T("accent"))
        frames.append(c.finish())
    return frames


# ---------------------------------------------------------------------------
# File writers: 24-bit BMP (Pillow), GIF and ICO (here, so every frame and size is whole)
# ---------------------------------------------------------------------------
def lzw(indices, min_bits=8):
    clear, end = 1 << min_bits, (1 << min_bits) + 1
    table, next_code, bits = {}, end + 1, min_bits + 1
    out, acc, nacc = bytearray(), 0, 0

    def emit(code):
        nonlocal acc, nacc
        acc |= code << nacc
        nacc += bits
        while nacc >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nacc -= 8

    emit(clear)
    prefix = indices[0]
    for k in indices[1:]:
        if (prefix, k) in table:
            prefix = table[(prefix, k)]
            continue
        emit(prefix)
        if next_code < 4096:
            table[(prefix, k)] = next_code
            next_code += 1
            if next_code > (1 << bits) and bits < 12:
                bits += 1
        else:
            emit(clear)
            table, next_code, bits = {}, end + 1, min_bits + 1
        prefix = k
    emit(prefix)
    emit(end)
    if nacc:
        out.append(acc & 0xFF)
    return bytes(out)


def gif_bytes(frames, delay_cs):
    """Looping GIF89a: one global palette, every frame the full size, opaque."""
    w, h = frames[0].size
    colours = sorted({px for f in frames for px in f.getdata()})
    if len(colours) > 256:                    # reduce with one shared palette
        pal_img = frames[0].quantize(256)
        frames = [f.quantize(palette=pal_img, dither=Image.NONE).convert("RGB") for f in frames]
        colours = sorted({px for f in frames for px in f.getdata()})
    index = {col: i for i, col in enumerate(colours)}
    palette = b"".join(bytes(col) for col in colours) + b"\0" * (3 * (256 - len(colours)))
    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", w, h, 0xF7, 0, 0) + palette)
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"
    for f in frames:
        out += b"\x21\xF9\x04\x04" + struct.pack("<H", delay_cs) + b"\x00\x00"
        out += b"\x2C" + struct.pack("<HHHHB", 0, 0, w, h, 0) + b"\x08"
        data = lzw([index[px] for px in f.getdata()])
        for i in range(0, len(data), 255):
            chunk = data[i:i + 255]
            out += bytes([len(chunk)]) + chunk
        out += b"\x00"
    return bytes(out + b"\x3B")


def ico_bytes(images):
    """ICO with 32-bit DIB entries (and an AND mask) below 256 pixels and PNG at 256."""
    blobs = []
    for im in images:
        w, h = im.size
        if w >= 256:
            buf = io.BytesIO()
            im.save(buf, "PNG")
            blobs.append(buf.getvalue())
            continue
        rows, mask_rows = [], []
        px = im.load()
        stride = ((w + 31) // 32) * 4
        for y in range(h - 1, -1, -1):
            rows.append(b"".join(bytes((px[x, y][2], px[x, y][1], px[x, y][0], px[x, y][3])) for x in range(w)))
            bits = bytearray(stride)
            for x in range(w):
                if px[x, y][3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask_rows.append(bytes(bits))
        body = b"".join(rows) + b"".join(mask_rows)
        blobs.append(struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, len(body), 0, 0, 0, 0) + body)
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for im, blob in zip(images, blobs):
        w, h = im.size
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return bytes(out + b"".join(blobs))


# ---------------------------------------------------------------------------
# The asset list: id, file, size, colour key, description
# ---------------------------------------------------------------------------
ASSETS = [
    (149, "main_window", (770, 571), None, "main window background"),
    (154, "close", (24, 24), CLOSE_KEY, "close button"),
    (155, "close_hover", (24, 24), CLOSE_KEY, "close button, pressed and hovered"),
    (156, "minimise", (24, 24), KEY, "minimise button"),
    (157, "minimise_hover", (24, 24), KEY, "minimise button, pressed and hovered"),
    (187, "nav_scan_hover", (181, 50), KEY, "scan navigation button, pressed and hovered"),
    (188, "nav_settings", (181, 50), KEY, "settings navigation button"),
    (189, "nav_settings_hover", (181, 50), KEY, "settings navigation button, pressed and hovered"),
    (190, "nav_solution", (181, 50), KEY, "advanced repair navigation button"),
    (191, "nav_solution_hover", (181, 50), KEY, "advanced repair navigation button, hovered and disabled"),
    (192, "nav_restore", (181, 50), KEY, "restore navigation button"),
    (193, "nav_restore_hover", (181, 50), KEY, "restore navigation button, pressed and hovered"),
    (194, "nav_startup", (181, 50), KEY, "start-up manager navigation button"),
    (195, "nav_startup_hover", (181, 50), KEY, "start-up manager navigation button, hovered and disabled"),
    (196, "nav_scan", (181, 50), KEY, "scan navigation button"),
    (197, "check_cells", (26, 13), None, "results check cells: selected (x 0), not selected (x 13)"),
    (198, "checkbox_off", (39, 13), None, "check box images, unchecked: normal, hot, pressed"),
    (199, "checkbox_on", (39, 13), None, "check box images, checked: normal, hot, pressed"),
    (200, "dialog_large", (528, 461), None, "large dialog background"),
    (201, "dialog_small", (450, 393), None, "small dialog background"),
    (202, "button_small", (81, 21), KEY, "dialog button 81 x 21 (caption by the program)"),
    (203, "button_wide", (121, 21), KEY, "wide dialog button (caption by the program)"),
    (204, "button_header", (80, 31), KEY, "header button of the main window (caption by the program)"),
    (211, "summary", (570, 498), None, "repair summary background"),
    (237, "scan_now", (113, 31), KEY, "Scan Now button"),
    (238, "scan_now_hover", (113, 31), KEY, "Scan Now button, pressed, hovered and disabled"),
    (239, "scan_now_disabled", (113, 31), KEY, "Scan Now button, greyed (spare)"),
    (240, "last_results_hover", (113, 31), KEY, "Last Results button, pressed, hovered and disabled"),
    (241, "last_results", (113, 31), KEY, "Last Results button"),
    (242, "button_light", (100, 21), KEY, "light dialog button (blue caption by the program)"),
    (247, "results", (528, 461), None, "scan results background"),
    (248, "details", (16, 16), None, "details icon of a results row"),
    (252, "severity_1", (145, 33), None, "severity meter, 1 to 30 errors"),
    (253, "severity_2", (145, 33), None, "severity meter, 31 to 60 errors"),
    (254, "severity_3", (145, 33), None, "severity meter, 61 to 90 errors"),
    (255, "severity_4", (145, 33), None, "severity meter, 91 to 120 errors"),
    (256, "severity_5", (145, 33), None, "severity meter, more than 120 errors"),
    (257, "health_0", (210, 75), None, "status image, no problems"),
    (259, "health_2", (210, 75), None, "status image, 31 to 60 problems"),
    (260, "health_3", (210, 75), None, "status image, 61 to 90 problems"),
    (261, "health_4", (210, 75), None, "status image, 91 to 120 problems"),
    (262, "health_5", (210, 75), None, "status image, more than 120 problems"),
    (265, "promotion", (213, 61), None, "companion program promotion"),
    (267, "health_1", (210, 75), None, "status image, 1 to 30 problems"),
]
ICON_ID, ICON_FILE, ICON_SIZES = 227, "klarwin.ico", (16, 24, 32, 48, 256)
GIF_FILE, RC_FILE = "Loading.gif", "art.rc.inc"
PREVIEWS = ["contact_sheet.png", "mock_main.png", "mock_progress.png", "mock_results.png", "mock_summary.png",
            "mock_settings.png"]


def bmp_name(asset_id):
    for i, name, *_ in ASSETS:
        if i == asset_id:
            return "bmp%d_%s.bmp" % (i, name)
    raise KeyError(asset_id)


def build_bitmaps():
    art = {149: main_background()}
    main = art[149]
    for normal, hover, x, y, title, sub, glyph, primary in NAV:
        bg = crop(main, x, y, 181, 50)
        dx = NAV[0][2] - x
        art[normal] = nav_button(bg, title, sub, glyph, "primary" if primary else "normal", dx)
        art[hover] = nav_button(bg, title, sub, glyph, "primary_hover" if primary else "hover", dx)
    art[154] = window_button(crop(main, 735, 9, 24, 24), g_close, False, CLOSE_KEY, None)
    art[155] = window_button(crop(main, 735, 9, 24, 24), g_close, True, CLOSE_KEY, T("close_hover"))
    art[156] = window_button(crop(main, 708, 9, 24, 24), g_minimise, False, KEY, None)
    art[157] = window_button(crop(main, 708, 9, 24, 24), g_minimise, True, KEY, "#ffffff")
    scan_bg, last_bg = crop(main, 589, 476, 113, 31), crop(main, 469, 476, 113, 31)
    art[237] = action_button(scan_bg, "Scan Now", g_magnifier, "primary")
    art[238] = action_button(scan_bg, "Scan Now", g_magnifier, "primary_hover")
    art[239] = action_button(scan_bg, "Scan Now", g_magnifier, "disabled")
    art[241] = action_button(last_bg, "Last Results", g_list, "secondary")
    art[240] = action_button(last_bg, "Last Results", g_list, "secondary_hover")
    art[204] = caption_button((80, 31), "chrome", crop(main, 488, 51, 80, 31))
    art[202] = caption_button((81, 21), "accent", T("body"))
    art[203] = caption_button((121, 21), "accent", T("body"))
    art[242] = caption_button((100, 21), "light", T("body"))
    art[197] = check_cells()
    art[198], art[199] = check_strip(False), check_strip(True)
    art[248] = details_icon()
    for level in range(1, 6):
        art[251 + level] = severity_bar(level)
    gauge_bg = crop(main, 480, 380, 210, 75)
    for level, asset_id in enumerate((257, 267, 259, 260, 261, 262)):
        art[asset_id] = health_gauge(gauge_bg, level)
    art[265] = promotion(crop(main, 244, 452, 213, 61))
    art[200] = dialog_background(DLG_W, DLG_H).finish()
    art[201] = dialog_background(SMALL_W, SMALL_H).finish()
    art[247] = results_background()
    art[211] = summary_background()
    return art


# ---------------------------------------------------------------------------
# Main
# ---------------------------------------------------------------------------
def output_names(preview=True):
    names = [bmp_name(a[0]) for a in ASSETS] + [ICON_FILE, GIF_FILE, RC_FILE]
    return names + (PREVIEWS if preview else [])


def rc_fragment():
    lines = ["// Klarwin artwork, generated by make_art.py: do not edit.",
             "// Needs the folder of the generated files on the resource compiler's include path."]
    for asset_id, name, size, key, desc in ASSETS:
        note = "%dx%d%s, %s" % (size[0], size[1], ", key RGB%s" % (key,) if key else "", desc)
        lines.append('%d BITMAP "%s"  // %s' % (asset_id, bmp_name(asset_id), note))
    lines.append('%d ICON "%s"  // program icon, %s pixels' % (ICON_ID, ICON_FILE, "/".join(map(str, ICON_SIZES))))
    return "\n".join(lines) + "\n"


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", help="folder for the generated files")
    ap.add_argument("--list", action="store_true", help="print the names of the files written")
    ap.add_argument("--no-preview", action="store_true", help="skip the contact sheet and mock-ups")
    ap.add_argument("--copy-gif", help="also write Loading.gif into this folder")
    args = ap.parse_args(argv)
    if args.list:
        print(";".join(output_names(not args.no_preview)))
        return 0
    if not args.out:
        ap.error("--out is required")
    os.makedirs(args.out, exist_ok=True)
    art = build_bitmaps()
    for asset_id, name, size, key, desc in ASSETS:
        img = art[asset_id]
        assert img.size == size, (asset_id, img.size, size)
        buf = io.BytesIO()
        img.convert("RGB").save(buf, "BMP")
        write(os.path.join(args.out, bmp_name(asset_id)), buf.getvalue())
    icons = [icon_image(s) for s in ICON_SIZES]
    write(os.path.join(args.out, ICON_FILE), ico_bytes(icons))
    frames = spinner_frames()
    gif = gif_bytes(frames, 8)
    write(os.path.join(args.out, GIF_FILE), gif)
    if args.copy_gif:
        os.makedirs(args.copy_gif, exist_ok=True)
        write(os.path.join(args.copy_gif, GIF_FILE), gif)
    write(os.path.join(args.out, RC_FILE), rc_fragment().encode("ascii"))
    if not args.no_preview:
        sys.modules.setdefault("make_art", sys.modules[__name__])
        import art_preview
        art_preview.write_previews(args.out, art, icons, frames)
    return 0


if __name__ == "__main__":
    sys.exit(main())
