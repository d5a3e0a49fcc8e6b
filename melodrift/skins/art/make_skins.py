#!/usr/bin/env python3
"""Draws Melodrift's two full skins, "Midnight" (dark) and "Daylight" (light).

    make_skins.py --out DIR [--preview DIR]   write DIR/<Skin>-eng.xml and DIR/<Skin>/*.png;
                                              with --preview, mock-ups of the frame in each
                                              skin (assembled from the XML) into that folder
    make_skins.py --list                      the files written below DIR, relative, one per line

Every picture is drawn here from the palette of its skin; the skin files are written
from the same layout, so sizes in the XML and sizes of the pictures cannot drift apart.
The output is the same byte for byte on every run. Needs Python 3 with Pillow and the
DejaVu fonts (Debian: python3-pil, fonts-dejavu-core).
"""
import argparse
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from PIL import Image, ImageFilter  # noqa: E402

import skinart as A  # noqa: E402

LANGUAGES = ["eng"]          # short names of the languages the program ships
MODULES = [  # (name in the skin, glyph, label drawn on the button)
    ("Vocalith", "microphone", "Vocalith"),
    ("Tunestack", "library", "Tunestack"),
    ("Sonicut", "wave_cut", "Sonicut"),
    ("Transcodia", "convert", "Transcodia"),
    ("Discwright", "disc_burn", "Discwright"),
    ("Discreel", "film_reel", "Discreel"),
    ("Sleevewright", "sleeve", "Sleevewright"),
    ("Jestroom", "smile", "Jestroom"),
]
MENUS = [("MENU_FILE", "File"), ("MENU_EDIT", "Edit"), ("MENU_VIEW", "View"), ("MENU_PLAY", "Play"),
         ("MENU_MORPH", "Morph"), ("MENU_WINDOW", "Window"), ("MENU_HELP", "Help")]
# The modules' own toolbars ("ModuleToolbar" ID="Main"): per module its buttons
# (command the module knows, glyph, label drawn on the button or None for an
# icon-only button, tooltip); None leaves a gap with a divider.
TOOLBARS = {
    "Vocalith": [(43001, "add", "Add", "Add files to the playlist"),
                 (43002, "library", "Library", "Add from the library"),
                 (43003, "remove", "Remove", "Remove from the playlist"),
                 None,
                 (13000, "prev", None, "Previous track"), (13010, "play", None, "Play"),
                 (13015, "pause", None, "Pause"), (13020, "stop", None, "Stop"),
                 (13030, "next", None, "Next track")],
    "Tunestack": [(41001, "folder_add", "Add folder", "Add a folder to the library"),
                  (41007, "library", "Choose", "Choose tracks from the library"),
                  None,
                  (41002, "playlist_add", "New playlist", "New playlist"),
                  (41003, "rename", None, "Rename the playlist"),
                  (41004, "trash", None, "Delete the playlist"),
                  None,
                  (41005, "list_add", "Add to playlist", "Add the selected tracks to the playlist"),
                  (41006, "remove", None, "Remove the selected tracks from the playlist"),
                  (41008, "play", None, "Play the selected tracks")],
    "Sonicut": [(42010, "record", "Record", "Start recording"),
                (42011, "pause", "Pause", "Pause or resume the recording"),
                (42012, "stop", "Stop", "Stop recording"),
                None,
                (42013, "folder", "Save to...", "Choose the file to record to")],
}
TOOLBAR_H, TOOLBAR_BUTTON_H, TOOLBAR_ICON_W = 38, 28, 32
EQ_BANDS = ["32", "64", "125", "250", "500", "1K", "2K", "4K", "8K", "16K"]

THEMES = {
    "Midnight": {
        "dark": True,
        "caption_top": "#1E2433", "caption_bottom": "#161B27",   # top panel, caption row
        "band_top": "#141925", "band_bottom": "#10141D",         # top panel, below the caption row
        "panel_top": "#1A2030", "panel_bottom": "#121621",       # player panel
        "side_top": "#161B27", "side_bottom": "#11151E",         # left and right panels
        "status_top": "#131823", "status_bottom": "#0F131B",     # bottom panel
        "line": "#2A3244", "line_soft": "#202737", "highlight": "#FFFFFF",
        "well": "#0C0F16", "well_edge": "#252D3D",                # recessed boxes
        "face_top": "#2C3446", "face_bottom": "#212838",         # button faces
        "face_edge": "#394257",
        "hover_top": "#36405A", "hover_bottom": "#29314A",
        "glyph": "#DCE2EE", "glyph_hover": "#FFFFFF", "glyph_disabled": "#4E576B",
        "text": "#E6EBF5", "muted": "#8B95A9", "faint": "#5D6679",
        "accent_a": "#7B5CFF", "accent_b": "#1398AB", "accent": "#5E8BFF", "accent_text": "#FFFFFF",
        "record": "#FF4D5E", "close_hover": "#E5484D",
        "track": "#0A0D13", "track_edge": "#2A3244",
        "thumb_top": "#F4F6FB", "thumb_bottom": "#C9D0DE",
        "knob_top": "#343D52", "knob_bottom": "#1B212E",
        "shadow": "#000000", "shadow_opacity": 0.55,
        "status_text": "#A9B3C6", "mdi": "#0B0E14",
        "menu_bg": "#1C2230", "menu_text": "#E6EBF5", "menu_hl": "#4169E1", "menu_hl_text": "#FFFFFF",
        "menu_disabled": "#5D6679", "menu_sep": "#2A3244",
        "dialog_bg": "#1A2030", "dialog_text": "#E6EBF5", "tip_bg": "#232A3A", "tip_text": "#E6EBF5",
        "box_bg": "#1A2030", "box_text": "#E6EBF5",
        "knobs": True, "alpha_masks": False,
    },
    "Daylight": {
        "dark": False,
        "caption_top": "#FFFFFF", "caption_bottom": "#F1F3F7",
        "band_top": "#F3F5F9", "band_bottom": "#ECEFF4",
        "panel_top": "#FBFCFE", "panel_bottom": "#ECEFF5",
        "side_top": "#F5F7FA", "side_bottom": "#EDF0F5",
        "status_top": "#F1F3F7", "status_bottom": "#E7EBF1",
        "line": "#D3D9E3", "line_soft": "#E3E7EE", "highlight": "#FFFFFF",
        "well": "#E6EAF1", "well_edge": "#D0D7E2",
        "face_top": "#FFFFFF", "face_bottom": "#EEF1F6",
        "face_edge": "#CDD4DF",
        "hover_top": "#FFFFFF", "hover_bottom": "#E4EAF5",
        "glyph": "#2A3447", "glyph_hover": "#111827", "glyph_disabled": "#B3BBC9",
        "text": "#1D2533", "muted": "#5A657D", "faint": "#9AA3B5",
        "accent_a": "#5B4BDB", "accent_b": "#1AA3B8", "accent": "#3B6FE0", "accent_text": "#FFFFFF",
        "record": "#E5484D", "close_hover": "#E5484D",
        "track": "#D6DCE6", "track_edge": "#C5CDDA",
        "thumb_top": "#FFFFFF", "thumb_bottom": "#E9EDF3",
        "knob_top": "#FFFFFF", "knob_bottom": "#E2E7EF",
        "shadow": "#3A4660", "shadow_opacity": 0.28,
        "status_text": "#46516A", "mdi": "#DDE2EA",
        "menu_bg": "#FFFFFF", "menu_text": "#1D2533", "menu_hl": "#3B6FE0", "menu_hl_text": "#FFFFFF",
        "menu_disabled": "#9AA3B5", "menu_sep": "#E3E7EE",
        "dialog_bg": "#F5F7FA", "dialog_text": "#1D2533", "tip_bg": "#FFFFFF", "tip_text": "#1D2533",
        "box_bg": "#FFFFFF", "box_text": "#1D2533",
        "knobs": False, "alpha_masks": True,
    },
}

