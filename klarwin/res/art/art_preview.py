"""Previews of Klarwin's artwork: a contact sheet and mock-ups of the windows with the
texts the program draws, so that the look can be judged without building the program.
Used by make_art.py; the artwork itself does not depend on this file."""
import os

from PIL import Image, ImageChops, ImageDraw

import make_art as m
from make_art import (ASSETS, BLACK, CLOSE_KEY, KEY, NAV, SECTIONS, TEMPLATE_STATICS, TITLE, WHITE, T,
                      font, rgb, spinner_frames)


def pt(points):
    """Pixel size of DejaVu that comes close to Arial of this many points on a 96-dpi screen."""
    return max(6, int(round(points * 96 / 72 * 0.92)))


def blit_keyed(dest, img, x, y, key=KEY, size=None):
    if size and size != img.size:
        img = img.resize(size, Image.NEAREST)
    mask = Image.eval(ImageChops.difference(img, Image.new("RGB", img.size, key)).convert("L"),
                      lambda v: 255 if v else 0)
    dest.paste(img, (x, y), mask)


def draw_caption(dest, x, y, w, h, text, colour, points, bold=False):
    d = ImageDraw.Draw(dest)
    d.text((x + w / 2, y + h / 2), text, font=font(pt(points), bold), fill=colour, anchor="mm")


def draw_static(dest, x, y, text, colour, points, bold=False):
    ImageDraw.Draw(dest).text((x, y), text, font=font(pt(points), bold), fill=rgb(colour))


def draw_progress(dest, x, y, w, h, fraction):
    d = ImageDraw.Draw(dest)
    d.rectangle([x, y, x + w - 1, y + h - 1], fill=(230, 230, 230), outline=(188, 188, 188))
    d.rectangle([x + 2, y + 2, x + 2 + int((w - 5) * fraction), y + h - 3], fill=(6, 176, 37))


def mock_main(art):
    img = art[149].copy()
    for normal, hover, x, y, *_ in NAV:
        blit_keyed(img, art[hover if normal == 188 else normal], x, y)
    blit_keyed(img, art[156], 708, 9)
    blit_keyed(img, art[154], 735, 9, CLOSE_KEY)
    for x, text in ((488, "Update"), (652, "Help")):
        blit_keyed(img, art[204], x, 51)
        draw_caption(img, x, 51, 80, 31, text, WHITE, 9)
    blit_keyed(img, art[237], 589, 476)
    blit_keyed(img, art[241], 469, 476)
    for i in range(12):
        x, y = (280 if i < 6 else 510), 225 + (i % 6) * 20
        img.paste(art[199].crop((0, 0, 13, 13)) if i != 7 else art[198].crop((0, 0, 13, 13)), (x, y))
        draw_static(img, x + 20, y - 2, SECTIONS[i], TITLE, 10)
    draw_static(img, 18, 12, "Klarwin v1.0.0", WHITE, 10, True)
    for key, text, colour, bold in ((1049, "1.0.0", WHITE, False), (1050, "01-MAY-2011", WHITE, False),
                                    (1159, "Available", (255, 255, 0), True)):
        draw_static(img, TEMPLATE_STATICS[key][0], TEMPLATE_STATICS[key][1], text, colour, 8, bold)
    draw_static(img, 257, 390, "08-DEC-2026", (255, 0, 0), 10, True)
    draw_static(img, 257, 409, "25 registry errors", (255, 0, 0), 11, True)
    img.paste(art[267], (480, 380))
    img.paste(art[265], (244, 452))
    ImageDraw.Draw(img).text((374, 485), "Download Now", font=font(pt(8)), fill=(0, 0, 238))
    return img


def mock_dialog(art, bg_id, caption):
    bg = art[bg_id]
    frame = Image.new("RGB", (bg.width + 6, bg.height + 26), (212, 208, 200))
    d = ImageDraw.Draw(frame)
    d.rectangle([3, 3, frame.width - 4, 23], fill=(10, 36, 106))
    d.text((8, 13), caption, font=font(12, True), fill=WHITE, anchor="lm")
    frame.paste(bg, (3, 23))
    return frame, 3, 23


