#!/usr/bin/env python3
"""Draws Melodrift's splash picture and program icon.

    make_art.py --out DIR     writes DIR/splash.png (480 x 300, with alpha) and DIR/melodrift.ico

The splash keeps a light band along its bottom where the program writes its status
text in black at (47, 265). Needs Python 3 with Pillow and the DejaVu fonts
(Debian: python3-pil, fonts-dejavu-core).
"""
import argparse
import math
import os

from PIL import Image, ImageDraw, ImageFilter, ImageFont

THEME = {
    "top": (38, 24, 84),        # splash gradient, top ...
    "bottom": (12, 92, 118),    # ... to bottom
    "glow": (120, 200, 255),
    "title": (255, 255, 255),
    "subtitle": (196, 222, 240),
    "bars": (120, 220, 230),
    "band": (238, 243, 250),    # behind the status text (black on it)
    "band_edge": (190, 205, 222),
    "icon_a": (88, 60, 190),
    "icon_b": (20, 160, 180),
    "note": (255, 255, 255),
}
SS = 4  # shapes are drawn at SS times the size and reduced
FONT_DIR = "/usr/share/fonts/truetype/dejavu"


def font(name, size):
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGBA", size)
    px = img.load()
    for y in range(h):
        t = y / max(1, h - 1)
        c = tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3)) + (255,)
        for x in range(w):
            px[x, y] = c
    return img


def rounded_mask(size, radius):
    w, h = size
    mask = Image.new("L", (w * SS, h * SS), 0)
    ImageDraw.Draw(mask).rounded_rectangle((0, 0, w * SS - 1, h * SS - 1), radius * SS, fill=255)
    return mask.resize(size, Image.LANCZOS)


def splash(path):
    w, h = 480, 300
    img = gradient((w, h), THEME["top"], THEME["bottom"])
    # A soft glow behind the title.
    glow = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    ImageDraw.Draw(glow).ellipse((60, 20, 420, 200), fill=THEME["glow"] + (70,))
    img = Image.alpha_composite(img, glow.filter(ImageFilter.GaussianBlur(40)))
    d = ImageDraw.Draw(img)
    # Equalizer bars.
    for i in range(24):
        x = 40 + i * 17
        level = 0.5 + 0.45 * math.sin(i * 0.7) * math.cos(i * 0.23)
        bar = int(12 + 70 * level)
        d.rounded_rectangle((x, 228 - bar, x + 10, 228), 3, fill=THEME["bars"] + (150,))
    title = font("DejaVuSans-Bold.ttf", 50)
    d.text((w // 2, 92), "Melodrift", font=title, fill=THEME["title"], anchor="mm")
    d.text((w // 2, 138), "Music player and voice effects", font=font("DejaVuSans.ttf", 17),
           fill=THEME["subtitle"], anchor="mm")
    # The band the status text is written on.
    d.rectangle((0, 250, w, h), fill=THEME["band"] + (255,))
    d.line((0, 250, w, 250), fill=THEME["band_edge"], width=1)
    d.text((w - 20, 282), "4.0", font=font("DejaVuSans.ttf", 12), fill=THEME["band_edge"], anchor="rm")
    img.putalpha(rounded_mask((w, h), 16))
    img.save(path)


def icon_image(size):
    big = size * SS
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    disc = gradient((big, big), THEME["icon_a"], THEME["icon_b"])
    mask = Image.new("L", (big, big), 0)
    ImageDraw.Draw(mask).ellipse((0, 0, big - 1, big - 1), fill=255)
    img.paste(disc, (0, 0), mask)
    d = ImageDraw.Draw(img)
    s = big / 32.0
    # A quaver: head, stem, flag.
    d.ellipse((9 * s, 19 * s, 17 * s, 25 * s), fill=THEME["note"])
    d.rectangle((15 * s, 7 * s, 17 * s, 22 * s), fill=THEME["note"])
    d.polygon([(17 * s, 7 * s), (23 * s, 11 * s), (23 * s, 14 * s), (17 * s, 11 * s)], fill=THEME["note"])
    return img.resize((size, size), Image.LANCZOS)


def icon(path):
    images = [icon_image(s) for s in (16, 24, 32, 48, 256)]
    images[-1].save(path, sizes=[(i.width, i.height) for i in images], append_images=images[:-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    splash(os.path.join(args.out, "splash.png"))
    icon(os.path.join(args.out, "melodrift.ico"))


if __name__ == "__main__":
    main()