# ---------------------------------------------------------------------------
# Geometry shared by both skins (frame pixels)
# ---------------------------------------------------------------------------
MIN_W, MIN_H = 880, 660
CAPTION_H = 40                   # the top panel's own height (the frame adds room below it)
STATUS_H = 26
LEFT_W, RIGHT_W = 8, 8
TOP_BAND = 96                    # what the frame adds below the top panel's own height
PLAYER_H = 108
MOD_W, MOD_H, MOD_PITCH, MOD_LEFT = 84, 72, 88, 12   # module tiles in the band of the top panel
MOD_TOP = CAPTION_H + (TOP_BAND - MOD_H) // 2
SMALL, BIG = 34, 50              # transport buttons
TOGGLE_W, TOGGLE_H = 32, 28
WIN_W, WIN_H = 34, 28
POS_THUMB = 16
EQ_W, EQ_H, EQ_PITCH, EQ_THUMB_H = 16, 48, 22, 10
KNOB, KNOB_FRAMES = 44, 49
LEVEL_W, LEVEL_Y = 80, (40, 70)  # short volume and balance sliders (Daylight): width, caption rows
# The equalizer box of the player panel (right-anchored)
EQ_BOX_W, EQ_BOX_H, EQ_BOX_RIGHT, EQ_BOX_Y = 296, 66, 62, 36
SURR_RIGHT = 16


def T(theme, key):
    return A.rgb(theme[key])


def accent_fill(theme, size, angle=135):
    return A.dgrad(size, T(theme, "accent_a"), T(theme, "accent_b"), angle)


# ---------------------------------------------------------------------------
# Buttons: frames side by side in the order of the skin format
# normal, hover, pressed, disabled [, checked, checked hover, checked pressed, checked disabled]
# ---------------------------------------------------------------------------
STATES4 = ["normal", "hover", "pressed", "disabled"]
STATES8 = STATES4 + ["checked", "checked_hover", "checked_pressed", "checked_disabled"]


def strip(frames):
    w, h = frames[0].size
    out = Image.new("RGBA", (w * len(frames), h), (0, 0, 0, 0))
    for i, f in enumerate(frames):
        out.paste(f, (i * w, 0))
    return out


def round_button(theme, size, glyph, state, primary=False, record=False, pad=3):
    """A round transport button with a soft shadow; `pad` leaves room for the shadow."""
    w = h = size
    p = A.Pic(w, h)
    r = (size - 2 * pad) / 2.0
    cx, cy = w / 2.0, h / 2.0 - 0.5
    disc = A.Mask(w, h).circle(cx, cy, r).get()
    pressed = state in ("pressed", "checked_pressed")
    disabled = "disabled" in state
    hover = state in ("hover", "checked_hover")
    if not disabled and not pressed:
        p.shadow(disc, theme["shadow"], 1.6, 0, 1.2, theme["shadow_opacity"])
    if primary and not disabled:
        fill = accent_fill(theme, (w, h))
        p.fill(disc, fill)
        if hover:
            p.fill(disc, "#FFFFFF", 0.14)
        if pressed:
            p.fill(disc, "#000000", 0.22)
        # a glassy highlight over the upper half
        hi = A.mask_mul(disc, A.Mask(w, h).ellipse((cx - r * 0.8, cy - r * 1.05, cx + r * 0.8, cy + r * 0.2)).get())
        p.fill(hi, "#FFFFFF", 0.10 if not pressed else 0.04)
        glyph_col = T(theme, "accent_text")
    else:
        top, bottom = ("hover_top", "hover_bottom") if hover else ("face_top", "face_bottom")
        if pressed:
            top, bottom = "face_bottom", "face_top"
        p.fill(disc, A.vgrad((w, h), [(0, T(theme, top)), (1, T(theme, bottom))], cy - r, cy + r))
        ring = A.mask_sub(disc, A.Mask(w, h).circle(cx, cy, r - 1).get())
        p.fill(ring, T(theme, "face_edge"), 0.9 if not hover else 1.0)
        if hover and not primary:
            p.fill(ring, T(theme, "accent"), 0.55)
        top_hi = A.mask_sub(A.Mask(w, h).circle(cx, cy - 0.6, r - 1).get(), A.Mask(w, h).circle(cx, cy + 0.6, r - 1).get())
        p.fill(top_hi, "#FFFFFF", 0.10 if theme["dark"] else 0.9)
        if disabled:
            glyph_col = T(theme, "glyph_disabled")
        elif record:
            glyph_col = T(theme, "record")
        elif pressed:
            glyph_col = T(theme, "accent")
        else:
            glyph_col = T(theme, "glyph_hover" if hover else "glyph")
    if disabled and primary:
        p.fill(disc, A.vgrad((w, h), [(0, T(theme, "face_top")), (1, T(theme, "face_bottom"))], cy - r, cy + r))
        glyph_col = T(theme, "glyph_disabled")
    g = r * (1.0 if primary else 0.96)
    gbox = (cx - g * 0.62, cy - g * 0.62, cx + g * 0.62, cy + g * 0.62)
    if glyph == "play":            # optical centre of the triangle
        gbox = (gbox[0] + g * 0.06, gbox[1], gbox[2] + g * 0.06, gbox[3])
    gm = A.glyph_mask(glyph, w, h, gbox)
    if not disabled and not (primary and pressed):
        p.shadow(gm, "#000000", 0.6, 0, 0.6, 0.25 if (primary or theme["dark"]) else 0.0)
    p.fill(gm, glyph_col)
    if record and not disabled:
        glow = A.Mask(w, h).circle(cx, cy, r * 0.34).get()
        p.fill(glow.filter(ImageFilter.GaussianBlur(2)), T(theme, "record"), 0.35)
    return p.im


