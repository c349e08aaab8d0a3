#!/usr/bin/env python3
"""Test pictures for the slideshow, and checks of its screenshots.

  check.py solid PATH W H R,G,B          one colour
  check.py grid PATH W H left|right      4x4 blocks, a different set of colours per eye
  check.py sbs PATH W H                  one side-by-side file: left grid | right grid
  check.py onebit PATH                   a valid 1-bit BMP (the slideshow does not show those)
  check.py truncated PATH                a 24-bit header announcing more pixels than follow
  check.py garbage PATH BYTES SEED       random bytes
  check.py expect SHOT --mode M --left PICTURE --right PICTURE [--top Y] [--swap]
                                         [--offset X,Y] [--filtered] [--size WxH]
  check.py same SHOT SHOT | differ SHOT SHOT
  check.py png SHOT PATH

PICTURE: solid:R,G,B | grid:left:WxH | grid:right:WxH | sbs:WxH | unknown

"expect" computes, for every screen pixel, which eye and which block of that
eye's picture the stereo mode puts there, and compares it with the screenshot.
With --filtered, a pixel within half a texel (the reach of linear filtering)
plus one pixel of a block edge or a picture edge is not compared; without it
every pixel is.
"""

import argparse
import math
import os
import random
import sys

sys.dont_write_bytecode = True   # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bmp  # noqa: E402

GRID = 4


def grid_colour(eye, row, col):
    if eye == "left":
        return (30 + 60 * col, 20 + 70 * row, 200)
    return (220, 25 + 60 * col, 10 + 70 * row)


class Source:
    """What an eye's image holds, in blocks: colour(block_row, block_col)."""

    def __init__(self, picture):
        self.unknown = picture == "unknown"
        self.rows = self.cols = 1
        self.width = self.height = 64
        if self.unknown:
            return
        kind, _, rest = picture.partition(":")
        if kind == "solid":
            self.colour_value = tuple(int(v) for v in rest.split(","))
            self.colour = lambda r, c: self.colour_value
        elif kind == "grid":
            eye, _, size = rest.partition(":")
            self.width, self.height = (int(v) for v in size.split("x"))
            self.rows = self.cols = GRID
            self.colour = lambda r, c: grid_colour(eye, r, c)
        elif kind == "sbs":
            self.width, self.height = (int(v) for v in rest.split("x"))
            self.rows, self.cols = GRID, 2 * GRID
            self.colour = lambda r, c: grid_colour("left", r, c) if c < GRID else grid_colour("right", r, c - GRID)
        else:
            raise SystemExit("unknown picture %r" % picture)


def make_picture(kind, width, height, arg=None):
    if kind == "solid":
        return bmp.solid(width, height, arg)
    if kind == "grid":
        return bmp.blocks(width, height, [[grid_colour(arg, r, c) for c in range(GRID)] for r in range(GRID)])
    if kind == "sbs":
        return bmp.blocks(width, height, [[grid_colour("left", r, c) for c in range(GRID)]
                                          + [grid_colour("right", r, c) for c in range(GRID)]
                                          for r in range(GRID)])
    raise ValueError(kind)


# ---- the model of one frame ----

