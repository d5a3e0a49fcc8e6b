"""Mock-ups of Melodrift's frame in a skin, put together from the skin file alone.

The frame's layout (panels around the module area) and the placement of controls and
decorations inside the panels follow the rules of the skin format (FORMAT.md beside the
skins), so the picture shows what the program will show, give or take the fonts.
"""
import os
import xml.etree.ElementTree as ET

from PIL import Image, ImageDraw

import skinart as A

DLGFRAME = 6          # the height a dialog frame adds to a window (two borders of 3)
TOP_EXTRA = 90        # the frame's extra height of the top panel, below the panel's own
PANELS = ["FramePanelUp", "FramePanelDown", "FramePanelLeft", "FramePanelRight", "FramePanelPlayer"]
TWO_STATE = {"PLAYER_SHUFFLE", "PLAYER_REPEAT", "EQUA_TURN", "SURR_SHOW"}


def attr(el, *names, default=None):
    low = {k.lower(): v for k, v in el.attrib.items()}
    for n in names:
        if n.lower() in low:
            return low[n.lower()]
    return default


def num(el, *names, default=None):
    v = attr(el, *names)
    if v is None:
        return default
    try:
        return int(v)
    except ValueError:
        return default


def child(el, name):
    for c in el:
        if c.tag.lower() == name.lower():
            return c
    return None


def colour(text, named):
    if text is None:
        return None
    t = text.strip()
    if t.startswith("@"):
        return colour(named.get(t[1:].lower()), named)
    if t.startswith("#"):
        t = t[1:]
        if len(t) == 3:
            t = "".join(ch * 2 for ch in t)
        return tuple(int(t[i:i + 2], 16) for i in (0, 2, 4))
    t = t.upper().replace("RGB(", "").replace(")", "")
    return tuple(int(v) for v in t.split(","))


def load_picture(skins_dir, el):
    src = attr(el, "Source")
    if not src:
        return None
    path = os.path.join(skins_dir, *src.split("\\"))
    if not os.path.exists(path):
        return None
    img = Image.open(path)
    mask = attr(el, "SourceAlpha")
    if mask:
        m = Image.open(os.path.join(skins_dir, *mask.split("\\"))).convert("L")
        img = img.convert("RGB")
        img.putalpha(m)
    return img.convert("RGBA")


def place(el, panel_w, panel_h, pic_size):
    """The rectangle of a control or decoration inside its panel, as the format says."""
    fw, fh = pic_size if pic_size else (24, 24)
    w = num(el, "Width", default=fw)
    h = num(el, "Height", default=fh)

    def axis(start_names, end_name, centre_name, size, extent):
        s = num(el, *start_names)
        e = num(el, end_name)
        if s is not None and e is not None:
            return s, max(0, extent - e - s)
        if s is not None:
            return s, size
        if e is not None:
            return extent - e - size, size
        c = num(el, centre_name, default=0)
        return (extent - size) // 2 + c, size

    x, w = axis(("X", "Left"), "Right", "HCenter", w, panel_w)
    y, h = axis(("Y", "Top"), "Bottom", "VCenter", h, panel_h)
    return x, y, max(0, w), max(0, h)


def frame_layout(root, width, height, player_on=True):
    panels = child(child(root, "MAINFRAME"), "Panels")
    init = {}
    for name in PANELS:
        el = child(panels, name)
        init[name] = (num(el, "Width", default=0), num(el, "Height", default=0))
    left, top, right, bottom = 0, 0, width, height
    rects = {}
    h = init["FramePanelUp"][1] + DLGFRAME + TOP_EXTRA
    rects["FramePanelUp"] = (left, top, right, top + h)
    top += h
    if player_on:
        ph = init["FramePanelPlayer"][1]
        pt = max(bottom - ph, top + init["FramePanelDown"][1])
        rects["FramePanelPlayer"] = (left, pt, right, bottom)
        bottom = pt
    dh = init["FramePanelDown"][1]
    dt = max(bottom - dh, top)
    rects["FramePanelDown"] = (left, dt, right, bottom)
    bottom = dt
    lw = init["FramePanelLeft"][0]
    rects["FramePanelLeft"] = (left, top, left + lw, bottom)
    left += lw
    rw = init["FramePanelRight"][0]
    right -= rw
    rects["FramePanelRight"] = (max(left, right), top, max(left, right) + rw, bottom)
    rects["client"] = (left, top, right, bottom)
    return rects


