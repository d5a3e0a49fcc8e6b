"""Drawing helpers of the skin artwork: anti-aliased masks, fills, text and the glyphs.

Shapes are drawn into a mask at SS times the final size and reduced with a Lanczos
filter; every picture is composed at its final size from such masks, so edges are
smooth and nothing depends on the order of the reductions. Text is drawn at final size
with the font's hinting, which keeps small labels crisp.
"""
import math
import os
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

SS = 4
FONT_DIRS = ["/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/dejavu",
             "/usr/local/share/fonts", os.environ.get("MELODRIFT_ART_FONT_DIR", "")]
FONTS = {"regular": "DejaVuSans.ttf", "bold": "DejaVuSans-Bold.ttf",
         "condensed": "DejaVuSansCondensed.ttf", "condensed-bold": "DejaVuSansCondensed-Bold.ttf"}
_fonts = {}


def font(px, style="regular"):
    key = (px, style)
    if key not in _fonts:
        name = FONTS[style]
        for d in FONT_DIRS:
            if d and os.path.exists(os.path.join(d, name)):
                _fonts[key] = ImageFont.truetype(os.path.join(d, name), px)
                break
        else:
            sys.exit("make_skins: %s not found; install the package fonts-dejavu-core" % name)
    return _fonts[key]


def rgb(c):
    if isinstance(c, tuple):
        return c[:3]
    c = c.lstrip("#")
    return tuple(int(c[i:i + 2], 16) for i in (0, 2, 4))


def mix(a, b, t):
    a, b = rgb(a), rgb(b)
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def hexcol(c):
    return "#%02X%02X%02X" % rgb(c)


def luminance(c):
    def lin(v):
        v /= 255.0
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
    r, g, b = rgb(c)
    return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b)


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