class EyeLayout:
    """Where one eye lands: its viewport (top-down window pixels), the size of
    the projection drawn into it, and its picture's rectangle in that projection."""

    def __init__(self, mode, eye, w, h, source, offset, same_image, filtered):
        self.source = source
        self.eye = eye
        self.same_image = same_image
        if mode in (2, 4):
            self.vx, self.vy, self.vw, self.vh = (w * eye) // 2, 0, w // 2, h
        elif mode in (1, 3, 5):
            gl_y = (h * eye) // 2
            self.vx, self.vy, self.vw, self.vh = 0, h - (gl_y + h // 2), w, h // 2
        else:
            self.vx, self.vy, self.vw, self.vh = 0, 0, w, h
        pw, ph = w, h
        if mode == 4:
            pw = w // 2
        if mode == 5:
            ph = h // 2
        self.pw, self.ph = pw, ph
        scale = max(pw / source.width, ph / source.height)
        qw, qh = source.width * scale, source.height * scale
        cx = pw // 2 + offset[0] * (eye - 0.5) * qw
        cy = ph // 2 + (eye - 0.5) * offset[1] * qh
        self.left, self.top, self.qw, self.qh = cx - qw / 2, cy - qh / 2, qw, qh
        # Window pixels per texel along each axis; linear filtering mixes
        # colours up to half a texel from an edge.
        texels_x = source.width / 2 if same_image else source.width
        self.margin_x = 0.5 * (qw / texels_x) * (self.vw / pw) + 1 if filtered else 0
        self.margin_y = 0.5 * (qh / source.height) * (self.vh / ph) + 1 if filtered else 0

    def _axis(self, window_pos, margin, v0, vsize, psize, q0, qsize, blocks, half):
        """Coverage ('in', 'out', 'mixed') and block index (None when it changes)
        over window_pos +- margin along one axis."""
        states, cells = set(), set()
        for p in (window_pos + 0.5 - margin, window_pos + 0.5 + margin):
            proj = (p - v0) * psize / vsize
            f = (proj - q0) / qsize
            if f < 0 or f >= 1:
                states.add("out<" if f < 0 else "out>")
                continue
            states.add("in")
            if half is not None:
                f = half * 0.5 + f * 0.5
            cells.add(min(blocks - 1, int(math.floor(f * blocks))))
        if states == {"in"}:
            state = "in"
        elif states in ({"out<"}, {"out>"}):
            state = "out"
        else:
            state = "mixed"
        return state, (cells.pop() if len(cells) == 1 else None)

    def column(self, x):
        half = self.eye if self.same_image else None
        return self._axis(x, self.margin_x, self.vx, self.vw, self.pw, self.left, self.qw, self.source.cols, half)

    def row(self, y):
        return self._axis(y, self.margin_y, self.vy, self.vh, self.ph, self.top, self.qh, self.source.rows, None)


# The coloured modes' least-squares anaglyph matrices (left eye, right eye;
# rows: output red, green, blue): red/cyan, green/magenta, amber/blue.
ANAGLYPH = {
    6: (((0.437, 0.449, 0.164), (-0.062, -0.062, -0.024), (-0.048, -0.050, -0.017)),
        ((-0.011, -0.032, -0.007), (0.377, 0.761, 0.009), (-0.026, -0.093, 1.234))),
    7: (((-0.062, -0.158, -0.039), (0.284, 0.668, 0.143), (-0.015, -0.027, 0.021)),
        ((0.529, 0.705, 0.024), (-0.016, -0.015, -0.065), (0.009, 0.075, 0.937))),
    8: (((1.062, -0.205, 0.299), (-0.026, 0.908, 0.068), (-0.038, -0.173, 0.022)),
        ((-0.016, -0.123, -0.017), (0.006, 0.062, -0.017), (0.094, 0.185, 0.911))),
}
# Levels an anaglyph pixel may be off the rounded projection (8-bit blending).
ANAGLYPH_TOLERANCE = 2


def anaglyph(mode, left, right):
    """clamp(M_L left + M_R right), rounded."""
    m_left, m_right = ANAGLYPH[mode]
    return tuple(min(255, max(0, round(sum(m_left[c][k] * left[k] + m_right[c][k] * right[k] for k in range(3)))))
                 for c in range(3))


def interlace_frame_row(height, parity, y):
    s = (height - 1 - y) // 2 + (height // 2 if (parity + y) % 2 == 0 else 0)
    return height - 1 - s


def expected_rows(args, w, h):
    """Yields (screen row, list of runs (x0, x1, colour or None))."""
    offset = tuple(float(v) for v in args.offset.split(","))
    same = args.left == args.right and args.left.startswith("sbs:")
    sources = [Source(args.left), Source(args.right)]
    eyes = [EyeLayout(args.mode, e, w, h, sources[e], offset, same, args.filtered) for e in (0, 1)]
    columns = [[eye.column(x) for x in range(w)] for eye in eyes]
    parity = (1 if args.swap else 0) ^ (args.top & 1)
    cache = {}
    for y in range(h):
        frame_y = interlace_frame_row(h, parity, y) if args.mode == 3 else y
        key = tuple((e.vy <= frame_y < e.vy + e.vh) and e.row(frame_y) for e in eyes)
        if key not in cache:
            # The right eye covers the left where both draw, and the clear colour
            # stays where none does; the anaglyph modes mix what each eye shows.
            line = [(0, 0, 0)] * w
            own = [[(0, 0, 0)] * w for _ in eyes]
            for e, eye in enumerate(eyes):
                if not key[e]:
                    continue
                row_state, block_row = key[e]
                for x in range(eye.vx, eye.vx + eye.vw):
                    col_state, block_col = columns[e][x]
                    if row_state == "out" or col_state == "out":
                        continue
                    if eye.source.unknown or row_state == "mixed" or col_state == "mixed" \
                            or block_row is None or block_col is None:
                        line[x] = own[e][x] = None
                        continue
                    line[x] = own[e][x] = eye.source.colour(block_row, block_col)
            if args.mode in ANAGLYPH:
                line = [None if None in (a, b) else anaglyph(args.mode, a, b) for a, b in zip(*own)]
            runs, start = [], 0
            for x in range(1, w + 1):
                if x == w or line[x] != line[start]:
                    runs.append((start, x, line[start]))
                    start = x
            cache[key] = runs
        yield y, cache[key]


def expect(args):
    shot = bmp.read_bmp(args.shot)
    w, h = (int(v) for v in args.size.split("x")) if args.size else (shot.width, shot.height)
    if (shot.width, shot.height) != (w, h):
        print("screenshot is %dx%d, expected %dx%d" % (shot.width, shot.height, w, h))
        return 1
    bad = checked = 0
    reports = []
    tolerance = ANAGLYPH_TOLERANCE if args.mode in ANAGLYPH else 0
    for y, runs in expected_rows(args, w, h):
        row = shot.rows[y]
        for x0, x1, colour in runs:
            if colour is None:
                continue
            checked += x1 - x0
            want = bytes(colour) * (x1 - x0)
            got = row[3 * x0:3 * x1]
            if got == want:
                continue
            for x in range(x0, x1):
                if any(abs(g - c) > tolerance for g, c in zip(got[3 * (x - x0):3 * (x - x0) + 3], colour)):
                    bad += 1
                    if len(reports) < 5:
                        reports.append("(%d,%d) is %s, expected %s" % (x, y, tuple(got[3 * (x - x0):3 * (x - x0) + 3]),
                                                                       colour))
    if bad:
        print("%d of %d pixels wrong: %s" % (bad, checked, "; ".join(reports)))
        return 1
    if checked < w * h // 2:
        print("only %d of %d pixels could be compared" % (checked, w * h))
        return 1
    return 0


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="command", required=True)
    for name in ("solid", "grid", "sbs"):
        p = sub.add_parser(name)
        p.add_argument("path")
        p.add_argument("width", type=int)
        p.add_argument("height", type=int)
        if name != "sbs":
            p.add_argument("arg")
    sub.add_parser("onebit").add_argument("path")
    sub.add_parser("truncated").add_argument("path")
    p = sub.add_parser("garbage")
    p.add_argument("path")
    p.add_argument("length", type=int)
    p.add_argument("seed", type=int)
    p = sub.add_parser("expect")
    p.add_argument("shot")
    p.add_argument("--mode", type=int, required=True)
    p.add_argument("--left", required=True)
    p.add_argument("--right", required=True)
    p.add_argument("--top", type=int, default=0, help="the window's top edge on the desktop")
    p.add_argument("--swap", action="store_true")
    p.add_argument("--offset", default="0,0")
    p.add_argument("--filtered", action="store_true")
    p.add_argument("--size")
    for name in ("same", "differ"):
        p = sub.add_parser(name)
        p.add_argument("a")
        p.add_argument("b")
    p = sub.add_parser("png")
    p.add_argument("shot")
    p.add_argument("path")
    args = parser.parse_args()

    if args.command in ("solid", "grid", "sbs"):
        arg = args.arg if args.command == "grid" else None
        if args.command == "solid":
            arg = tuple(int(v) for v in args.arg.split(","))
        data = bmp.bmp24_bytes(make_picture(args.command, args.width, args.height, arg))
        with open(args.path, "wb") as f:
            f.write(data)
        return 0
    if args.command == "onebit":
        width, height = 64, 64
        stride = 8   # 64 bits, already a multiple of 4 bytes
        body = b"".join((b"\xaa" if y % 2 else b"\x55") * stride for y in range(height))
        palette = b"\0\0\0\0" + b"\xff\xff\xff\0"
        with open(args.path, "wb") as f:
            f.write(bmp.bmp_header(width, height, 1, len(body), palette_entries=2) + palette + body)
        return 0
    if args.command == "truncated":
        data = bmp.bmp24_bytes(make_picture("grid", 640, 360, "left"))
        with open(args.path, "wb") as f:
            f.write(data[:54 + 640 * 3 * 10 + 17])
        return 0
    if args.command == "garbage":
        rng = random.Random(args.seed)
        with open(args.path, "wb") as f:
            f.write(bytes(rng.randrange(256) for _ in range(args.length)))
        return 0
    if args.command == "expect":
        return expect(args)
    if args.command in ("same", "differ"):
        a, b = bmp.read_bmp(args.a), bmp.read_bmp(args.b)
        equal = (a.width, a.height, a.rows) == (b.width, b.height, b.rows)
        if equal != (args.command == "same"):
            print("%s and %s are %s" % (args.a, args.b, "identical" if equal else "different"))
            return 1
        return 0
    if args.command == "png":
        bmp.write_png(args.path, bmp.read_bmp(args.shot))
        return 0
    return 2


if __name__ == "__main__":
    sys.exit(main())
