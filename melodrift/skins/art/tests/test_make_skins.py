"""Checks of the skins make_skins.py writes: every control and panel of the frame is in
each skin, every picture a skin names exists and is cut the way the skin format reads
it, masks match their pictures, the controls fit their panels at the skin's minimum
size without covering each other, texts stay readable, and runs are reproducible."""
import filecmp
import os
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
ART = os.path.dirname(HERE)
SCRIPT = os.path.join(ART, "make_skins.py")
sys.path.insert(0, ART)
import skinart  # noqa: E402
import skin_preview  # noqa: E402

# The frame's control table: every name a full skin must hold.
CONTROL_NAMES = (["PLAYER_GOTOPREV", "PLAYER_BACKWARD", "PLAYER_PLAY", "PLAYER_PAUSE", "PLAYER_STOP",
                  "PLAYER_FORWARD", "PLAYER_GOTONEXT", "PLAYER_RECORD", "PLAYER_SHUFFLE", "PLAYER_REPEAT",
                  "PLAYER_POSITION", "PLAYER_VOLUME", "PLAYER_BALANCE"] +
                 ["EQUA_SLIDER%d" % i for i in range(1, 11)] +
                 ["SURR_SHOW", "SURR_VIEW", "EQUA_TURN", "EQUA_PRESET", "STATUS_BAR",
                  "MENU_FILE", "MENU_EDIT", "MENU_VIEW", "MENU_PLAY", "MENU_MORPH", "MENU_WINDOW", "MENU_HELP",
                  "FRAME_MINI", "FRAME_ZOOM", "FRAME_CLOSE"])
TWO_STATE = {"PLAYER_SHUFFLE", "PLAYER_REPEAT", "SURR_SHOW", "EQUA_TURN"}
SLIDERS = {"PLAYER_POSITION", "PLAYER_VOLUME", "PLAYER_BALANCE"} | {"EQUA_SLIDER%d" % i for i in range(1, 11)}
PANELS = skin_preview.PANELS
MODULES = ["Vocalith", "Tunestack", "Sonicut", "Transcodia", "Discwright", "Discreel", "Sleevewright", "Jestroom"]
SKINS = ["Midnight", "Daylight"]
# The commands each module answers on its toolbar ("ModuleToolbar" ID="Main").
TOOLBAR_COMMANDS = {"Vocalith": {43001, 43002, 43003, 13000, 13010, 13015, 13020, 13030},
                    "Tunestack": set(range(41001, 41009)),
                    "Sonicut": {42010, 42011, 42012, 42013}}


