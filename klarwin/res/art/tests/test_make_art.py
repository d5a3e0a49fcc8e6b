"""Checks of the artwork that make_art.py writes: sizes and formats the windows rely on,
colour keys without bleeding, readable program text on every background, seamless
placement of the status images, the icon sizes and the animation."""
import io
import os
import random
import re
import struct
import subprocess
import sys
import tempfile
import unittest

from PIL import Image, ImageSequence

HERE = os.path.dirname(os.path.abspath(__file__))
ART = os.path.dirname(HERE)
SCRIPT = os.path.join(ART, "make_art.py")
sys.path.insert(0, ART)
import make_art  # noqa: E402

# Sizes the windows are laid out for (bitmap resource id: width, height).
EXPECTED_SIZES = {
    149: (770, 571), 154: (24, 24), 155: (24, 24), 156: (24, 24), 157: (24, 24),
    197: (26, 13), 200: (528, 461), 201: (450, 393), 202: (81, 21), 203: (121, 21),
    204: (80, 31), 211: (570, 498), 237: (113, 31), 238: (113, 31), 240: (113, 31),
    241: (113, 31), 242: (100, 21), 247: (528, 461), 248: (16, 16), 265: (213, 61),
    **{i: (181, 50) for i in range(187, 197)},
    **{i: (145, 33) for i in range(252, 257)},
    **{i: (210, 75) for i in (257, 259, 260, 261, 262, 267)},
}
# Buttons drawn with a colour key, and the key each one uses.
CLOSE_KEY, KEY = (255, 10, 0), (255, 0, 0)
KEYED = {154: CLOSE_KEY, 155: CLOSE_KEY, 156: KEY, 157: KEY, 202: KEY, 203: KEY, 204: KEY,
         237: KEY, 238: KEY, 240: KEY, 241: KEY, 242: KEY, **{i: KEY for i in range(187, 197)}}
# Where a button sits on the main window (so its edges must blend with what is there).
ON_MAIN = {154: (735, 9), 155: (735, 9), 156: (708, 9), 157: (708, 9), 204: (488, 51),
           237: (589, 476), 238: (589, 476), 240: (469, 476), 241: (469, 476),
           187: (32, 92), 196: (32, 92), 188: (32, 152), 189: (32, 152), 192: (32, 212),
           193: (32, 212), 194: (32, 272), 195: (32, 272), 190: (30, 334), 191: (30, 334)}
# Opaque images shown as bitmap statics on the main window.
STATICS_ON_MAIN = {257: (480, 380), 259: (480, 380), 260: (480, 380), 261: (480, 380),
                   262: (480, 380), 267: (480, 380), 265: (244, 452)}


def distance(a, b):
    return sum((x - y) ** 2 for x, y in zip(a, b)) ** 0.5