def toggle_button(theme, w, h, glyph, state, label=None):
    """A rounded two-state button: an accent light and glyph when checked."""
    p = A.Pic(w, h)
    box = (1, 1, w - 1, h - 2)
    body = A.Mask(w, h).rrect(box, 7).get()
    checked = state.startswith("checked")
    pressed = state.endswith("pressed")
    disabled = state.endswith("disabled")
    hover = state.endswith("hover")
    if not pressed and not disabled:
        p.shadow(body, theme["shadow"], 1.2, 0, 1, theme["shadow_opacity"] * 0.8)
    top, bottom = ("hover_top", "hover_bottom") if hover else ("face_top", "face_bottom")
    if pressed:
        top, bottom = "face_bottom", "face_top"
    p.fill(body, A.vgrad((w, h), [(0, T(theme, top)), (1, T(theme, bottom))], 1, h - 2))
    if checked and not disabled:
        p.fill(body, accent_fill(theme, (w, h)), 0.22 if theme["dark"] else 0.14)
    edge = A.mask_sub(body, A.Mask(w, h).rrect((2, 2, w - 2, h - 3), 6).get())
    p.fill(edge, T(theme, "accent") if (checked and not disabled) else T(theme, "face_edge"),
           0.9 if checked else 1.0)
    hi = A.mask_sub(A.Mask(w, h).rrect((2, 2, w - 2, h - 3), 6).get(),
                    A.Mask(w, h).rrect((2, 3, w - 2, h - 2), 6).get())
    p.fill(hi, "#FFFFFF", 0.10 if theme["dark"] else 0.8)
    if disabled:
        col = T(theme, "glyph_disabled")
    elif checked:
        col = A.mix(T(theme, "accent"), "#FFFFFF", 0.25) if theme["dark"] else T(theme, "accent")
    else:
        col = T(theme, "glyph_hover" if hover else "glyph")
    if label:
        gs = h - 12
        gx = 7
        gm = A.glyph_mask(glyph, w, h, (gx, (h - gs) / 2 - 0.5, gx + gs, (h + gs) / 2 - 0.5))
        p.fill(gm, col)
        p.text((gx + gs + 4, h / 2 - 0.5), label, 11, col, "bold", "lm")
    else:
        gs = min(w, h) - 10
        gm = A.glyph_mask(glyph, w, h, ((w - gs) / 2, (h - gs) / 2 - 0.5, (w + gs) / 2, (h + gs) / 2 - 0.5))
        p.fill(gm, col)
    if checked and not disabled:
        # a small indicator light in the lower right corner
        led = A.Mask(w, h).circle(w - 6, h - 7, 1.6).get()
        p.fill(led.filter(ImageFilter.GaussianBlur(1.5)), T(theme, "accent_b"), 0.8)
        p.fill(led, A.mix(T(theme, "accent_b"), "#FFFFFF", 0.3))
    return p.im


def menu_button(theme, label, state):
    """A flat menu-bar button: the label, with a pill behind it under the pointer and when open."""
    f = A.font(12, "regular")
    w = int(math.ceil(f.getlength(label))) + 20
    h = 24
    p = A.Pic(w, h)
    pill = A.Mask(w, h).rrect((0, 1, w, h - 1), 6).get()
    if state == "hover":
        p.fill(pill, T(theme, "highlight") if theme["dark"] else T(theme, "accent"), 0.10 if theme["dark"] else 0.10)
    elif state == "pressed":
        p.fill(pill, accent_fill(theme, (w, h), 0))
    col = {"normal": T(theme, "text"), "hover": T(theme, "glyph_hover"), "pressed": T(theme, "accent_text"),
           "disabled": T(theme, "faint")}[state]
    p.text((w / 2, h / 2), label, 12, col, "regular", "mm")
    return p.im


def window_button(theme, glyph, state):
    w, h = WIN_W, WIN_H
    p = A.Pic(w, h)
    pill = A.Mask(w, h).rrect((2, 2, w - 2, h - 2), 6).get()
    hover = state == "hover"
    pressed = state == "pressed"
    if glyph == "close" and (hover or pressed):
        p.fill(pill, T(theme, "close_hover"))
        if pressed:
            p.fill(pill, "#000000", 0.18)
        col = (255, 255, 255)
    else:
        if hover:
            p.fill(pill, T(theme, "highlight") if theme["dark"] else T(theme, "text"), 0.10 if theme["dark"] else 0.07)
        if pressed:
            p.fill(pill, T(theme, "highlight") if theme["dark"] else T(theme, "text"), 0.18 if theme["dark"] else 0.13)
        col = T(theme, "glyph_disabled") if state == "disabled" else T(theme, "glyph_hover" if hover else "glyph")
    gs = 22
    p.fill(A.glyph_mask(glyph, w, h, ((w - gs) / 2, (h - gs) / 2, (w + gs) / 2, (h + gs) / 2)), col)
    return p.im


def toolbar_button(theme, glyph, label, state):
    """A button of a module toolbar: flat until the pointer is over it, then a raised face."""
    h = TOOLBAR_BUTTON_H
    gs = 16
    w = TOOLBAR_ICON_W if not label else int(math.ceil(A.text_width(label, 11, "bold"))) + gs + 24
    p = A.Pic(w, h)
    body = A.Mask(w, h).rrect((1, 1, w - 1, h - 2), 7).get()
    hover, pressed, disabled = state == "hover", state == "pressed", state == "disabled"
    if hover or pressed:
        if hover:
            p.shadow(body, theme["shadow"], 1.2, 0, 1, theme["shadow_opacity"] * 0.7)
        top, bottom = ("hover_top", "hover_bottom") if hover else ("face_bottom", "face_top")
        p.fill(body, A.vgrad((w, h), [(0, T(theme, top)), (1, T(theme, bottom))], 1, h - 2))
        edge = A.mask_sub(body, A.Mask(w, h).rrect((2, 2, w - 2, h - 3), 6).get())
        p.fill(edge, T(theme, "accent") if hover else T(theme, "face_edge"), 0.6 if hover else 1.0)
    if disabled:
        col = T(theme, "glyph_disabled")
    elif glyph == "record":
        col = T(theme, "record")
    elif pressed:
        col = T(theme, "accent") if not theme["dark"] else A.mix(T(theme, "accent"), "#FFFFFF", 0.3)
    else:
        col = T(theme, "glyph_hover" if hover else "glyph")
    gx = 8 if label else (w - gs) / 2
    gm = A.glyph_mask(glyph, w, h, (gx, (h - gs) / 2 - 0.5, gx + gs, (h + gs) / 2 - 0.5))
    p.fill(gm, col)
    if label:
        text_col = T(theme, "faint") if disabled else T(theme, "glyph_hover" if hover else "text")
        p.text((gx + gs + 6, h / 2 - 0.5), label, 11, text_col, "bold", "lm")
    return p.im