class SkinOutput(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.out = os.path.join(cls.tmp.name, "Skins")
        subprocess.run([sys.executable, SCRIPT, "--out", cls.out], check=True)
        cls.roots = {s: ET.parse(os.path.join(cls.out, "%s-eng.xml" % s)).getroot() for s in SKINS}

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    # -- helpers ----------------------------------------------------------------
    def main(self, skin):
        return skin_preview.child(self.roots[skin], "MAINFRAME")

    def controls(self, skin):
        return list(skin_preview.child(self.main(skin), "Controls"))

    def picture(self, rel):
        path = os.path.join(self.out, *rel.split("\\"))
        self.assertTrue(os.path.isfile(path), rel)
        return Image.open(path)

    def elements_with_pictures(self, skin):
        main = self.main(skin)
        for el in main.iter():
            if skin_preview.attr(el, "Source"):
                yield el

    # -- the files --------------------------------------------------------------
    def test_list_names_exactly_the_files_written(self):
        listed = subprocess.run([sys.executable, SCRIPT, "--list"], check=True, capture_output=True,
                                text=True).stdout.split()
        written = []
        for base, _, files in os.walk(self.out):
            written += [os.path.relpath(os.path.join(base, f), self.out).replace(os.sep, "/") for f in files]
        self.assertEqual(sorted(listed), sorted(written))

    def test_a_second_run_writes_the_same_bytes(self):
        with tempfile.TemporaryDirectory() as again:
            subprocess.run([sys.executable, SCRIPT, "--out", again], check=True)
            cmp = filecmp.dircmp(self.out, again)
            stack = [cmp]
            while stack:
                c = stack.pop()
                self.assertEqual(c.left_only + c.right_only, [], c.left)
                _, mismatch, errors = filecmp.cmpfiles(c.left, c.right, c.common_files, shallow=False)
                self.assertEqual(mismatch + errors, [], c.left)
                stack.extend(c.subdirs.values())

    def test_skin_files_are_found_by_the_program(self):
        # The frame lists "<anything>eng.xml" files whose root is SKIN_MM with a caption.
        for skin in SKINS:
            root = self.roots[skin]
            self.assertEqual(root.tag, "SKIN_MM")
            self.assertEqual(root.get("Caption"), skin)
            self.assertGreater(int(root.get("Width")), 0)
            self.assertGreater(int(root.get("Height")), 0)
        with open(os.path.join(self.out, "Midnight-eng.xml"), "rb") as f:
            head = f.read(64)
        self.assertTrue(head.startswith(b'<?xml version="1.0" encoding="UTF-8"?>\r\n'))

    # -- completeness -----------------------------------------------------------
    def test_every_control_of_the_table_and_every_panel_is_present(self):
        for skin in SKINS:
            names = [el.tag for el in self.controls(skin)]
            for n in CONTROL_NAMES:
                self.assertEqual(names.count(n), 1, "%s: %s" % (skin, n))
            panels = skin_preview.child(self.main(skin), "Panels")
            for p in PANELS:
                el = skin_preview.child(panels, p)
                self.assertIsNotNone(el, "%s: %s" % (skin, p))
                self.assertTrue(skin_preview.attr(el, "Source"), "%s: %s has no picture" % (skin, p))
            for el in self.controls(skin):
                owner = skin_preview.attr(el, "Owner")
                self.assertIn(owner, PANELS, "%s: %s" % (skin, el.tag))
                if el.tag in SLIDERS:
                    self.assertIn(skin_preview.attr(el, "Type"), ("Horizontal", "Vertical", "Round"))
                if el.tag not in ("STATUS_BAR", "SURR_VIEW"):
                    self.assertTrue(skin_preview.attr(el, "Source"), "%s: %s" % (skin, el.tag))

    def test_every_module_has_a_button_and_playvox_none(self):
        for skin in SKINS:
            modules = list(skin_preview.child(self.main(skin), "Modules"))
            self.assertEqual([m.get("Name") for m in modules], MODULES + ["Playvox"])
            for m in modules[:-1]:
                b = skin_preview.child(m, "ModuleButton")
                self.assertIsNotNone(b, m.get("Name"))
                self.assertIn(skin_preview.attr(b, "Owner"), PANELS)
                # the frame opens a module button's "Source" only, so its transparency
                # must come with the picture itself
                self.assertIsNone(skin_preview.attr(b, "SourceAlpha"))
                self.assertEqual(self.picture(b.get("Source")).mode, "RGBA")
            self.assertEqual(len(list(modules[-1])), 0)

    # -- pictures ---------------------------------------------------------------
    def test_pictures_are_cut_as_the_format_reads_them(self):
        for skin in SKINS:
            for el in self.elements_with_pictures(skin):
                rel = skin_preview.attr(el, "Source")
                self.assertTrue(rel.startswith(skin + "\\"), rel)
                img = self.picture(rel)
                w, h = img.size
                self.assertTrue(4 <= w <= 4096 and 4 <= h <= 1024, "%s %dx%d" % (rel, w, h))
                kind = skin_preview.attr(el, "Type")
                if kind == "Round":
                    frames = int(skin_preview.attr(el, "Frames"))
                    self.assertEqual(w, frames * h, rel)
                elif kind in ("Horizontal", "Vertical"):
                    tw, th = int(el.get("ThumbWidth")), int(el.get("ThumbHeight"))
                    tracks = 2 if el.get("FilledTrack") == "Yes" else 1
                    rest = w - 3 * tw
                    self.assertTrue(rest > 0 and rest % tracks == 0, rel)
                    self.assertLessEqual(th, h, rel)
                    cap = int(el.get("TrackCap"))
                    length = rest // tracks if kind == "Horizontal" else h
                    self.assertLess(2 * cap, length, rel)
                elif el.tag in CONTROL_NAMES or el.tag in ("ModuleButton", "Button"):
                    states = int(el.get("States"))
                    expected = 8 if (el.tag in TWO_STATE or el.tag == "ModuleButton") else 4
                    self.assertEqual(states, expected, rel)
                    self.assertEqual(w % states, 0, rel)

    def test_masks_match_their_pictures(self):
        seen = 0
        for skin in SKINS:
            for el in self.elements_with_pictures(skin):
                mask = skin_preview.attr(el, "SourceAlpha")
                if not mask:
                    continue
                seen += 1
                pic, m = self.picture(skin_preview.attr(el, "Source")), self.picture(mask)
                self.assertEqual(pic.size, m.size, mask)
                self.assertEqual(m.mode, "L", mask)
                self.assertEqual(pic.mode, "RGB", mask)
                lo, hi = m.getextrema()
                self.assertEqual(lo, 0, mask)                # transparent surroundings ...
                if el.get("States"):
                    self.assertGreaterEqual(hi, 240, mask)   # ... and an opaque button
        self.assertGreater(seen, 20)      # Daylight takes the mask route

    def toolbars(self, skin):
        for m in skin_preview.child(self.main(skin), "Modules"):
            for t in m:
                if t.tag == "ModuleToolbar":
                    yield m.get("Name"), t

    def test_the_modules_have_their_toolbars(self):
        for skin in SKINS:
            bars = list(self.toolbars(skin))
            self.assertEqual(sorted(n for n, _ in bars), sorted(TOOLBAR_COMMANDS), skin)
            # the narrowest module window: the frame at its minimum size between the side panels
            root = self.roots[skin]
            narrowest = int(root.get("Width")) - 16
            for name, bar in bars:
                self.assertEqual(bar.get("ID"), "Main")
                height = int(bar.get("Height"))
                self.assertTrue(self.picture(bar.get("Source")))
                buttons = [b for b in bar if b.tag == "Button"]
                commands = [int(b.get("Command")) for b in buttons]
                self.assertEqual(len(commands), len(set(commands)), name)
                self.assertTrue(set(commands) <= TOOLBAR_COMMANDS[name], "%s %s" % (skin, name))
                rects = []
                for b in buttons:
                    self.assertTrue(b.get("Tip"), "%s %s %s" % (skin, name, b.get("Command")))
                    img = self.picture(b.get("Source"))
                    w, h = img.width // int(b.get("States")), img.height
                    self.assertLessEqual(h + 4, height, b.get("Source"))
                    rects.append((int(b.get("X")), int(b.get("X")) + w))
                for (a0, a1), (b0, b1) in zip(rects, rects[1:]):
                    self.assertLessEqual(a1, b0, "%s %s: buttons overlap" % (skin, name))
                self.assertLessEqual(rects[-1][1] + 8, narrowest, "%s %s: too wide" % (skin, name))

    def test_button_states_differ_where_the_user_must_see_a_change(self):
        for skin in SKINS:
            elements = self.controls(skin) + [b for _, t in self.toolbars(skin) for b in t if b.tag == "Button"]
            for el in elements:
                if el.tag in SLIDERS or not el.get("States"):
                    continue
                img = self.picture(el.get("Source")).convert("RGBA")
                if el.get("SourceAlpha"):
                    img.putalpha(self.picture(el.get("SourceAlpha")))
                n = int(el.get("States"))
                fw = img.width // n
                frames = [img.crop((i * fw, 0, (i + 1) * fw, img.height)).tobytes() for i in range(n)]
                self.assertNotEqual(frames[0], frames[1], "%s %s: hover" % (skin, el.tag))
                self.assertNotEqual(frames[0], frames[3], "%s %s: disabled" % (skin, el.tag))
                if n == 8:
                    self.assertNotEqual(frames[0], frames[4], "%s %s: checked" % (skin, el.tag))

    # -- layout -----------------------------------------------------------------
    def control_rects(self, skin, width, height):
        root = self.roots[skin]
        rects = skin_preview.frame_layout(root, width, height, True)
        out = []
        main = self.main(skin)
        items = [(el.tag, el) for el in self.controls(skin) if el.tag != "SURR_VIEW"]
        items += [("module " + m.get("Name"), skin_preview.child(m, "ModuleButton"))
                  for m in skin_preview.child(main, "Modules") if len(list(m))]
        for name, el in items:
            owner = skin_preview.attr(el, "Owner")
            px0, py0, px1, py1 = rects[owner]
            size = None
            if skin_preview.attr(el, "Source"):
                img = self.picture(skin_preview.attr(el, "Source"))
                if el.get("States"):
                    size = (img.width // int(el.get("States")), img.height)
                else:
                    size = (img.height, img.height)
            x, y, w, h = skin_preview.place(el, px1 - px0, py1 - py0, size)
            out.append((name, owner, (x, y, x + w, y + h), (px1 - px0, py1 - py0)))
        return out

    def test_controls_fit_their_panels_at_the_minimum_size_and_do_not_overlap(self):
        for skin in SKINS:
            root = self.roots[skin]
            for width, height in ((int(root.get("Width")), int(root.get("Height"))), (1600, 1000)):
                placed = self.control_rects(skin, width, height)
                for name, owner, (x0, y0, x1, y1), (pw, ph) in placed:
                    self.assertTrue(0 <= x0 < x1 <= pw and 0 <= y0 < y1 <= ph,
                                    "%s %s at %dx%d: %s in %s" % (skin, name, width, height, (x0, y0, x1, y1), (pw, ph)))
                for i, (n1, o1, r1, _) in enumerate(placed):
                    for n2, o2, r2, _ in placed[i + 1:]:
                        if o1 != o2 or {n1, n2} == {"PLAYER_PLAY", "PLAYER_PAUSE"}:
                            continue
                        overlap = r1[0] < r2[2] and r2[0] < r1[2] and r1[1] < r2[3] and r2[1] < r1[3]
                        self.assertFalse(overlap, "%s: %s and %s overlap at %dx%d" % (skin, n1, n2, width, height))

    def test_play_and_pause_share_one_place(self):
        # The frame shows one of them at a time when both stand at the same position.
        for skin in SKINS:
            els = {el.tag: el for el in self.controls(skin)}
            for key in ("X", "Y"):
                self.assertEqual(els["PLAYER_PLAY"].get(key), els["PLAYER_PAUSE"].get(key))

    # -- colours ----------------------------------------------------------------
    def test_texts_the_controls_draw_are_readable(self):
        for skin in SKINS:
            root = self.roots[skin]
            colours = {c.get("Name"): c.get("Value") for c in skin_preview.child(root, "Colors")}
            pairs = [("MenuText", "MenuBackground", 7), ("MenuHighlightText", "MenuHighlight", 4.5),
                     ("DialogText", "DialogBackground", 7), ("TooltipText", "TooltipBackground", 7),
                     ("MessageBoxText", "MessageBoxBackground", 7), ("FrameText", "FrameBackground", 7)]
            for fg, bg, minimum in pairs:
                self.assertGreaterEqual(skinart.contrast(colours[fg], colours[bg]), minimum, "%s %s" % (skin, fg))
            # the status text over the bottom panel's picture
            status = next(el for el in self.controls(skin) if el.tag == "STATUS_BAR")
            panel = skin_preview.child(skin_preview.child(self.main(skin), "Panels"), "FramePanelDown")
            pic = self.picture(panel.get("Source")).convert("RGB")
            for y in range(pic.height):
                self.assertGreaterEqual(skinart.contrast(status.get("TextColor"), pic.getpixel((pic.width // 2, y))),
                                        4.5, skin)


class DrawnLabels(unittest.TestCase):
    """Texts drawn into the pictures: readable on the panel they stand on."""

    def test_labels_drawn_on_the_panels_are_readable(self):
        import make_skins
        for name, th in make_skins.THEMES.items():
            cases = [("text", "caption_top", 7.0), ("text", "caption_bottom", 7.0),     # menus, logo
                     ("muted", "band_top", 4.5), ("muted", "band_bottom", 4.5),         # module names
                     ("muted", "panel_top", 4.5), ("muted", "panel_bottom", 4.5),       # captions, bands
                     ("glyph", "face_top", 7.0), ("glyph", "face_bottom", 7.0),         # button glyphs
                     ("text", "band_top", 7.0), ("text", "band_bottom", 7.0),           # toolbar labels
                     ("glyph", "hover_top", 7.0), ("glyph_hover", "hover_bottom", 7.0)]  # ... under the pointer
            for fg, bg, minimum in cases:
                self.assertGreaterEqual(skinart.contrast(th[fg], th[bg]), minimum, "%s: %s on %s" % (name, fg, bg))
            # the active module's name, white on the accent gradient
            for end in ("accent_a", "accent_b"):
                self.assertGreaterEqual(skinart.contrast("#FFFFFF", th[end]), 3.0, "%s: %s" % (name, end))


class Preview(unittest.TestCase):
    def test_mockups_are_drawn_for_each_skin(self):
        with tempfile.TemporaryDirectory() as tmp:
            out, prev = os.path.join(tmp, "Skins"), os.path.join(tmp, "preview")
            subprocess.run([sys.executable, SCRIPT, "--out", out, "--preview", prev], check=True)
            for skin in SKINS:
                img = Image.open(os.path.join(prev, "%s-frame.png" % skin))
                self.assertEqual(img.size, (900, 700))
                # the module area keeps its own colour; the panels around it are drawn
                self.assertNotEqual(img.getpixel((450, 5)), img.getpixel((450, 350)))


if __name__ == "__main__":
    unittest.main()