class ArtOutput(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.out = cls.tmp.name
        subprocess.run([sys.executable, SCRIPT, "--out", cls.out], check=True)
        cls.files = {}
        with open(os.path.join(cls.out, "art.rc.inc")) as f:
            cls.rc = f.read()
        for m in re.finditer(r'^(\d+) (BITMAP|ICON) "([^"]+)"', cls.rc, re.M):
            cls.files[int(m.group(1))] = os.path.join(cls.out, m.group(3))
        cls.images = {i: Image.open(p).convert("RGB") for i, p in cls.files.items() if p.endswith(".bmp")}

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_rc_fragment_names_every_bitmap_and_the_icon_once(self):
        ids = [int(m.group(1)) for m in re.finditer(r"^(\d+) (?:BITMAP|ICON) ", self.rc, re.M)]
        self.assertEqual(len(ids), len(set(ids)))
        self.assertTrue(set(EXPECTED_SIZES) <= set(ids))
        self.assertIn(227, ids)
        self.assertRegex(self.rc, r'(?m)^227 ICON "klarwin\.ico"')
        for path in self.files.values():
            self.assertTrue(os.path.isfile(path), path)

    def test_list_names_exactly_the_files_written(self):
        listed = subprocess.run([sys.executable, SCRIPT, "--list"], check=True, capture_output=True,
                                text=True).stdout.strip().split(";")
        self.assertEqual(sorted(listed), sorted(os.listdir(self.out)))

    def test_bitmaps_are_uncompressed_24_bit_of_the_layout_size(self):
        for asset_id, size in EXPECTED_SIZES.items():
            with self.subTest(id=asset_id):
                with open(self.files[asset_id], "rb") as f:
                    head = f.read(54)
                self.assertEqual(head[:2], b"BM")
                width, height, planes, bits, compression = struct.unpack("<iiHHI", head[18:34])
                self.assertEqual((width, abs(height)), size)
                self.assertEqual((planes, bits, compression), (1, 24, 0))

    def test_keyed_buttons_show_the_key_only_outside_their_shape(self):
        for asset_id, key in KEYED.items():
            with self.subTest(id=asset_id):
                img = self.images[asset_id]
                w, h = img.size
                pixels = list(img.getdata())
                for corner in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
                    self.assertEqual(img.getpixel(corner), key, corner)
                # Nothing visible is a near miss of the key: such pixels come from
                # smoothing an edge against the key instead of the real background.
                near = [p for p in pixels if p != key and distance(p, key) < 60]
                self.assertEqual(len(near), 0, near[:5])
                share = pixels.count(key) / len(pixels)
                self.assertLess(share, 0.97 if asset_id in (154, 156) else 0.3)

    def test_button_edges_blend_into_what_lies_under_them(self):
        # A pixel beside the key is part of an edge; smoothed against the right
        # background it stays within the colours of the button near it and of
        # what the window shows under it.
        main = self.images[149]
        body = make_art.T("body")
        for asset_id, key in KEYED.items():
            with self.subTest(id=asset_id):
                img = self.images[asset_id]
                w, h = img.size
                ox, oy = ON_MAIN.get(asset_id, (None, None))
                px = img.load()

                def is_key(x, y):
                    return 0 <= x < w and 0 <= y < h and px[x, y] == key

                def edge(x, y):
                    return any(is_key(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))

                # Colours the button has on its straight sides (an outline drawn there) and,
                # for a bare glyph, the glyph's own colour.
                sides = [px[w // 2, y] for y in (0, h - 1)] + [px[x, h // 2] for x in (0, w - 1)]
                visible = [p for p in img.getdata() if p != key]
                if len(visible) < 0.2 * w * h:
                    sides.append(max(set(visible), key=visible.count))
                sides = [p for p in sides if p != key]
                checked = 0
                for y in range(h):
                    for x in range(w):
                        if is_key(x, y) or not edge(x, y):
                            continue
                        under = main.getpixel((ox + x, oy + y)) if ox is not None else body
                        near = [px[x + dx, y + dy] for dx in range(-2, 3) for dy in range(-2, 3)
                                if 0 <= x + dx < w and 0 <= y + dy < h
                                and not is_key(x + dx, y + dy) and not edge(x + dx, y + dy)]
                        refs = near + sides + [under]
                        for ch in range(3):
                            lo = min(r[ch] for r in refs) - 24
                            hi = max(r[ch] for r in refs) + 24
                            self.assertTrue(lo <= px[x, y][ch] <= hi, (x, y, px[x, y], under))
                        checked += 1
                self.assertGreater(checked, 0)

    def test_visible_pixels_do_not_depend_on_the_key(self):
        # Drawn with other key colours, every button must look the same wherever
        # it is not transparent: no edge was smoothed against the key.
        saved = make_art.KEY, make_art.CLOSE_KEY
        try:
            make_art.KEY, make_art.CLOSE_KEY = (0, 0, 255), (0, 255, 0)
            other = make_art.build_bitmaps()
        finally:
            make_art.KEY, make_art.CLOSE_KEY = saved
        for asset_id, key in KEYED.items():
            with self.subTest(id=asset_id):
                other_key = (0, 255, 0) if key == CLOSE_KEY else (0, 0, 255)
                a, b = self.images[asset_id].getdata(), other[asset_id].getdata()
                moved = sum((p == key) != (q == other_key) for p, q in zip(a, b))
                changed = sum(p != q for p, q in zip(a, b) if p != key)
                self.assertEqual((moved, changed), (0, 0))

    def test_program_text_stays_readable_where_it_is_drawn(self):
        for asset_id, x, y, w, h, colour, points, bold, sample, minimum in make_art.TEXT_ZONES:
            with self.subTest(id=asset_id, text=sample):
                region = list(self.images[asset_id].crop((x, y, x + w, y + h)).getdata())
                ratios = sorted(make_art.contrast(colour, p) for p in region)
                self.assertGreaterEqual(ratios[len(ratios) // 20], minimum)
                # The background there is plain: no artwork text or edges under the program's text.
                median = sorted(region, key=make_art.luminance)[len(region) // 2]
                plain = sum(1 for p in region if distance(p, median) < 30) / len(region)
                self.assertGreater(plain, 0.95)

    def test_button_captions_stay_readable(self):
        for asset_id, colour, points, sample, minimum in make_art.CAPTIONS:
            with self.subTest(id=asset_id):
                img = self.images[asset_id]
                w, h = img.size
                inside = list(img.crop((4, 4, w - 4, h - 4)).getdata())
                ratios = sorted(make_art.contrast(colour, p) for p in inside)
                self.assertGreaterEqual(ratios[len(ratios) // 20], minimum)

    def test_status_images_join_the_main_window_without_seams(self):
        main = self.images[149]
        for asset_id, (ox, oy) in STATICS_ON_MAIN.items():
            with self.subTest(id=asset_id):
                img = self.images[asset_id]
                w, h = img.size
                border = [(x, 0) for x in range(w)] + [(x, h - 1) for x in range(w)] + \
                         [(0, y) for y in range(h)] + [(w - 1, y) for y in range(h)]
                worst = max(distance(img.getpixel(p), main.getpixel((ox + p[0], oy + p[1]))) for p in border)
                self.assertLess(worst, 4)

    def test_status_images_differ_for_each_level(self):
        levels = [self.images[i].tobytes() for i in (257, 267, 259, 260, 261, 262)]
        self.assertEqual(len(set(levels)), 6)
        bars = [self.images[i].tobytes() for i in range(252, 257)]
        self.assertEqual(len(set(bars)), 5)

    def test_check_cells_show_selected_left_and_cleared_right(self):
        cells = self.images[197]
        accent = make_art.T("accent")
        left = list(cells.crop((0, 0, 13, 13)).getdata())
        right = list(cells.crop((13, 0, 26, 13)).getdata())
        self.assertGreater(sum(distance(p, accent) < 40 for p in left), 60)
        self.assertLess(sum(distance(p, accent) < 40 for p in right), 5)
        self.assertGreater(sum(p == (255, 255, 255) for p in left), 5)   # the tick
        self.assertEqual(cells.getpixel((19, 6)), (255, 255, 255))        # empty box

    def test_icon_holds_every_standard_size_with_transparent_corners(self):
        with open(self.files[227], "rb") as f:
            data = f.read()
        reserved, kind, count = struct.unpack("<HHH", data[:6])
        self.assertEqual((reserved, kind), (0, 1))
        sizes = []
        for i in range(count):
            w, h, colours, _, planes, bits, length, offset = struct.unpack("<BBBBHHII", data[6 + 16 * i:22 + 16 * i])
            sizes.append(w or 256)
            self.assertEqual((planes, bits), (1, 32))
            self.assertLessEqual(offset + length, len(data))
            blob = data[offset:offset + length]
            if w == 0:
                self.assertEqual(blob[:8], b"\x89PNG\r\n\x1a\n")
            else:
                self.assertEqual(struct.unpack("<Iii", blob[:12]), (40, w, 2 * h))
        self.assertEqual(sorted(sizes), [16, 24, 32, 48, 256])
        ico = Image.open(self.files[227])
        for size in (16, 24, 32, 48, 256):
            with self.subTest(size=size):
                ico.size = (size, size)
                img = ico.copy().convert("RGBA")
                self.assertEqual(img.size, (size, size))
                self.assertEqual(img.getpixel((0, 0))[3], 0)
                self.assertEqual(img.getpixel((size // 2, size // 2))[3], 255)
                # Half-transparent edge pixels keep the colour of the shape they
                # belong to rather than fading to black (no dark fringe on light desktops).
                px = img.load()
                for y in range(size):
                    for x in range(size):
                        if 0 < px[x, y][3] < 255:
                            solid = [px[x + dx, y + dy][:3] for dx in (-1, 0, 1) for dy in (-1, 0, 1)
                                     if 0 <= x + dx < size and 0 <= y + dy < size and px[x + dx, y + dy][3] == 255]
                            if solid:
                                self.assertLess(min(distance(px[x, y][:3], q) for q in solid), 90, (x, y))

    def test_loading_animation_loops_whole_frames_on_the_dialog_colour(self):
        path = os.path.join(self.out, "Loading.gif")
        gif = Image.open(path)
        self.assertEqual(gif.size, (21, 21))
        self.assertEqual(gif.info.get("loop"), 0)
        frames = []
        for frame in ImageSequence.Iterator(gif):
            self.assertEqual(frame.tile[0][1], (0, 0, 21, 21))            # every frame is whole
            self.assertTrue(20 <= frame.info["duration"] <= 200)
            frames.append(frame.convert("RGB").tobytes())
        self.assertGreaterEqual(len(frames), 8)
        self.assertEqual(len(set(frames)), len(frames))
        first = Image.open(path).convert("RGB")
        self.assertEqual(first.getpixel((0, 0)), self.images[200].getpixel((25, 225)))

    def test_output_is_the_same_on_every_run(self):
        with tempfile.TemporaryDirectory() as again:
            subprocess.run([sys.executable, SCRIPT, "--out", again, "--no-preview"], check=True)
            for name in os.listdir(again):
                with open(os.path.join(again, name), "rb") as a, open(os.path.join(self.out, name), "rb") as b:
                    self.assertEqual(a.read(), b.read(), name)


class GifEncoder(unittest.TestCase):
    def round_trip(self, frames):
        gif = Image.open(io.BytesIO(make_art.gif_bytes(frames, 5)))
        decoded = [f.convert("RGB").tobytes() for f in ImageSequence.Iterator(gif)]
        self.assertEqual(decoded, [f.tobytes() for f in frames])

    def test_noise_with_every_colour_fills_and_resets_the_code_table(self):
        rnd = random.Random(7)
        colours = [(i, 255 - i, (i * 37) % 256) for i in range(256)]
        frames = []
        for _ in range(2):
            img = Image.new("RGB", (120, 90))
            img.putdata([rnd.choice(colours) for _ in range(120 * 90)])
            frames.append(img)
        self.round_trip(frames)

    def test_long_runs_and_few_colours(self):
        img = Image.new("RGB", (300, 40), (10, 20, 30))
        img.paste((200, 100, 0), (0, 0, 150, 20))
        one = Image.new("RGB", (1, 1), (5, 5, 5))
        self.round_trip([img, img.transpose(Image.FLIP_LEFT_RIGHT)])
        self.round_trip([one])


if __name__ == "__main__":
    unittest.main()