def toolbar_picture(theme):
    """The toolbar's background: the band's gradient with a line along its bottom."""
    w, h = 8, TOOLBAR_H
    p = A.Pic(w, h)
    p.fill(A.Mask(w, h).rect((0, 0, w, h)).get(),
           A.vgrad((w, h), [(0, T(theme, "band_top")), (1, T(theme, "band_bottom"))]))
    hline(p, 0, T(theme, "highlight"), 0.05 if theme["dark"] else 0.9)
    hline(p, h - 1, T(theme, "line"))
    return p.im.convert("RGB")


def toolbar_divider(theme):
    """A groove between groups of toolbar buttons: a line and its highlight, clear around them."""
    w, h = 6, TOOLBAR_BUTTON_H - 8
    im = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    im.paste(Image.new("RGBA", (1, h), T(theme, "line") + (255,)), (2, 0))
    im.paste(Image.new("RGBA", (1, h), T(theme, "highlight") + (24 if theme["dark"] else 200,)), (3, 0))
    return im


def module_button(theme, glyph, label, state):
    """A module tile of the top band: glyph over its name; the active module's tile is lit."""
    w, h = MOD_W, MOD_H
    p = A.Pic(w, h)
    body = A.Mask(w, h).rrect((2, 2, w - 2, h - 3), 10).get()
    checked = state.startswith("checked")
    hover = state.endswith("hover")
    pressed = state.endswith("pressed")
    disabled = state.endswith("disabled")
    if checked and not disabled:
        p.shadow(body, theme["shadow"], 2.5, 0, 1.5, theme["shadow_opacity"])
        p.fill(body, accent_fill(theme, (w, h)))
        if hover:
            p.fill(body, "#FFFFFF", 0.12)
        if pressed:
            p.fill(body, "#000000", 0.18)
        hi = A.mask_sub(body, A.Mask(w, h).rrect((2, 3, w - 2, h - 2), 10).get())
        p.fill(hi, "#FFFFFF", 0.3)
        col, tcol = (255, 255, 255), (255, 255, 255)
    else:
        if hover or pressed:
            p.fill(body, A.vgrad((w, h), [(0, T(theme, "hover_top")), (1, T(theme, "hover_bottom"))]),
                   (0.55 if hover else 0.9) if theme["dark"] else (1.0 if hover else 1.0))
            edge = A.mask_sub(body, A.Mask(w, h).rrect((3, 3, w - 3, h - 4), 9).get())
            p.fill(edge, T(theme, "face_edge"), 0.8)
            if pressed:
                p.fill(body, "#000000", 0.08)
        if disabled:
            col = tcol = T(theme, "glyph_disabled")
        else:
            col = T(theme, "glyph_hover" if hover else "glyph")
            tcol = T(theme, "text" if hover else "muted")
            if checked:  # checked and disabled
                col = tcol = A.mix(T(theme, "accent"), T(theme, "glyph_disabled"), 0.5)
    gs = 30
    gm = A.glyph_mask(glyph, w, h, ((w - gs) / 2, 9, (w + gs) / 2, 9 + gs))
    if checked and not disabled:
        p.shadow(gm, "#000000", 1, 0, 1, 0.25)
    p.fill(gm, col)
    size = 11 if A.text_width(label, 11, "regular") <= w - 8 else 10
    p.text((w / 2, h - 11), label, size, tcol, "regular", "ms")
    return p.im


def band_ornament(theme):
    """A soft wave drawn at the right end of the top band."""
    w, h = 150, 64
    p = A.Pic(w, h)
    for k, (amp, ph, op) in enumerate(((16, 0.0, 0.55), (11, 1.3, 0.35), (7, 2.4, 0.25))):
        pts = []
        for i in range(0, w + 1, 2):
            t = i / float(w)
            env = math.sin(math.pi * t) ** 1.5
            pts.append((i, h / 2 + amp * env * math.sin(t * 7.0 + ph)))
        m = A.Mask(w, h).line(pts, 2.0 - k * 0.4)
        p.fill(m.get(), A.hgrad((w, h), [(0, T(theme, "accent_a")), (1, T(theme, "accent_b"))]), op)
    fade = A.hgrad((w, h), [(0, (0, 0, 0)), (0.35, (255, 255, 255)), (1, (255, 255, 255))]).convert("L")
    a = A.mask_mul(p.im.getchannel("A"), fade)
    p.im.putalpha(a)
    return p.im


# ---------------------------------------------------------------------------
# Sliders: track | filled track | thumb normal | thumb hover | thumb pressed
# ---------------------------------------------------------------------------
def h_slider(theme, track_w, h, thumb_w, thumb_h, thickness=4):
    tracks = []
    for filled in (False, True):
        p = A.Pic(track_w, h)
        y0 = (h - thickness) / 2.0
        bar = A.Mask(track_w, h).rrect((1, y0, track_w - 1, y0 + thickness), thickness / 2).get()
        if filled:
            p.fill(bar, A.hgrad((track_w, h), [(0, T(theme, "accent_a")), (1, T(theme, "accent_b"))]))
        else:
            outer = A.Mask(track_w, h).rrect((0, y0 - 1, track_w, y0 + thickness + 1), thickness / 2 + 1).get()
            p.fill(outer, T(theme, "track_edge"), 0.8)
            p.fill(bar, T(theme, "track"))
        tracks.append(p.im)
    thumbs = [thumb(theme, thumb_w, thumb_h, s, round_=True) for s in ("normal", "hover", "pressed")]
    out = Image.new("RGBA", (2 * track_w + 3 * thumb_w, h), (0, 0, 0, 0))
    out.paste(tracks[0], (0, 0))
    out.paste(tracks[1], (track_w, 0))
    for i, t in enumerate(thumbs):
        out.paste(t, (2 * track_w + i * thumb_w, 0))
    return out