# ---------------------------------------------------------------------------
# Masks
# ---------------------------------------------------------------------------
class Mask:
    """A coverage mask of a w x h picture, drawn at SS times the size in final pixel units."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.m = Image.new("L", (w * SS, h * SS), 0)
        self.d = ImageDraw.Draw(self.m)

    def _b(self, box):
        x0, y0, x1, y1 = box
        return [x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1]

    def rrect(self, box, r, fill=255):
        self.d.rounded_rectangle(self._b(box), radius=max(0, r) * SS, fill=fill)
        return self

    def rect(self, box, fill=255):
        return self.rrect(box, 0, fill)

    def ellipse(self, box, fill=255):
        self.d.ellipse(self._b(box), fill=fill)
        return self

    def circle(self, cx, cy, r, fill=255):
        return self.ellipse((cx - r, cy - r, cx + r, cy + r), fill)

    def poly(self, pts, fill=255):
        self.d.polygon([(x * SS, y * SS) for x, y in pts], fill=fill)
        return self

    def line(self, pts, w, fill=255, caps=True):
        p = [(x * SS, y * SS) for x, y in pts]
        self.d.line(p, fill=fill, width=max(1, int(round(w * SS))), joint="curve")
        if caps:
            r = w * SS / 2
            for x, y in (p[0], p[-1]):
                self.d.ellipse([x - r, y - r, x + r, y + r], fill=fill)
        return self

    def arc(self, cx, cy, r, start, end, w, fill=255):
        rr = (r + w / 2) * SS
        x, y = cx * SS, cy * SS
        self.d.arc([x - rr, y - rr, x + rr, y + rr], start, end, fill=fill, width=max(1, int(round(w * SS))))
        return self

    def get(self):
        return self.m.resize((self.w, self.h), Image.LANCZOS)


def mask_sub(a, b):
    return ImageChops.subtract(a, b)


def mask_mul(a, b):
    return ImageChops.multiply(a, b)


def mask_add(a, b):
    return ImageChops.add(a, b)


def mask_scale(m, f):
    return m.point(lambda v: int(round(v * f)))


# ---------------------------------------------------------------------------
# Paints
# ---------------------------------------------------------------------------
def vgrad(size, stops, y0=0, y1=None):
    """Vertical gradient through (t, colour) stops between y0 and y1 (final pixels)."""
    w, h = size
    y1 = h if y1 is None else y1
    col = []
    for y in range(h):
        t = min(1.0, max(0.0, (y + 0.5 - y0) / max(1e-6, y1 - y0)))
        col.append(stop_colour(stops, t))
    strip = Image.new("RGB", (1, h))
    strip.putdata(col)
    return strip.resize((w, h), Image.NEAREST)


def hgrad(size, stops, x0=0, x1=None):
    w, h = size
    x1 = w if x1 is None else x1
    row = [stop_colour(stops, min(1.0, max(0.0, (x + 0.5 - x0) / max(1e-6, x1 - x0)))) for x in range(w)]
    strip = Image.new("RGB", (w, 1))
    strip.putdata(row)
    return strip.resize((w, h), Image.NEAREST)


def dgrad(size, a, b, angle=135):
    """Diagonal gradient from a to b across the picture (angle in degrees, 0 = left to right)."""
    w, h = size
    ca, sa = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    small = Image.new("RGB", (max(2, w), max(2, h)))
    px = small.load()
    corners = [x * ca + y * sa for x in (0, w) for y in (0, h)]
    lo, hi = min(corners), max(corners)
    for y in range(h):
        for x in range(w):
            t = ((x + 0.5) * ca + (y + 0.5) * sa - lo) / max(1e-6, hi - lo)
            px[x, y] = mix(a, b, t)
    return small.crop((0, 0, w, h))


def stop_colour(stops, t):
    stops = [(s, rgb(c)) for s, c in stops]
    if t <= stops[0][0]:
        return stops[0][1]
    for (s0, c0), (s1, c1) in zip(stops, stops[1:]):
        if t <= s1:
            return mix(c0, c1, (t - s0) / max(1e-6, s1 - s0))
    return stops[-1][1]


class Pic:
    """An RGBA picture composed from masks and paints."""

    def __init__(self, w, h, base=None):
        self.w, self.h = w, h
        if isinstance(base, Image.Image):
            self.im = base.convert("RGBA")
        elif base is None:
            self.im = Image.new("RGBA", (w, h), (0, 0, 0, 0))
        else:
            self.im = Image.new("RGBA", (w, h), rgb(base) + (255,))

    def fill(self, mask, paint, opacity=1.0):
        """Paints colour or picture `paint` through the mask (a Mask or an L image)."""
        if isinstance(mask, Mask):
            mask = mask.get()
        if opacity < 1.0:
            mask = mask_scale(mask, opacity)
        if isinstance(paint, Image.Image):
            layer = paint.convert("RGBA")
            if layer.size != (self.w, self.h):
                layer = layer.resize((self.w, self.h))
            a = mask_mul(layer.getchannel("A"), mask)
            layer.putalpha(a)
        else:
            layer = Image.new("RGBA", (self.w, self.h), rgb(paint) + (255,))
            layer.putalpha(mask)
        self.im = Image.alpha_composite(self.im, layer)
        return self

    def shadow(self, mask, colour, blur, dx=0, dy=0, opacity=0.4):
        if isinstance(mask, Mask):
            mask = mask.get()
        m = ImageChops.offset(mask, int(dx), int(dy)).filter(ImageFilter.GaussianBlur(blur))
        return self.fill(m, colour, opacity)

    def text(self, xy, s, px, colour, style="regular", anchor="la", opacity=1.0, tracking=0.0):
        m = text_mask(self.w, self.h, xy, s, px, style, anchor, tracking)
        return self.fill(m, colour, opacity)

    def paste(self, other, xy):
        layer = Image.new("RGBA", (self.w, self.h), (0, 0, 0, 0))
        src = other.im if isinstance(other, Pic) else other.convert("RGBA")
        layer.paste(src, xy)
        self.im = Image.alpha_composite(self.im, layer)
        return self


def text_width(s, px, style="regular", tracking=0.0):
    f = font(px, style)
    if not tracking:
        return f.getlength(s)
    return sum(f.getlength(ch) for ch in s) + tracking * (len(s) - 1)


def text_mask(w, h, xy, s, px, style="regular", anchor="la", tracking=0.0):
    m = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(m)
    f = font(px, style)
    x, y = xy
    if tracking:
        width = text_width(s, px, style, tracking)
        if anchor[0] == "m":
            x -= width / 2
        elif anchor[0] == "r":
            x -= width
        for ch in s:
            d.text((x, y), ch, font=f, fill=255, anchor="l" + anchor[1])
            x += f.getlength(ch) + tracking
    else:
        d.text((x, y), s, font=f, fill=255, anchor=anchor)
    return m


# ---------------------------------------------------------------------------
# Glyphs: functions g(m, box) drawing a symbol into Mask m over the square box.
# ---------------------------------------------------------------------------
class U:
    """Maps unit coordinates (0..1) of a glyph onto a box of the picture."""

    def __init__(self, box):
        x0, y0, x1, y1 = box
        self.x0, self.y0, self.s = x0, y0, min(x1 - x0, y1 - y0)

    def p(self, u, v):
        return (self.x0 + u * self.s, self.y0 + v * self.s)

    def pts(self, seq):
        return [self.p(u, v) for u, v in seq]

    def l(self, w):
        return w * self.s


def _tri(m, u, pts, fill=255, round_px=0.0):
    m.poly(u.pts(pts), fill)
    if round_px:
        m.line(u.pts(pts + [pts[0]]), round_px, fill)


def g_play(m, box, fill=255):
    u = U(box)
    _tri(m, u, [(0.3, 0.18), (0.84, 0.5), (0.3, 0.82)], fill, u.l(0.08))


def g_pause(m, box, fill=255):
    u = U(box)
    for x in (0.26, 0.58):
        m.rrect((*u.p(x, 0.2), *u.p(x + 0.17, 0.8)), u.l(0.05), fill)


def g_stop(m, box, fill=255):
    u = U(box)
    m.rrect((*u.p(0.24, 0.24), *u.p(0.76, 0.76)), u.l(0.08), fill)


def g_prev(m, box, fill=255):
    u = U(box)
    m.rrect((*u.p(0.2, 0.22), *u.p(0.31, 0.78)), u.l(0.04), fill)
    _tri(m, u, [(0.8, 0.22), (0.36, 0.5), (0.8, 0.78)], fill, u.l(0.07))


def g_next(m, box, fill=255):
    u = U(box)
    m.rrect((*u.p(0.69, 0.22), *u.p(0.8, 0.78)), u.l(0.04), fill)
    _tri(m, u, [(0.2, 0.22), (0.64, 0.5), (0.2, 0.78)], fill, u.l(0.07))


def g_backward(m, box, fill=255):
    u = U(box)
    _tri(m, u, [(0.52, 0.26), (0.14, 0.5), (0.52, 0.74)], fill, u.l(0.06))
    _tri(m, u, [(0.88, 0.26), (0.5, 0.5), (0.88, 0.74)], fill, u.l(0.06))


def g_forward(m, box, fill=255):
    u = U(box)
    _tri(m, u, [(0.12, 0.26), (0.5, 0.5), (0.12, 0.74)], fill, u.l(0.06))
    _tri(m, u, [(0.48, 0.26), (0.86, 0.5), (0.48, 0.74)], fill, u.l(0.06))


def g_record(m, box, fill=255):
    u = U(box)
    m.circle(*u.p(0.5, 0.5), u.l(0.27), fill)


def g_shuffle(m, box, fill=255):
    u = U(box)
    w = u.l(0.085)
    m.line(u.pts([(0.12, 0.3), (0.3, 0.3), (0.6, 0.7), (0.74, 0.7)]), w, fill)
    m.line(u.pts([(0.12, 0.7), (0.3, 0.7), (0.37, 0.6)]), w, fill)
    m.line(u.pts([(0.53, 0.4), (0.6, 0.3), (0.74, 0.3)]), w, fill)
    for y in (0.3, 0.7):
        m.poly(u.pts([(0.72, y - 0.13), (0.92, y), (0.72, y + 0.13)]), fill)


def g_repeat(m, box, fill=255):
    u = U(box)
    w = u.l(0.085)
    m.line(u.pts([(0.2, 0.56), (0.2, 0.42), (0.26, 0.32), (0.7, 0.32)]), w, fill)
    m.poly(u.pts([(0.68, 0.19), (0.86, 0.32), (0.68, 0.45)]), fill)
    m.line(u.pts([(0.8, 0.44), (0.8, 0.58), (0.74, 0.68), (0.3, 0.68)]), w, fill)
    m.poly(u.pts([(0.32, 0.55), (0.14, 0.68), (0.32, 0.81)]), fill)


def g_minimise(m, box, fill=255):
    u = U(box)
    m.line(u.pts([(0.3, 0.64), (0.7, 0.64)]), u.l(0.075), fill)


def g_maximise(m, box, fill=255):
    u = U(box)
    m.rrect((*u.p(0.28, 0.28), *u.p(0.72, 0.72)), u.l(0.06), fill)
    m.rrect((*u.p(0.28 + 0.075, 0.28 + 0.075), *u.p(0.72 - 0.075, 0.72 - 0.075)), u.l(0.02), 0)


def g_close(m, box, fill=255):
    u = U(box)
    w = u.l(0.075)
    m.line(u.pts([(0.3, 0.3), (0.7, 0.7)]), w, fill)
    m.line(u.pts([(0.7, 0.3), (0.3, 0.7)]), w, fill)


def g_eq(m, box, fill=255):
    """Three slider lines with knobs: the equalizer."""
    u = U(box)
    w = u.l(0.07)
    for x, k in ((0.25, 0.62), (0.5, 0.34), (0.75, 0.54)):
        m.line(u.pts([(x, 0.16), (x, 0.84)]), w, fill)
        m.circle(*u.p(x, k), u.l(0.11), fill)


def g_presets(m, box, fill=255):
    u = U(box)
    w = u.l(0.08)
    for y in (0.3, 0.5, 0.7):
        m.circle(*u.p(0.2, y), u.l(0.055), fill)
        m.line(u.pts([(0.34, y), (0.82, y)]), w, fill)


def g_surround(m, box, fill=255):
    u = U(box)
    m.circle(*u.p(0.5, 0.5), u.l(0.1), fill)
    for r, wd in ((0.24, 0.065), (0.38, 0.065)):
        for a0 in (-50, 130):
            m.arc(*u.p(0.5, 0.5), u.l(r), a0, a0 + 100, u.l(wd), fill)


def g_power(m, box, fill=255):
    u = U(box)
    m.arc(*u.p(0.5, 0.54), u.l(0.28), -50, 230, u.l(0.09), fill)
    m.line(u.pts([(0.5, 0.14), (0.5, 0.46)]), u.l(0.09), fill)


# Module glyphs
def g_microphone(m, box, fill=255):
    u = U(box)
    m.rrect((*u.p(0.36, 0.08), *u.p(0.64, 0.56)), u.l(0.14), fill)
    m.arc(*u.p(0.5, 0.36), u.l(0.22), 10, 170, u.l(0.07), fill)
    m.line(u.pts([(0.5, 0.66), (0.5, 0.84)]), u.l(0.07), fill)
    m.line(u.pts([(0.34, 0.86), (0.66, 0.86)]), u.l(0.07), fill)
    for y in (0.22, 0.32, 0.42):
        m.line(u.pts([(0.42, y), (0.58, y)]), u.l(0.03), 0)


def g_disc_burn(m, box, fill=255):
    u = U(box)
    m.circle(*u.p(0.44, 0.56), u.l(0.36), fill)
    m.circle(*u.p(0.44, 0.56), u.l(0.11), 0)
    m.circle(*u.p(0.44, 0.56), u.l(0.045), fill)
    # a flame at the upper right
    m.circle(*u.p(0.77, 0.23), u.l(0.19), 0)
    flame = [(0.77, 0.02), (0.86, 0.16), (0.9, 0.27), (0.86, 0.36), (0.77, 0.4), (0.68, 0.36),
             (0.64, 0.27), (0.68, 0.18), (0.72, 0.22)]
    m.poly(u.pts(flame), fill)


def g_convert(m, box, fill=255):
    u = U(box)
    w = u.l(0.08)
    m.arc(*u.p(0.5, 0.5), u.l(0.3), 200, 330, w, fill)
    m.poly(u.pts([(0.72, 0.16), (0.9, 0.36), (0.64, 0.42)]), fill)
    m.arc(*u.p(0.5, 0.5), u.l(0.3), 20, 150, w, fill)
    m.poly(u.pts([(0.28, 0.84), (0.1, 0.64), (0.36, 0.58)]), fill)
    m.rrect((*u.p(0.4, 0.4), *u.p(0.6, 0.6)), u.l(0.04), fill)


def g_film_reel(m, box, fill=255):
    u = U(box)
    m.circle(*u.p(0.46, 0.46), u.l(0.38), fill)
    m.circle(*u.p(0.46, 0.46), u.l(0.06), 0)
    for k in range(5):
        a = math.radians(-90 + 72 * k)
        m.circle(*u.p(0.46 + 0.21 * math.cos(a), 0.46 + 0.21 * math.sin(a)), u.l(0.085), 0)
    m.line(u.pts([(0.6, 0.84), (0.94, 0.84)]), u.l(0.07), fill)


def g_sleeve(m, box, fill=255):
    u = U(box)
    # disc peeking out of the sleeve
    m.circle(*u.p(0.62, 0.5), u.l(0.3), fill)
    m.circle(*u.p(0.62, 0.5), u.l(0.08), 0)
    m.rrect((*u.p(0.06, 0.14), *u.p(0.6, 0.86)), u.l(0.06), 0)
    m.rrect((*u.p(0.1, 0.18), *u.p(0.56, 0.82)), u.l(0.04), fill)
    m.line(u.pts([(0.2, 0.68), (0.46, 0.68)]), u.l(0.05), 0)
    m.line(u.pts([(0.2, 0.58), (0.38, 0.58)]), u.l(0.05), 0)


def g_library(m, box, fill=255):
    u = U(box)
    for i, x in enumerate((0.1, 0.27, 0.44)):
        m.rrect((*u.p(x, 0.18 + (0.06 if i == 1 else 0)), *u.p(x + 0.13, 0.86)), u.l(0.03), fill)
    # a leaning record sleeve
    m.poly(u.pts([(0.62, 0.3), (0.76, 0.24), (0.94, 0.84), (0.8, 0.9)]), fill)
    m.line(u.pts([(0.06, 0.9), (0.94, 0.9)]), u.l(0.05), fill)


def g_smile(m, box, fill=255):
    u = U(box)
    m.circle(*u.p(0.5, 0.5), u.l(0.4), fill)
    m.circle(*u.p(0.36, 0.4), u.l(0.06), 0)
    m.circle(*u.p(0.64, 0.4), u.l(0.06), 0)
    m.arc(*u.p(0.5, 0.5), u.l(0.2), 20, 160, u.l(0.07), 0)


def g_wave_cut(m, box, fill=255):
    u = U(box)
    heights = [0.14, 0.3, 0.5, 0.24, 0.4, 0.62, 0.36, 0.2, 0.44, 0.18]
    for i, hgt in enumerate(heights):
        x = 0.1 + i * 0.088
        m.line(u.pts([(x, 0.5 - hgt / 2), (x, 0.5 + hgt / 2)]), u.l(0.05), fill)
    m.circle(*u.p(0.78, 0.78), u.l(0.15), 0)
    m.circle(*u.p(0.78, 0.78), u.l(0.11), fill)


def g_note(m, box, fill=255):
    u = U(box)
    m.ellipse((*u.p(0.16, 0.62), *u.p(0.44, 0.86)), fill)
    m.ellipse((*u.p(0.58, 0.52), *u.p(0.86, 0.76)), fill)
    m.line(u.pts([(0.41, 0.74), (0.41, 0.2)]), u.l(0.08), fill, caps=False)
    m.line(u.pts([(0.83, 0.64), (0.83, 0.1)]), u.l(0.08), fill, caps=False)
    m.poly(u.pts([(0.37, 0.16), (0.87, 0.05), (0.87, 0.2), (0.37, 0.31)]), fill)


def g_generic(m, box, fill=255):
    u = U(box)
    for x in (0.2, 0.55):
        for y in (0.2, 0.55):
            m.rrect((*u.p(x, y), *u.p(x + 0.25, y + 0.25)), u.l(0.05), fill)


def g_add(m, box, fill=255):
    u = U(box)
    w = u.l(0.11)
    m.line(u.pts([(0.5, 0.2), (0.5, 0.8)]), w, fill)
    m.line(u.pts([(0.2, 0.5), (0.8, 0.5)]), w, fill)


def g_remove(m, box, fill=255):
    u = U(box)
    m.line(u.pts([(0.2, 0.5), (0.8, 0.5)]), u.l(0.11), fill)


def _folder(m, u, fill):
    m.rrect((*u.p(0.08, 0.2), *u.p(0.46, 0.4)), u.l(0.06), fill)
    m.rrect((*u.p(0.08, 0.3), *u.p(0.92, 0.82)), u.l(0.08), fill)


def g_folder(m, box, fill=255):
    u = U(box)
    _folder(m, u, fill)
    m.line(u.pts([(0.16, 0.4), (0.84, 0.4)]), u.l(0.05), 0, caps=False)


def g_folder_add(m, box, fill=255):
    u = U(box)
    _folder(m, u, fill)
    w = u.l(0.09)
    m.line(u.pts([(0.5, 0.43), (0.5, 0.71)]), w, 0)
    m.line(u.pts([(0.36, 0.57), (0.64, 0.57)]), w, 0)


def g_playlist_add(m, box, fill=255):
    u = U(box)
    w = u.l(0.08)
    for y, x1 in ((0.26, 0.8), (0.46, 0.58), (0.66, 0.46)):
        m.line(u.pts([(0.12, y), (x1, y)]), w, fill)
    m.line(u.pts([(0.74, 0.5), (0.74, 0.86)]), w, fill)
    m.line(u.pts([(0.56, 0.68), (0.92, 0.68)]), w, fill)


def g_rename(m, box, fill=255):
    """A pencil over a line."""
    u = U(box)
    m.poly(u.pts([(0.62, 0.14), (0.82, 0.34), (0.38, 0.78), (0.18, 0.58)]), fill)
    m.poly(u.pts([(0.16, 0.62), (0.34, 0.8), (0.1, 0.86)]), fill)
    m.line(u.pts([(0.54, 0.86), (0.9, 0.86)]), u.l(0.07), fill)


def g_trash(m, box, fill=255):
    u = U(box)
    m.line(u.pts([(0.18, 0.26), (0.82, 0.26)]), u.l(0.08), fill)
    m.rrect((*u.p(0.4, 0.12), *u.p(0.6, 0.24)), u.l(0.04), fill)
    m.poly(u.pts([(0.24, 0.34), (0.76, 0.34), (0.7, 0.88), (0.3, 0.88)]), fill)
    for x in (0.42, 0.58):
        m.line(u.pts([(x, 0.46), (x, 0.76)]), u.l(0.05), 0)


def g_list_add(m, box, fill=255):
    """A track going into a list: an arrow into three lines."""
    u = U(box)
    w = u.l(0.08)
    for y in (0.3, 0.5, 0.7):
        m.line(u.pts([(0.46, y), (0.88, y)]), w, fill)
    m.line(u.pts([(0.1, 0.5), (0.3, 0.5)]), w, fill)
    m.poly(u.pts([(0.26, 0.36), (0.4, 0.5), (0.26, 0.64)]), fill)


GLYPHS = {
    "add": g_add, "remove": g_remove, "folder": g_folder, "folder_add": g_folder_add,
    "playlist_add": g_playlist_add, "rename": g_rename, "trash": g_trash, "list_add": g_list_add,
    "prev": g_prev, "backward": g_backward, "play": g_play, "pause": g_pause, "stop": g_stop,
    "forward": g_forward, "next": g_next, "record": g_record, "shuffle": g_shuffle,
    "repeat": g_repeat, "minimise": g_minimise, "maximise": g_maximise, "close": g_close,
    "eq": g_eq, "presets": g_presets, "surround": g_surround, "power": g_power,
    "microphone": g_microphone, "disc_burn": g_disc_burn, "convert": g_convert,
    "film_reel": g_film_reel, "sleeve": g_sleeve, "library": g_library, "smile": g_smile,
    "wave_cut": g_wave_cut, "note": g_note, "generic": g_generic,
}


def glyph_mask(name, w, h, box):
    m = Mask(w, h)
    GLYPHS[name](m, box)
    return m.get()