def mock_progress(art):
    img, ox, oy = mock_dialog(art, 200, "Scan in Progress")
    draw_static(img, ox + 50, oy + 30, "REGISTRY SCAN", TITLE, 14)
    draw_static(img, ox + 50, oy + 90, "PC scan in progress. Please wait for a few moments until completion.", BLACK, 9, True)
    draw_static(img, ox + 50, oy + 110, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{0000002F-0000-0000-C0..", (128, 128, 128), 8)
    draw_progress(img, ox + 50, oy + 130, 420, 21, 0.33)
    counts = [3, 0, 1, 0, 12, 0, 0, 0, 0, 0, 0, 0]
    for i, name in enumerate(SECTIONS):
        x = 50 if i < 6 else 300
        draw_static(img, ox + x, oy + 227 + (i % 6) * 20, "(%d)" % counts[i], (154, 0, 0), 7)
        draw_static(img, ox + x + 25, oy + 225 + (i % 6) * 20, name, TITLE, 10)
    img.paste(spinner_frames()[3], (ox + 25, oy + 225 + 4 * 20))
    blit_keyed(img, art[202], ox + 415, oy + 398)
    draw_caption(img, ox + 415, oy + 398, 81, 21, "Stop Scan", WHITE, 8)
    return img


def mock_results(art):
    img, ox, oy = mock_dialog(art, 247, "Repair Problems")
    draw_static(img, ox + 50, oy + 30, "SCAN RESULT", TITLE, 14)
    draw_static(img, ox + 100, oy + 100, "Attention!   143 registry errors were found", WHITE, 12, True)
    draw_static(img, ox + 320, oy + 373, "143", (152, 2, 9), 12, True)
    lst = Image.new("RGB", (454, 176), T("list_bg"))
    d = ImageDraw.Draw(lst)
    for r, (name, n) in enumerate((("ActiveX / OLE", 12), ("Application Paths", 45), ("Windows Startup", 77),
                                   ("Shared Dll", 100), ("Program Shortcuts", 143))):
        y = r * 35
        d.text((25, y + 10), name, font=font(13, True), fill=(45, 54, 63))
        d.text((270, y + 10), str(n), font=font(13), fill=(152, 2, 9), anchor="ra")
        d.line([(0, y + 34), (600, y + 34)], fill=(225, 225, 225))
        lst.paste(art[197].crop((0, 0, 13, 13) if r != 2 else (13, 0, 26, 13)), (5, y + 10))
        lst.paste(art[248], (200, y + 10))
        lst.paste(art[252 + min(4, (n - 1) // 30)], (290, y))
    d.rectangle([437, 0, 453, 175], fill=(225, 225, 225))
    img.paste(lst, (ox + 40, oy + 182))
    for x, w, text in ((370, 121, "Repair Problems"), (275, 90, "Create Report")):
        blit_keyed(img, art[203], ox + x, oy + 410, size=(w, 21))
        draw_caption(img, ox + x, oy + 410, w, 21, text, WHITE, 8)
    return img


def mock_summary(art):
    img, ox, oy = mock_dialog(art, 211, "Repair results summary")
    draw_static(img, ox + 40, oy + 30, "REPAIR SUMMARY", TITLE, 14)
    for k, name in enumerate(SECTIONS):
        y = oy + 122 + 24 * k
        draw_static(img, ox + 50, y, name, (19, 156, 175), 10)
        for x, v in ((320, k * 3 % 7), (400, k * 3 % 7), (480, 0)):
            draw_caption(img, ox + x, y, 30, 15, str(v), BLACK, 10)
    for x, v in ((320, "36"), (400, "36"), (480, "0")):
        draw_caption(img, ox + x, oy + 410, 30, 17, v, TITLE, 12, True)
    blit_keyed(img, art[202], ox + 440, oy + 450)
    draw_caption(img, ox + 440, oy + 450, 81, 21, "Close", WHITE, 8)
    return img


def mock_settings(art):
    img, ox, oy = mock_dialog(art, 201, "Settings")
    d = ImageDraw.Draw(img)
    draw_static(img, ox + 50, oy + 30, "SETTINGS", TITLE, 14)
    for x, y, text in ((50, 100, "General:"), (50, 222, "Reports:"), (50, 246, "Language:"),
                       (50, 280, "Scan Scheduler:"), (280, 280, "Time:")):
        draw_static(img, ox + x, oy + y, text, TITLE, 9)
    options = ["Launch Klarwin when Windows starts.", "Start registry scan at program startup.",
               "Minimize Klarwin to tray on close.", "Check for updates automatically."]
    for k, text in enumerate(options):
        strip = art[199] if k != 1 else art[198]
        img.paste(strip.crop((13, 0, 26, 13)) if k == 2 else strip.crop((0, 0, 13, 13)), (ox + 130, oy + 100 + 25 * k))
        draw_static(img, ox + 150, oy + 100 + 25 * k, text, BLACK, 8)
    blit_keyed(img, art[242], ox + 130, oy + 218)
    draw_caption(img, ox + 130, oy + 218, 100, 21, "View scan reports", (0, 0, 255), 8)
    for x, y, w, text in ((130, 244, 100, "English"), (150, 280, 100, "Weekly"), (340, 280, 60, "14:30")):
        d.rectangle([ox + x, oy + y, ox + x + w - 1, oy + y + 20], fill=WHITE, outline=(122, 138, 153))
        draw_static(img, ox + x + 4, oy + y + 4, text, BLACK, 8)
    days = [(150, 310, "Monday"), (220, 310, "Tuesday"), (290, 310, "Wednesday"), (150, 330, "Thursday"),
            (220, 330, "Friday"), (290, 330, "Saturday"), (360, 330, "Sunday")]
    for k, (x, y, text) in enumerate(days):
        img.paste(art[199 if k in (0, 4) else 198].crop((0, 0, 13, 13)), (ox + x, oy + y))
        draw_static(img, ox + x + 20, oy + y, text, BLACK, 8)
    for x, text in ((240, "Save"), (340, "Cancel")):
        blit_keyed(img, art[202], ox + x, oy + 353)
        draw_caption(img, ox + x, oy + 353, 81, 21, text, WHITE, 8)
    return img


def contact_sheet(art, icons, frames):
    def show(img, key):
        if key is None:
            return img
        checker = Image.new("RGB", img.size, (255, 255, 255))
        dc = ImageDraw.Draw(checker)
        for y in range(0, img.height, 4):
            for x in range(0, img.width, 4):
                if (x // 4 + y // 4) % 2:
                    dc.rectangle([x, y, x + 3, y + 3], fill=(205, 205, 205))
        blit_keyed(checker, img, 0, 0, key)
        return checker

    tiles = []
    for asset_id, name, size, key, desc in ASSETS:
        img = show(art[asset_id], key)
        zoom = 0.5 if size[0] > 400 else (2 if size[0] <= 150 else 1)
        img = img.resize((int(img.width * zoom), int(img.height * zoom)),
                         Image.LANCZOS if zoom < 1 else Image.NEAREST)
        tiles.append((img, "%d  %dx%d%s" % (asset_id, size[0], size[1], "  key" if key else "")))
    strip = Image.new("RGB", (sum(i.width + 8 for i in icons) + 8 * 21, 256), (255, 255, 255))
    x = 0
    for im in icons:
        strip.paste(im, (x, 0), im)
        x += im.width + 8
    for f in frames[:8]:
        strip.paste(f.resize((42, 42), Image.NEAREST), (x, 0))
        x += 50
    tiles.append((strip, "227 icon 16/24/32/48/256, Loading.gif frames (2x)"))
    width, pad = 1600, 12
    rows, row, row_w = [], [], 0
    for t in tiles:
        tw = max(t[0].width, font(11).getlength(t[1]))
        if row and row_w + tw + pad > width:
            rows.append(row)
            row, row_w = [], 0
        row.append(t)
        row_w += tw + pad
    rows.append(row)
    height = sum(max(t[0].height for t in r) + 28 for r in rows) + pad
    sheet = Image.new("RGB", (width, height), (236, 238, 241))
    d = ImageDraw.Draw(sheet)
    y = pad
    for r in rows:
        x = pad
        for img, label in r:
            sheet.paste(img, (x, y))
            d.text((x, y + img.height + 3), label, font=font(11), fill=(40, 40, 40))
            x += int(max(img.width, font(11).getlength(label))) + pad
        y += max(t[0].height for t in r) + 28
    return sheet


def write_previews(out_dir, art, icons, frames):
    previews = [contact_sheet(art, icons, frames), mock_main(art), mock_progress(art),
                mock_results(art), mock_summary(art), mock_settings(art)]
    for name, img in zip(m.PREVIEWS, previews):
        img.save(os.path.join(out_dir, name))