def v_slider(theme, w, track_h, thumb_h, thickness=4):
    tracks = []
    for filled in (False, True):
        p = A.Pic(w, track_h)
        x0 = (w - thickness) / 2.0
        bar = A.Mask(w, track_h).rrect((x0, 1, x0 + thickness, track_h - 1), thickness / 2).get()
        if filled:
            p.fill(bar, A.vgrad((w, track_h), [(0, T(theme, "accent_b")), (1, T(theme, "accent_a"))]))
        else:
            outer = A.Mask(w, track_h).rrect((x0 - 1, 0, x0 + thickness + 1, track_h), thickness / 2 + 1).get()
            p.fill(outer, T(theme, "track_edge"), 0.8)
            p.fill(bar, T(theme, "track"))
            # centre mark
            p.fill(A.Mask(w, track_h).rect((1, track_h / 2 - 0.5, x0 - 2, track_h / 2 + 0.5)).get(), T(theme, "faint"))
            p.fill(A.Mask(w, track_h).rect((x0 + thickness + 2, track_h / 2 - 0.5, w - 1, track_h / 2 + 0.5)).get(),
                   T(theme, "faint"))
        tracks.append(p.im)
    thumbs = [thumb(theme, w, thumb_h, s, round_=False) for s in ("normal", "hover", "pressed")]
    out = Image.new("RGBA", (2 * w + 3 * w, track_h), (0, 0, 0, 0))
    out.paste(tracks[0], (0, 0))
    out.paste(tracks[1], (w, 0))
    for i, t in enumerate(thumbs):
        out.paste(t, (2 * w + i * w, 0))
    return out


def thumb(theme, w, h, state, round_=True):
    p = A.Pic(w, h)
    if round_:
        body = A.Mask(w, h).circle(w / 2, h / 2 - 0.5, min(w, h) / 2 - 1.5).get()
    else:
        body = A.Mask(w, h).rrect((1, 1, w - 1, h - 1.5), 3).get()
    p.shadow(body, theme["shadow"], 1.2, 0, 0.8, theme["shadow_opacity"])
    top, bottom = T(theme, "thumb_top"), T(theme, "thumb_bottom")
    if state == "hover":
        bottom = A.mix(bottom, "#FFFFFF", 0.4)
    p.fill(body, A.vgrad((w, h), [(0, top), (1, bottom)]))
    edge = A.mask_sub(body, A.Mask(w, h).circle(w / 2, h / 2 - 0.5, min(w, h) / 2 - 2.5).get() if round_
                      else A.Mask(w, h).rrect((2, 2, w - 2, h - 2.5), 2).get())
    p.fill(edge, "#000000" if not theme["dark"] else "#FFFFFF", 0.12 if not theme["dark"] else 0.0)
    if round_:
        dot_r = 2.2 if state != "pressed" else 3.0
        p.fill(A.Mask(w, h).circle(w / 2, h / 2 - 0.5, dot_r).get(), accent_fill(theme, (w, h)))
    else:
        p.fill(A.Mask(w, h).rect((3, h / 2 - 1, w - 3, h / 2 + 0.5)).get(),
               T(theme, "accent") if state != "normal" else T(theme, "faint"))
    return p.im


def knob_strip(theme, size, frames, centred):
    """A round slider: `frames` square frames, the knob turned from -135 to +135 degrees."""
    out = Image.new("RGBA", (size * frames, size), (0, 0, 0, 0))
    for k in range(frames):
        t = k / (frames - 1)
        out.paste(knob(theme, size, t, centred), (k * size, 0))
    return out


def knob(theme, size, t, centred):
    w = h = size
    p = A.Pic(w, h)
    c = size / 2.0
    ring_r = c - 3
    # level ring
    track = A.Mask(w, h).arc(c, c, ring_r - 1.5, 135, 405, 3).get()
    p.fill(track, T(theme, "track"))
    a = 135 + 270 * t
    if centred:
        a0, a1 = (270, a) if a >= 270 else (a, 270)
    else:
        a0, a1 = 135, a
    if a1 - a0 > 0.5:
        lit = A.Mask(w, h).arc(c, c, ring_r - 1.5, a0, a1, 3).get()
        p.fill(lit, accent_fill(theme, (w, h), 0))
    # knob body
    kr = ring_r - 6
    body = A.Mask(w, h).circle(c, c, kr).get()
    p.shadow(body, theme["shadow"], 1.5, 0, 1.2, theme["shadow_opacity"])
    p.fill(body, A.vgrad((w, h), [(0, T(theme, "knob_top")), (1, T(theme, "knob_bottom"))], c - kr, c + kr))
    edge = A.mask_sub(body, A.Mask(w, h).circle(c, c, kr - 1).get())
    p.fill(edge, T(theme, "face_edge"))
    hi = A.mask_sub(A.Mask(w, h).circle(c, c - 0.6, kr - 1).get(), A.Mask(w, h).circle(c, c + 0.6, kr - 1).get())
    p.fill(hi, "#FFFFFF", 0.15 if theme["dark"] else 0.9)
    # indicator
    ang = math.radians(a)
    r0, r1 = kr * 0.35, kr * 0.78
    ind = A.Mask(w, h).line([(c + r0 * math.cos(ang), c + r0 * math.sin(ang)),
                             (c + r1 * math.cos(ang), c + r1 * math.sin(ang))], 2.2).get()
    p.fill(ind, A.mix(T(theme, "accent"), "#FFFFFF", 0.2) if theme["dark"] else T(theme, "accent"))
    return p.im


# ---------------------------------------------------------------------------
# Panels and decorations
# ---------------------------------------------------------------------------
def hline(p, y, colour, opacity=1.0, x0=0, x1=None):
    x1 = p.w if x1 is None else x1
    p.fill(A.Mask(p.w, p.h).rect((x0, y, x1, y + 1)).get(), colour, opacity)


def vline(p, x, colour, opacity=1.0, y0=0, y1=None):
    y1 = p.h if y1 is None else y1
    p.fill(A.Mask(p.w, p.h).rect((x, y0, x + 1, y1)).get(), colour, opacity)


def top_panel_picture(theme):
    """Nine-part picture of the top panel: the caption row, then the toolbar band below it."""
    w, h = 64, CAPTION_H + TOP_BAND
    p = A.Pic(w, h, A.vgrad((w, h), [(0, T(theme, "caption_top")), (1, T(theme, "caption_bottom"))], 0, CAPTION_H))
    band = A.Mask(w, h).rect((0, CAPTION_H, w, h)).get()
    p.fill(band, A.vgrad((w, h), [(0, T(theme, "band_top")), (1, T(theme, "band_bottom"))], CAPTION_H, h))
    hline(p, 0, T(theme, "highlight"), 0.06 if theme["dark"] else 1.0)
    hline(p, CAPTION_H - 1, T(theme, "line"))
    hline(p, CAPTION_H, T(theme, "highlight"), 0.03 if theme["dark"] else 0.7)
    hline(p, h - 1, T(theme, "line"))
    return p.im


def side_panel_picture(theme, w, left_edge):
    h = 64
    p = A.Pic(w, h, A.vgrad((w, h), [(0, T(theme, "side_top")), (1, T(theme, "side_bottom"))]))
    if left_edge:
        vline(p, 0, T(theme, "line"))
    else:
        vline(p, w - 1, T(theme, "line"))
    return p.im