def draw_panel(canvas, el, rect, skins_dir, named):
    x0, y0, x1, y1 = rect
    w, h = x1 - x0, y1 - y0
    if w <= 0 or h <= 0:
        return
    bg = colour(attr(el, "Background"), named) or colour(named.get("framebackground"), named) or (32, 40, 48)
    to = colour(attr(el, "GradientTo"), named)
    if to:
        if (attr(el, "GradientDirection", default="Vertical") or "").lower() == "horizontal":
            layer = A.hgrad((w, h), [(0, bg), (1, to)])
        else:
            layer = A.vgrad((w, h), [(0, bg), (1, to)])
    else:
        layer = Image.new("RGB", (w, h), bg)
    layer = layer.convert("RGBA")
    pic = load_picture(skins_dir, el)
    if pic:
        mode = (attr(el, "SourceMode", default="Stretch") or "Stretch").lower()
        if mode == "frame":
            drawn = nine_part(pic, w, h, num(el, "FrameLeft", default=0), num(el, "FrameTop", default=0),
                              num(el, "FrameRight", default=0), num(el, "FrameBottom", default=0))
        elif mode == "tile":
            drawn = Image.new("RGBA", (w, h))
            for ty in range(0, h, pic.height):
                for tx in range(0, w, pic.width):
                    drawn.paste(pic, (tx, ty))
        elif mode in ("center", "topleft"):
            drawn = Image.new("RGBA", (w, h))
            pos = ((w - pic.width) // 2, (h - pic.height) // 2) if mode == "center" else (0, 0)
            drawn.paste(pic, pos)
        else:
            drawn = pic.resize((w, h), Image.BILINEAR)
        layer = Image.alpha_composite(layer, drawn)
    canvas.paste(layer, (x0, y0))
    # decorations
    for d in el:
        tag = d.tag.lower()
        if tag == "image":
            img = load_picture(skins_dir, d)
            if img is None:
                continue
            x, y, cw, ch = place(d, w, h, img.size)
            if (cw, ch) != img.size:
                img = img.resize((max(1, cw), max(1, ch)), Image.BILINEAR)
            canvas.alpha_composite(img, (x0 + x, y0 + y))
        elif tag == "label":
            x, y, cw, ch = place(d, w, h, None)
            draw_text(canvas, (x0 + x, y0 + y, cw, ch), attr(d, "Text", default=""),
                      colour(attr(d, "TextColor"), named) or (224, 224, 224), attr(d, "LogFont"),
                      attr(d, "Align", default="Left"))


def nine_part(pic, w, h, fl, ft, fr, fb):
    out = Image.new("RGBA", (w, h))
    pw, ph = pic.size
    xs = [(0, fl, 0, fl), (fl, pw - fr, fl, w - fr), (pw - fr, pw, w - fr, w)]
    ys = [(0, ft, 0, ft), (ft, ph - fb, ft, h - fb), (ph - fb, ph, h - fb, h)]
    for sx0, sx1, dx0, dx1 in xs:
        for sy0, sy1, dy0, dy1 in ys:
            if sx1 <= sx0 or sy1 <= sy0 or dx1 <= dx0 or dy1 <= dy0:
                continue
            part = pic.crop((sx0, sy0, sx1, sy1)).resize((dx1 - dx0, dy1 - dy0), Image.BILINEAR)
            out.paste(part, (dx0, dy0))
    return out


def draw_text(canvas, rect, text, col, logfont, align):
    x, y, w, h = rect
    px, style = 12, "regular"
    if logfont:
        parts = [p.strip() for p in logfont.split(",")]
        for p in parts[1:]:
            if p.isdigit():
                px = int(p)
            elif p.lower() == "bold":
                style = "bold"
    f = A.font(px, style)
    d = ImageDraw.Draw(canvas)
    a = (align or "left").lower()
    if a == "right":
        d.text((x + w, y + h / 2), text, font=f, fill=col, anchor="rm")
    elif a == "center":
        d.text((x + w / 2, y + h / 2), text, font=f, fill=col, anchor="mm")
    else:
        d.text((x, y + h / 2), text, font=f, fill=col, anchor="lm")


def button_frame(pic, el, state):
    states = num(el, "States", default=8 if el.tag.upper() in TWO_STATE or el.tag == "ModuleButton" else 4)
    vertical = (attr(el, "StateLayout", default="Horizontal") or "").lower() == "vertical"
    fw = pic.width if vertical else pic.width // states
    fh = pic.height // states if vertical else pic.height
    order = ["normal", "hover", "pressed", "disabled", "checked", "checked_hover", "checked_pressed",
             "checked_disabled"]
    i = order.index(state)
    if i >= states:
        i = order.index(state.replace("checked_", "").replace("checked", "normal"))
    box = (0, i * fh, fw, (i + 1) * fh) if vertical else (i * fw, 0, (i + 1) * fw, fh)
    return pic.crop(box)


def draw_slider(canvas, pic, el, rect, t, centred=False):
    x, y, w, h = rect
    kind = (attr(el, "Type", default="") or "").lower()
    if kind == "round":
        frames = num(el, "Frames", default=pic.width // pic.height)
        k = int(round(t * (frames - 1)))
        frame = pic.crop((k * pic.height, 0, (k + 1) * pic.height, pic.height))
        if frame.size != (w, h):
            frame = frame.resize((w, h), Image.BILINEAR)
        canvas.alpha_composite(frame, (x, y))
        return
    filled = (attr(el, "FilledTrack", default="No") or "").lower() == "yes"
    tw_, th_ = num(el, "ThumbWidth"), num(el, "ThumbHeight")
    states = num(el, "ThumbStates", default=3)
    track_w = (pic.width - states * tw_) // (2 if filled else 1)
    empty = pic.crop((0, 0, track_w, pic.height))
    full = pic.crop((track_w, 0, 2 * track_w, pic.height)) if filled else None
    thumb = pic.crop(((2 if filled else 1) * track_w, 0, (2 if filled else 1) * track_w + tw_, th_))
    cap = num(el, "TrackCap", default=4)
    horizontal = kind == "horizontal"
    if horizontal:
        tr = stretch_h(empty, w, cap)
        length, tl = w, tw_
    else:
        tr = stretch_v(empty, h, cap)
        length, tl = h, th_
    layer = Image.new("RGBA", (w, h))
    off = ((w - tr.width) // 2, 0) if not horizontal else (0, (h - tr.height) // 2)
    layer.alpha_composite(tr, off)
    begin = num(el, "BeginTrackOffset", default=tl // 2)
    end = num(el, "EndTrackOffset", default=tl // 2)
    bottom_min = (attr(el, "DrawAlign", default="") or "").upper().startswith("ALIGN_RIGHT") or (
        not horizontal and attr(el, "DrawAlign") is None)
    pos = begin + t * (length - begin - end)
    if bottom_min:
        pos = length - pos
    if full is not None:
        fr = stretch_h(full, w, cap) if horizontal else stretch_v(full, h, cap)
        a, b = (length / 2, pos) if centred else ((length if bottom_min else 0), pos)
        lo, hi = int(min(a, b)), int(max(a, b))
        if hi > lo:
            part = fr.crop((lo, 0, hi, fr.height)) if horizontal else fr.crop((0, lo, fr.width, hi))
            layer.alpha_composite(part, (lo, off[1]) if horizontal else (off[0], lo))
    tp = (int(pos - tl / 2), (h - th_) // 2) if horizontal else ((w - tw_) // 2, int(pos - tl / 2))
    layer.alpha_composite(thumb, tp)
    canvas.alpha_composite(layer, (x, y))


def stretch_h(img, w, cap):
    out = Image.new("RGBA", (w, img.height))
    out.paste(img.crop((0, 0, cap, img.height)), (0, 0))
    out.paste(img.crop((img.width - cap, 0, img.width, img.height)), (w - cap, 0))
    mid = img.crop((cap, 0, img.width - cap, img.height)).resize((max(1, w - 2 * cap), img.height))
    out.paste(mid, (cap, 0))
    return out


def stretch_v(img, h, cap):
    out = Image.new("RGBA", (img.width, h))
    out.paste(img.crop((0, 0, img.width, cap)), (0, 0))
    out.paste(img.crop((0, img.height - cap, img.width, img.height)), (0, h - cap))
    mid = img.crop((0, cap, img.width, img.height - cap)).resize((img.width, max(1, h - 2 * cap)))
    out.paste(mid, (0, cap))
    return out


SLIDER_VALUES = {"PLAYER_POSITION": (0.36, False), "PLAYER_VOLUME": (0.72, False), "PLAYER_BALANCE": (0.5, True)}
EQ_VALUES = [0.72, 0.66, 0.58, 0.52, 0.46, 0.5, 0.56, 0.62, 0.68, 0.7]


def render(xml_path, skins_dir, width, height, player_on=True, state=None):
    """The frame of the skin at the given size: a picture (RGB)."""
    state = state or {}
    root = ET.parse(xml_path).getroot()
    named = {}
    cols = child(root, "Colors")
    if cols is not None:
        for c in cols:
            named[(attr(c, "Name") or "").lower()] = attr(c, "Value")
    rects = frame_layout(root, width, height, player_on)
    canvas = Image.new("RGBA", (width, height), (0, 0, 0, 255))
    mdi = state.get("mdi", (40, 40, 48))
    x0, y0, x1, y1 = rects["client"]
    canvas.paste(Image.new("RGBA", (max(1, x1 - x0), max(1, y1 - y0)), mdi + (255,)), (x0, y0))
    if state.get("client_picture") is not None:
        cp = state["client_picture"](x1 - x0, y1 - y0)
        canvas.alpha_composite(cp, (x0, y0))
    main = child(root, "MAINFRAME")
    panels = child(main, "Panels")
    for name in PANELS:
        if name in rects:
            draw_panel(canvas, child(panels, name), rects[name], skins_dir, named)
    eq_index = 0
    for el in child(main, "Controls"):
        name = el.tag.upper()
        owner = attr(el, "Owner", default="")
        owner = next((p for p in PANELS if p.lower() == owner.lower()), None)
        if owner not in rects:
            continue
        px0, py0, px1, py1 = rects[owner]
        if name == "SURR_VIEW":
            continue
        if name == "STATUS_BAR":
            x, y, w, h = place(el, px1 - px0, py1 - py0, None)
            draw_text(canvas, (px0 + x, py0 + y, w, h), state.get("status", "Ready"),
                      colour(attr(el, "TextColor"), named) or (224, 224, 224), attr(el, "LogFont"),
                      attr(el, "Align", default="Left"))
            continue
        if name == "PLAYER_PAUSE" and not state.get("playing"):
            continue
        if name == "PLAYER_PLAY" and state.get("playing"):
            continue
        pic = load_picture(skins_dir, el)
        if pic is None:
            continue
        if attr(el, "Type"):
            if name.startswith("EQUA_SLIDER"):
                frame_size = (num(el, "Width"), num(el, "Height"))
                t, centred = EQ_VALUES[eq_index % 10], True
                eq_index += 1
            else:
                frame_size = None
                t, centred = SLIDER_VALUES.get(name, (0.5, False))
            x, y, w, h = place(el, px1 - px0, py1 - py0, frame_size or (pic.height, pic.height))
            draw_slider(canvas, pic, el, (px0 + x, py0 + y, w, h), t, centred)
            continue
        st = state.get("buttons", {}).get(name, "normal")
        frame = button_frame(pic, el, st)
        x, y, w, h = place(el, px1 - px0, py1 - py0, frame.size)
        canvas.alpha_composite(frame, (px0 + x + (w - frame.width) // 2, py0 + y + (h - frame.height) // 2))
    modules = child(main, "Modules")
    active = state.get("active_module", 0)
    k = 0
    for m in modules:
        b = child(m, "ModuleButton")
        if b is None:
            continue
        owner = next((p for p in PANELS if p.lower() == (attr(b, "Owner") or "").lower()), None)
        pic = load_picture(skins_dir, b)
        if owner not in rects or pic is None:
            k += 1
            continue
        px0, py0, px1, py1 = rects[owner]
        frame = button_frame(pic, b, "checked" if k == active else "normal")
        x, y, w, h = place(b, px1 - px0, py1 - py0, frame.size)
        canvas.alpha_composite(frame, (px0 + x, py0 + y))
        k += 1
    return canvas.convert("RGB")


def render_variants(xml_path, skins_dir, out_dir, name):
    base = os.path.join(out_dir, name)
    dark = (name == "Midnight")
    mdi = (11, 14, 20) if dark else (221, 226, 234)
    common = {"mdi": mdi, "buttons": {"PLAYER_SHUFFLE": "checked", "EQUA_TURN": "checked"}}
    render(xml_path, skins_dir, 900, 700, True, common).save(base + "-frame.png")
    render(xml_path, skins_dir, 900, 700, False, common).save(base + "-frame-noplayer.png")
    render(xml_path, skins_dir, 1280, 800, True, dict(common, playing=True, status="Playing: Evening Tide.mp3",
                                                    buttons={"PLAYER_SHUFFLE": "checked",
                                                             "PLAYER_REPEAT": "checked",
                                                             "EQUA_TURN": "checked", "SURR_SHOW": "checked",
                                                             "PLAYER_PLAY": "hover"})).save(base + "-wide.png")
    render(xml_path, skins_dir, 880, 660, True, common).save(base + "-minimum.png")
    contact_sheet(xml_path, skins_dir, base + "-pictures.png", (22, 27, 39) if dark else (236, 239, 244))


def contact_sheet(xml_path, skins_dir, out_path, background):
    """Every picture of the skin, button strips cut into their states, on the panel colour."""
    root = ET.parse(xml_path).getroot()
    main = child(root, "MAINFRAME")
    rows, seen = [], set()
    for el in main.iter():
        src = attr(el, "Source")
        if not src or src in seen:
            continue
        seen.add(src)
        pic = load_picture(skins_dir, el)
        if pic is None:
            continue
        states = num(el, "States")
        if states:
            fw = pic.width // states
            frames = [pic.crop((i * fw, 0, (i + 1) * fw, pic.height)) for i in range(states)]
        elif (attr(el, "Type") or "").lower() == "round":
            n = num(el, "Frames", default=pic.width // pic.height)
            frames = [pic.crop((k * pic.height, 0, (k + 1) * pic.height, pic.height)) for k in range(0, n, max(1, n // 6))]
        else:
            frames = [pic if pic.width <= 420 else pic.resize((420, max(1, pic.height * 420 // pic.width)))]
        rows.append((src.split("\\")[-1], frames))
    width = 1000
    y, placed = 8, []
    for name, frames in rows:
        h = max(f.height for f in frames)
        placed.append((y, name, frames))
        y += max(h, 14) + 10
    sheet = Image.new("RGBA", (width, y + 4), tuple(background) + (255,))
    d = ImageDraw.Draw(sheet)
    label_col = (128, 128, 128)
    for y0, name, frames in placed:
        d.text((8, y0), name, font=A.font(10), fill=label_col)
        x = 150
        for f in frames:
            if x + f.width > width - 8:
                break
            sheet.alpha_composite(f, (x, y0))
            x += f.width + 8
    sheet.convert("RGB").save(out_path)