def player_panel_picture(theme):
    w, h = 64, PLAYER_H
    p = A.Pic(w, h, A.vgrad((w, h), [(0, T(theme, "panel_top")), (1, T(theme, "panel_bottom"))]))
    hline(p, 0, T(theme, "line"))
    hline(p, 1, T(theme, "highlight"), 0.05 if theme["dark"] else 1.0)
    return p.im


def status_panel_picture(theme):
    w, h = 64, STATUS_H
    p = A.Pic(w, h, A.vgrad((w, h), [(0, T(theme, "status_top")), (1, T(theme, "status_bottom"))]))
    hline(p, 0, T(theme, "line"))
    return p.im


def logo_picture(theme):
    """The program's mark and name for the caption row."""
    w, h = 128, 28
    p = A.Pic(w, h)
    disc = A.Mask(w, h).rrect((2, 2, 26, 26), 7).get()
    p.shadow(disc, theme["shadow"], 1.5, 0, 1, theme["shadow_opacity"])
    p.fill(disc, accent_fill(theme, (w, h)))
    p.fill(A.glyph_mask("note", w, h, (7, 7, 21, 21)), "#FFFFFF")
    p.text((33, 14), "Melodrift", 15, T(theme, "text"), "bold", "lm")
    return p.im


def eq_box_picture(theme):
    """The recessed box the equalizer stands in, with the band names under the sliders."""
    w, h = EQ_BOX_W, EQ_BOX_H
    p = A.Pic(w, h)
    box = A.Mask(w, h).rrect((0, 0, w, h), 10).get()
    p.fill(box, T(theme, "well"), 0.85 if theme["dark"] else 1.0)
    edge = A.mask_sub(box, A.Mask(w, h).rrect((1, 1, w - 1, h - 1), 9).get())
    p.fill(edge, T(theme, "well_edge"))
    inner_hi = A.mask_sub(A.Mask(w, h).rrect((1, 1, w - 1, h - 1), 9).get(),
                          A.Mask(w, h).rrect((1, 2, w - 1, h - 1), 9).get())
    p.fill(inner_hi, "#000000", 0.35 if theme["dark"] else 0.06)
    for i, name in enumerate(EQ_BANDS):
        x = eq_slider_x(i) + EQ_W / 2
        p.text((x, h - 5), name, 8, T(theme, "muted"), "regular", "ms")
    # a divider between the switches and the bands
    vline(p, 44, T(theme, "well_edge"), 1.0, 8, h - 8)
    return p.im


def eq_slider_x(i):
    """Left edge of equalizer slider i inside the equalizer box."""
    return 54 + i * EQ_PITCH + 10


def caption_label(theme, text, w, h=12, align="m"):
    p = A.Pic(w, h)
    x = w / 2 if align == "m" else 2
    p.text((x, h - 2), text, 8, T(theme, "muted"), "bold", align + "s", tracking=1.0)
    return p.im


# ---------------------------------------------------------------------------
# The skin: pictures and the elements that place them
# ---------------------------------------------------------------------------
class Element:
    def __init__(self, name, attrs=None, children=None):
        self.name, self.attrs, self.children = name, list((attrs or {}).items()), children or []

    def get(self, key, default=None):
        for k, v in self.attrs:
            if k.lower() == key.lower():
                return v
        return default

    def xml(self, depth=0):
        pad = "\t" * depth
        attrs = "".join(' %s="%s"' % (k, xml_escape(str(v))) for k, v in self.attrs)
        if not self.children:
            return "%s<%s%s/>\n" % (pad, self.name, attrs)
        inner = "".join(c.xml(depth + 1) for c in self.children)
        return "%s<%s%s>\n%s%s</%s>\n" % (pad, self.name, attrs, inner, pad, self.name)


def xml_escape(s):
    return s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


class Skin:
    def __init__(self, name):
        self.name = name
        self.theme = THEMES[name]
        self.pictures = {}          # file name inside the skin folder -> RGBA picture
        self.masks = {}             # mask file name -> L picture

    def add(self, file, img, mask=False):
        """Keeps a picture; returns the attributes that reference it (Source, SourceAlpha)."""
        if mask and self.theme["alpha_masks"]:
            # the colours as an opaque picture and the opacity as a separate mask
            alpha = img.getchannel("A")
            flat = img.convert("RGB")       # straight (not premultiplied) colours
            base = file[:-4]
            self.pictures[file] = flat
            self.masks[base + "_a.png"] = alpha
            return {"Source": "%s\\%s" % (self.name, file), "SourceAlpha": "%s\\%s_a.png" % (self.name, base)}
        self.pictures[file] = img
        return {"Source": "%s\\%s" % (self.name, file)}

    # -- building ------------------------------------------------------------
    def build(self):
        th = self.theme
        panels = self.panels()
        controls = []

        def ctl(name, owner, attrs, **place):
            a = {"Owner": owner}
            a.update(place)
            a.update(attrs)
            controls.append(Element(name, a))

        # caption row: menus, window buttons
        x = 150
        for element, label in MENUS:
            frames = [menu_button(th, label, s) for s in STATES4]
            src = self.add("menu_%s.png" % label.lower(), strip(frames), mask=True)
            ctl(element, "FramePanelUp", dict(src, States=4, Text=label), X=x, Y=8)
            x += frames[0].width + 2
        for k, (element, glyph) in enumerate((("FRAME_CLOSE", "close"), ("FRAME_ZOOM", "maximise"),
                                              ("FRAME_MINI", "minimise"))):
            src = self.add("frame_%s.png" % glyph, strip([window_button(th, glyph, s) for s in STATES4]), mask=True)
            ctl(element, "FramePanelUp", dict(src, States=4), Right=6 + k * WIN_W, Y=6)

        # player panel: position across the top
        pos = h_slider(th, 48, POS_THUMB, POS_THUMB, POS_THUMB)
        src = self.add("position.png", pos)
        ctl("PLAYER_POSITION", "FramePanelPlayer",
            dict(src, Type="Horizontal", HorzStretch="Yes", FilledTrack="Yes", ThumbWidth=POS_THUMB,
                 ThumbHeight=POS_THUMB, TrackCap=6, DrawAlign="ALIGN_LEFT/TOP"),
            X=16, Right=16, Y=10, Height=POS_THUMB)

        # transport
        row_cy = 70
        x = 16
        transport = [("PLAYER_GOTOPREV", "prev"), ("PLAYER_BACKWARD", "backward"), ("PLAYER_PLAY", "play"),
                     ("PLAYER_PAUSE", "pause"), ("PLAYER_STOP", "stop"), ("PLAYER_FORWARD", "forward"),
                     ("PLAYER_GOTONEXT", "next"), ("PLAYER_RECORD", "record")]
        for element, glyph in transport:
            primary = glyph in ("play", "pause")
            size = BIG if primary else SMALL
            frames = [round_button(th, size, glyph, s, primary=primary, record=(glyph == "record")) for s in STATES4]
            src = self.add("%s.png" % glyph, strip(frames), mask=True)
            ctl(element, "FramePanelPlayer", dict(src, States=4), X=x, Y=row_cy - size // 2)
            if glyph == "play":
                continue        # the pause button takes the same place
            x += size + 4
            if glyph == "next":
                x += 8
        x += 12
        for element, glyph in (("PLAYER_SHUFFLE", "shuffle"), ("PLAYER_REPEAT", "repeat")):
            src = self.add("%s.png" % glyph, strip([toggle_button(th, TOGGLE_W, TOGGLE_H, glyph, s) for s in STATES8]),
                           mask=True)
            ctl(element, "FramePanelPlayer", dict(src, States=8), X=x, Y=row_cy - TOGGLE_H // 2)
            x += TOGGLE_W + 4
        x += 16
        self.level_x = x

        # volume and balance
        if th["knobs"]:
            # the balance knob's ring is lit from the centre
            for element, file, centred in (("PLAYER_VOLUME", "volume.png", False),
                                           ("PLAYER_BALANCE", "balance.png", True)):
                src = self.add(file, knob_strip(th, KNOB, KNOB_FRAMES, centred))
                ctl(element, "FramePanelPlayer", dict(src, Type="Round", Frames=KNOB_FRAMES),
                    X=x, Y=row_cy - KNOB // 2 - 6, Width=KNOB, Height=KNOB)
                x += KNOB + 14
        else:
            # two short sliders one above the other, each under its caption
            for k, (element, file) in enumerate((("PLAYER_VOLUME", "volume.png"), ("PLAYER_BALANCE", "balance.png"))):
                src = self.add(file, h_slider(th, 40, 14, 14, 14))
                ctl(element, "FramePanelPlayer",
                    dict(src, Type="Horizontal", HorzStretch="Yes", FilledTrack="Yes", ThumbWidth=14,
                         ThumbHeight=14, TrackCap=5),
                    X=x, Y=LEVEL_Y[k] + 12, Width=LEVEL_W, Height=14)

        # equalizer box (right-anchored)
        eq_src = self.add("eq_slider.png", v_slider(th, EQ_W, EQ_H, EQ_THUMB_H))
        for i in range(10):
            ctl("EQUA_SLIDER%d" % (i + 1), "FramePanelPlayer",
                dict(eq_src, Type="Vertical", VertStretch="Yes", FilledTrack="Yes", ThumbWidth=EQ_W,
                     ThumbHeight=EQ_THUMB_H, TrackCap=4, DrawAlign="ALIGN_RIGHT/BOTTOM"),
                Right=EQ_BOX_RIGHT + EQ_BOX_W - eq_slider_x(i) - EQ_W, Y=EQ_BOX_Y + 4, Width=EQ_W, Height=EQ_H - 6)
        sw = 30
        src = self.add("eq_turn.png", strip([toggle_button(th, sw, 22, "power", s) for s in STATES8]), mask=True)
        ctl("EQUA_TURN", "FramePanelPlayer", dict(src, States=8), Right=EQ_BOX_RIGHT + EQ_BOX_W - 8 - sw, Y=EQ_BOX_Y + 8)
        src = self.add("eq_preset.png", strip([toggle_button(th, sw, 22, "presets", s) for s in STATES4]), mask=True)
        ctl("EQUA_PRESET", "FramePanelPlayer", dict(src, States=4), Right=EQ_BOX_RIGHT + EQ_BOX_W - 8 - sw, Y=EQ_BOX_Y + 36)
        src = self.add("surround.png", strip([round_button(th, 40, "surround", s) for s in STATES4] +
                                             [round_button(th, 40, "surround", s, primary=True) for s in STATES4]),
                       mask=True)
        ctl("SURR_SHOW", "FramePanelPlayer", dict(src, States=8), Right=SURR_RIGHT, Y=EQ_BOX_Y + EQ_BOX_H // 2 - 20)
        # the surround view is drawn by no control; the element is listed for completeness
        ctl("SURR_VIEW", "FramePanelPlayer", {}, Right=SURR_RIGHT, Y=EQ_BOX_Y, Width=40, Height=40)

        # status line
        ctl("STATUS_BAR", "FramePanelDown",
            {"TextColor": th["status_text"], "LogFont": "Tahoma,12", "Align": "Left"},
            X=14, Right=160, Y=5, Height=16)

        modules = []
        for i, (name, glyph, label) in enumerate(MODULES):
            frames = [module_button(th, glyph, label, s) for s in STATES8]
            # The frame hands a module button its "Source" alone (no mask): its own alpha channel
            src = self.add("module_%s.png" % name.lower(), strip(frames))
            attrs = {"Owner": "FramePanelUp"}
            attrs.update(src)
            attrs["States"] = 8
            attrs.update({"X": MOD_LEFT + i * MOD_PITCH, "Y": MOD_TOP})
            children = [Element("ModuleButton", attrs)]
            if name in TOOLBARS:
                children.append(self.toolbar(name))
            modules.append(Element("Module", {"Name": name}, children))
        modules.append(Element("Module", {"Name": "Playvox"}))

        colours = self.colours()
        root = Element("SKIN_MM", {"Caption": self.name, "Width": MIN_W, "Height": MIN_H}, [
            Element("Colors", children=[Element("Color", {"Name": n, "Value": v}) for n, v in colours]),
            Element("MAINFRAME", children=[
                Element("Panels", children=panels),
                Element("Controls", children=controls),
                Element("Modules", children=modules),
            ]),
        ])
        self.root = root
        return root

    def toolbar(self, module):
        """The module's "Main" toolbar: its buttons in a row from the left, dividers between the groups."""
        th = self.theme
        self.pictures["toolbar.png"] = toolbar_picture(th)
        bar = Element("ModuleToolbar", {"ID": "Main", "Height": TOOLBAR_H, "Background": th["band_bottom"],
                                        "Source": "%s\\toolbar.png" % self.name, "SourceMode": "Stretch"})
        x = 8
        for entry in TOOLBARS[module]:
            if entry is None:
                x += 4
                div = self.add("toolbar_divider.png", toolbar_divider(th), mask=True)
                bar.children.append(Element("Image", dict(div, X=x, Y=(TOOLBAR_H - TOOLBAR_BUTTON_H) // 2 + 4)))
                x += 6 + 6
                continue
            command, glyph, label, tip = entry
            slug = label.lower().replace(" ", "_").replace(".", "") if label else None
            file = "tbl_%s.png" % slug if label else "tb_%s.png" % glyph
            frames = [toolbar_button(th, glyph, label, s) for s in STATES4]
            src = self.add(file, strip(frames), mask=True)
            bar.children.append(Element("Button", dict(src, Command=command, Tip=tip, States=4, X=x)))
            x += frames[0].width + 2
        return bar

    def colours(self):
        th = self.theme
        return [("FrameBackground", th["side_bottom"]), ("FrameText", th["text"]),
                ("MenuBackground", th["menu_bg"]), ("MenuText", th["menu_text"]),
                ("MenuHighlight", th["menu_hl"]), ("MenuHighlightText", th["menu_hl_text"]),
                ("MenuDisabledText", th["menu_disabled"]), ("MenuSeparator", th["menu_sep"]),
                ("DialogBackground", th["dialog_bg"]), ("DialogText", th["dialog_text"]),
                ("TooltipBackground", th["tip_bg"]), ("TooltipText", th["tip_text"]),
                ("MessageBoxBackground", th["box_bg"]), ("MessageBoxText", th["box_text"])]

    def panels(self):
        th = self.theme
        n = self.name

        def nine(file, img, left, top, right, bottom):
            self.pictures[file] = img
            return {"Source": "%s\\%s" % (n, file), "SourceMode": "Frame", "FrameLeft": left, "FrameTop": top,
                    "FrameRight": right, "FrameBottom": bottom}

        up = Element("FramePanelUp", dict({"Height": CAPTION_H, "Background": th["caption_bottom"]},
                                          **nine("panel_top.png", top_panel_picture(th), 2, CAPTION_H + 1, 2, 2)))
        logo = self.add("logo.png", logo_picture(th), mask=True)
        up.children.append(Element("Image", dict(logo, X=14, Y=6)))
        orn = self.add("band_wave.png", band_ornament(th), mask=True)
        up.children.append(Element("Image", dict(orn, Right=16, Y=CAPTION_H + (TOP_BAND - 64) // 2)))
        down = Element("FramePanelDown", dict({"Height": STATUS_H, "Background": th["status_bottom"]},
                                              **nine("panel_status.png", status_panel_picture(th), 2, 2, 2, 2)))
        down.children.append(Element("Label", {"Text": "Melodrift 4.0", "TextColor": th["faint"],
                                               "LogFont": "Tahoma,11", "Align": "Right",
                                               "Right": 14, "Y": 6, "Width": 140, "Height": 14}))
        left = Element("FramePanelLeft", dict({"Width": LEFT_W, "Background": th["side_bottom"]},
                                              **nine("panel_left.png", side_panel_picture(th, LEFT_W, False),
                                                     2, 2, 2, 2)))
        right = Element("FramePanelRight", dict({"Width": RIGHT_W, "Background": th["side_bottom"]},
                                                **nine("panel_right.png", side_panel_picture(th, RIGHT_W, True),
                                                       2, 2, 2, 2)))
        player = Element("FramePanelPlayer", dict({"Height": PLAYER_H, "Background": th["panel_bottom"]},
                                                  **nine("panel_player.png", player_panel_picture(th), 2, 3, 2, 2)))
        eq = self.add("eq_box.png", eq_box_picture(th), mask=True)
        player.children.append(Element("Image", dict(eq, Right=EQ_BOX_RIGHT, Y=EQ_BOX_Y)))
        return [up, down, left, right, player]

    def add_level_labels(self):
        """Captions under the volume and balance controls (placed once the row is known)."""
        th = self.theme
        player = self.root.children[1].children[0].children[4]
        x = self.level_x
        if th["knobs"]:
            for label in ("VOLUME", "BALANCE"):
                src = self.add("label_%s.png" % label.lower(), caption_label(th, label, KNOB + 14), mask=True)
                player.children.append(Element("Image", dict(src, X=x - 7, Y=86)))
                x += KNOB + 14
        else:
            for k, label in enumerate(("VOLUME", "BALANCE")):
                src = self.add("label_%s.png" % label.lower(), caption_label(th, label, LEVEL_W, align="l"),
                               mask=True)
                player.children.append(Element("Image", dict(src, X=x, Y=LEVEL_Y[k])))

    # -- output ----------------------------------------------------------------
    def files(self):
        names = ["%s-%s.xml" % (self.name, lang) for lang in LANGUAGES]
        names += ["%s/%s" % (self.name, f) for f in sorted(self.pictures)]
        names += ["%s/%s" % (self.name, f) for f in sorted(self.masks)]
        return names

    def write(self, out):
        folder = os.path.join(out, self.name)
        os.makedirs(folder, exist_ok=True)
        # the skin's folder is this script's: pictures of an older version go
        keep = set(self.pictures) | set(self.masks)
        for f in os.listdir(folder):
            if f not in keep and f.lower().endswith(".png") and os.path.isfile(os.path.join(folder, f)):
                os.remove(os.path.join(folder, f))
        for f, img in sorted(self.pictures.items()):
            save_png(img, os.path.join(folder, f))
        for f, img in sorted(self.masks.items()):
            save_png(img, os.path.join(folder, f))
        text = ('<?xml version="1.0" encoding="UTF-8"?>\n'
                "<!-- The %s skin of Melodrift, drawn by skins/art/make_skins.py: edit the script, "
                "not this file. -->\n" % self.name) + self.root.xml()
        for lang in LANGUAGES:
            with open(os.path.join(out, "%s-%s.xml" % (self.name, lang)), "w", encoding="utf-8", newline="\r\n") as f:
                f.write(text)


def save_png(img, path):
    """PNG without time stamps or other varying chunks, so runs give equal files."""
    img.save(path, "PNG", optimize=False, compress_level=9)


def build_all():
    skins = []
    for name in THEMES:
        s = Skin(name)
        s.build()
        s.add_level_labels()
        skins.append(s)
    return skins


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", help="folder for the skin files and their picture folders")
    ap.add_argument("--preview", help="folder for the frame mock-ups")
    ap.add_argument("--list", action="store_true", help="print the files written below --out")
    args = ap.parse_args(argv)
    skins = build_all()
    if args.list:
        for s in skins:
            for f in s.files():
                print(f)
        return 0
    if not args.out:
        ap.error("--out or --list is needed")
    for s in skins:
        s.write(args.out)
    if args.preview:
        import skin_preview
        os.makedirs(args.preview, exist_ok=True)
        for s in skins:
            for lang in LANGUAGES:
                xml = os.path.join(args.out, "%s-%s.xml" % (s.name, lang))
                skin_preview.render_variants(xml, args.out, args.preview, s.name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
