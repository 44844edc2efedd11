#!/usr/bin/env python3
"""Regenerates the installer's banner (src/res/banner.bmp) and icon (src/res/setup.ico).

Needs ImageMagick's `convert` and the Noto CJK fonts (Debian: imagemagick, fonts-noto-cjk).
The outputs are committed, so the build itself never runs this.

    python3 tools/art/make-art.py [--preview DIR] [--out DIR]

Gradients and masks are computed here; ImageMagick draws the curves and the text and
scales the supersampled picture down. The icon file is written here byte by byte so that
it is exactly one 32x32 image with a 256-colour palette and an AND mask.
"""

import argparse
import math
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.normpath(os.path.join(HERE, "..", "..", "src", "res"))

BANNER_W, BANNER_H = 421, 100
SS = 4  # supersampling factor for everything but the text

FONT_BOLD = "Noto-Sans-CJK-SC-Bold"
FONT_REGULAR = "Noto-Sans-CJK-SC"

PRODUCT_NAME = "澜舟雅韵全球网络收音机"
TAGLINE = "汇聚全球电台 · 随时随地聆听"

# Palette: calm sea blues. The whole border of the banner is BASE: when the dialog's
# static is larger than the picture (high DPI), it fills the rest with the top-left pixel.
BASE = (0xF4, 0xF8, 0xFB)
GLOW = (0xDD, 0xEE, 0xF8)
EMBLEM_TOP = (0x3C, 0xB0, 0xE2)
EMBLEM_BOTTOM = (0x12, 0x5E, 0xA6)
NAME_COLOUR = "#13395B"
TAGLINE_COLOUR = "#557489"
ACCENT_LEFT = (0x1D, 0x8F, 0xD0)
ACCENT_RIGHT = (0x25, 0xB5, 0xB0)


def run(args):
    subprocess.run(args, check=True)


def hexrgb(c):
    return "#%02X%02X%02X" % c


def lerp(a, b, t):
    return a + (b - a) * t


def lerp_rgb(a, b, t):
    return tuple(int(round(lerp(a[i], b[i], t))) for i in range(3))


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3 - 2 * t)


def write_pgm(path, w, h, fn):
    rows = bytearray()
    for y in range(h):
        for x in range(w):
            rows.append(max(0, min(255, int(round(255 * fn(x, y))))))
    with open(path, "wb") as f:
        f.write(b"P5\n%d %d\n255\n" % (w, h))
        f.write(rows)


def write_ppm(path, w, h, fn):
    rows = bytearray()
    for y in range(h):
        for x in range(w):
            rows.extend(fn(x, y))
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h))
        f.write(rows)


def diagonal_gradient(size, top, bottom):
    # Light from the top left, deeper towards the bottom right.
    def fn(x, y):
        t = (x + y) / (2.0 * (size - 1))
        return bytes(lerp_rgb(top, bottom, smoothstep(0.0, 1.0, t)))

    return fn


def broadcast_mvg(cx, cy, unit, sign):
    """A dot with arcs on either side, the "on air" sign, in white; `unit` is one output pixel."""
    out = ["stroke-linecap round", "stroke-linejoin round", "fill none", "stroke white"]
    out.append("stroke-width %.2f" % (sign["width"] * unit))
    a = math.radians(sign["angle"])
    for radius in sign["radii"]:
        r = radius * unit
        for side in (1, -1):
            # A polyline: ImageMagick 6 closes an SVG arc path with its chord.
            steps = 48
            pts = []
            for k in range(steps + 1):
                t = -a + 2 * a * k / steps
                pts.append("%.2f,%.2f" % (cx + side * r * math.cos(t), cy + r * math.sin(t)))
            out.append("polyline " + " ".join(pts))
    out += ["stroke none", "fill white"]
    out.append("circle %.2f,%.2f %.2f,%.2f" % (cx, cy, cx + sign["dot"] * unit, cy))
    return "\n".join(out) + "\n"


# The sign at banner size, and a sparser, bolder one that still reads at 32x32.
BANNER_SIGN = {"dot": 4.0, "radii": (10.5, 17.5), "width": 2.2, "angle": 42}
ICON_SIGN = {"dot": 2.5, "radii": (6.0, 10.5), "width": 1.8, "angle": 45}


def emblem(tmp, name, size, unit, sign, round_edge=True):
    """The blue emblem with the broadcast sign, `size` pixels square: a disc with alpha,
    or with `round_edge` false the whole square, for a caller that cuts its own edge."""
    grad = os.path.join(tmp, name + "-grad.ppm")
    write_ppm(grad, size, size, diagonal_gradient(size, EMBLEM_TOP, EMBLEM_BOTTOM))
    c = (size - 1) / 2.0
    r = size / 2.0 - 0.5 * unit
    mask_mvg = "fill white\ncircle %.2f,%.2f %.2f,%.2f\n" % (c, c, c + r, c)
    # A faint highlight across the upper half gives the disc a little depth.
    sign_mvg = "fill rgba(255,255,255,0.10)\n"
    sign_mvg += "ellipse %.2f,%.2f %.2f,%.2f 0,360\n" % (c, c - 0.55 * r, 0.95 * r, 0.62 * r)
    sign_mvg += broadcast_mvg(c, c, unit, sign)
    out = os.path.join(tmp, name + ".png")
    args = ["convert", grad, "-draw", sign_mvg]
    if round_edge:
        args += ["(", "-size", "%dx%d" % (size, size), "xc:black", "-draw", mask_mvg, ")"]
        args += ["-alpha", "off", "-compose", "CopyOpacity", "-composite"]
    run(args + [out])
    return out


WAVES_FROM = 262.0  # clear of the tagline; the waves fade in from here


def waves_mvg():
    """Flowing lines rising towards the right edge: sound over water."""
    lines = [
        # base offset, amplitude, wavelength, phase, width, colour, opacity
        (0.0, 6.0, 110.0, 0.0, 1.8, ACCENT_LEFT, 0.60),
        (4.0, 8.0, 130.0, 1.2, 1.3, ACCENT_RIGHT, 0.55),
        (-4.0, 4.5, 95.0, 2.4, 1.1, ACCENT_LEFT, 0.40),
        (9.0, 10.0, 150.0, 3.5, 0.9, ACCENT_RIGHT, 0.35),
    ]
    out = ["fill none", "stroke-linecap round", "stroke-linejoin round"]
    for off, amp, wl, ph, width, colour, opacity in lines:
        pts = []
        x = WAVES_FROM
        while x <= BANNER_W + 2:
            t = (x - WAVES_FROM) / (BANNER_W - WAVES_FROM)
            base = lerp(86.0, 60.0, smoothstep(0.0, 1.0, t)) + off * t
            y = base + amp * (0.3 + 0.7 * t) * math.sin(2 * math.pi * x / wl + ph)
            pts.append("%.2f,%.2f" % (x * SS, y * SS))
            x += 0.5
        out.append("stroke rgba(%d,%d,%d,%.2f)" % (colour + (opacity,)))
        out.append("stroke-width %.2f" % (width * SS))
        out.append("polyline " + " ".join(pts))
    return "\n".join(out) + "\n"


def make_banner(tmp, out_bmp, preview):
    W, H = BANNER_W * SS, BANNER_H * SS

    # Background: BASE with a soft light-blue glow behind the right half, fading out
    # well before the border.
    def glow(x, y):
        u, v = x / SS, y / SS
        d = math.hypot((u - 330.0) / 190.0, (v - 62.0) / 80.0)
        edge = (
            smoothstep(0, 14, u)
            * smoothstep(0, 14, BANNER_W - u)
            * smoothstep(0, 10, v)
            * smoothstep(0, 10, BANNER_H - v)
        )
        return (1.0 - smoothstep(0.0, 1.0, d)) * edge

    glow_pgm = os.path.join(tmp, "glow.pgm")
    write_pgm(glow_pgm, BANNER_W, BANNER_H, glow)

    # The waves fade in from the left and out before every edge.
    def wave_fade(x, y):
        return (
            smoothstep(WAVES_FROM, WAVES_FROM + 70, x)
            * smoothstep(0, 12, BANNER_W - x)
            * smoothstep(4, 12, y)
            * smoothstep(4, 12, BANNER_H - y)
        )

    fade_pgm = os.path.join(tmp, "fade.pgm")
    write_pgm(fade_pgm, BANNER_W, BANNER_H, wave_fade)

    disc = emblem(tmp, "banner-emblem", 60 * SS, SS, BANNER_SIGN)
    shadow_mvg = "fill rgba(18,57,91,0.22)\n"
    shadow_mvg += "circle %d,%d %d,%d\n" % (50 * SS, 52 * SS, 50 * SS + 29 * SS, 52 * SS)

    big = os.path.join(tmp, "banner-big.png")
    size = "%dx%d" % (W, H)
    run(
        ["convert", "-size", size, "xc:" + hexrgb(BASE)]
        # glow
        + ["(", "-size", size, "xc:" + hexrgb(GLOW)]
        + ["(", glow_pgm, "-filter", "Triangle", "-resize", size + "!", ")"]
        + ["-alpha", "off", "-compose", "CopyOpacity", "-composite", ")"]
        + ["-compose", "Over", "-composite"]
        # waves
        + ["(", "-size", size, "xc:none", "-draw", waves_mvg()]
        + ["(", fade_pgm, "-filter", "Triangle", "-resize", size + "!", ")"]
        + ["-compose", "DstIn", "-composite", ")"]
        + ["-compose", "Over", "-composite"]
        # emblem with a soft shadow
        + ["(", "-size", size, "xc:none", "-draw", shadow_mvg, "-blur", "0x%d" % (3 * SS), ")"]
        + ["-compose", "Over", "-composite"]
        + [disc, "-geometry", "+%d+%d" % (20 * SS, 20 * SS), "-compose", "Over", "-composite"]
        # short accent bar under the name
        + ["-fill", hexrgb(ACCENT_LEFT), "-draw",
           "roundrectangle %d,%d %d,%d %d,%d" % (98 * SS, 56 * SS, 126 * SS, 58 * SS - 1, SS, SS)]
        + ["-fill", hexrgb(ACCENT_RIGHT), "-draw",
           "roundrectangle %d,%d %d,%d %d,%d" % (129 * SS, 56 * SS, 136 * SS, 58 * SS - 1, SS, SS)]
        + [big]
    )

    # Scale down, then set the text at its final size so that it stays crisp.
    args = ["convert", big, "-filter", "Box", "-resize", "%dx%d!" % (BANNER_W, BANNER_H)]
    args += ["-font", FONT_BOLD, "-pointsize", "25", "-kerning", "1", "-fill", NAME_COLOUR]
    args += ["-annotate", "+97+46", PRODUCT_NAME]
    args += ["-font", FONT_REGULAR, "-pointsize", "13", "-kerning", "1.5", "-fill", TAGLINE_COLOUR]
    args += ["-annotate", "+98+77", TAGLINE]
    # Plain 24-bit BI_RGB with a BITMAPINFOHEADER: no alpha, no colour-space extras.
    args += ["-alpha", "off", "-type", "TrueColor", "-strip", "BMP3:" + out_bmp]
    run(args)
    if preview:
        run(["convert", out_bmp, os.path.join(preview, "banner.png")])


ICON_RADIUS = 15.6  # pixels, around the point between pixels 15 and 16


def icon_pixels(tmp):
    """The emblem at 32x32: RGB rows top-down and an opacity flag per pixel."""
    big = emblem(tmp, "icon-emblem", 256, 256 / 32.0, ICON_SIGN, round_edge=False)
    raw = os.path.join(tmp, "icon.rgb")
    run(["convert", big, "-filter", "Box", "-resize", "32x32", "RGB:" + raw])
    with open(raw, "rb") as f:
        data = f.read()
    assert len(data) == 32 * 32 * 3

    # One-bit mask, so the edge is cut per pixel; a slightly darker rim keeps that edge
    # clean on light and dark backgrounds alike.
    def inside(x, y):
        return 0 <= x < 32 and 0 <= y < 32 and math.hypot(x - 15.5, y - 15.5) <= ICON_RADIUS

    rgb, opaque = [], []
    for y in range(32):
        for x in range(32):
            i = 3 * (y * 32 + x)
            solid = inside(x, y)
            opaque.append(solid)
            if not solid:
                rgb.append((0, 0, 0))
                continue
            c = tuple(data[i : i + 3])
            if not all(inside(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                c = tuple(int(v * 0.82) for v in c)
            rgb.append(c)
    return rgb, opaque


def quantise(tmp, rgb):
    """Reduces the icon to at most 256 colours with ImageMagick; returns palette and indices."""
    src = os.path.join(tmp, "icon-rgb.ppm")
    with open(src, "wb") as f:
        f.write(b"P6\n32 32\n255\n" + bytes(c for p in rgb for c in p))
    dst = os.path.join(tmp, "icon-256.ppm")
    run(["convert", src, "-dither", "None", "-colors", "255", dst])
    with open(dst, "rb") as f:
        body = f.read()
    pixels = body[-32 * 32 * 3 :]
    quant = [tuple(pixels[3 * i : 3 * i + 3]) for i in range(32 * 32)]
    # Index 0 is black: transparent pixels must be black for the XOR pass to leave the
    # background alone.
    palette = [(0, 0, 0)]
    for c in quant:
        if c not in palette:
            palette.append(c)
    if len(palette) > 256:
        sys.exit("icon: %d colours after quantisation" % len(palette))
    return palette, [palette.index(c) for c in quant]


def make_icon(tmp, out_ico, preview):
    rgb, opaque = icon_pixels(tmp)
    palette, index = quantise(tmp, rgb)
    index = [i if opaque[n] else 0 for n, i in enumerate(index)]

    w = h = 32
    xor = bytearray()
    for y in reversed(range(h)):  # bottom-up
        xor.extend(index[y * w : (y + 1) * w])  # 32 bytes: already a multiple of 4
    mask = bytearray()
    for y in reversed(range(h)):
        bits = 0
        for x in range(w):
            if not opaque[y * w + x]:
                bits |= 1 << (31 - x)
        mask.extend(struct.pack(">I", bits))  # 32 bits: one padded row
    colours = bytearray()
    for i in range(256):
        r, g, b = palette[i] if i < len(palette) else (0, 0, 0)
        colours.extend((b, g, r, 0))
    # Height counts the colour bits and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 8, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + colours + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w, h, 0, 0, 1, 8, len(image), 6 + 16)
    with open(out_ico, "wb") as f:
        f.write(directory + entry + image)
    if preview:
        run(["convert", "ICO:" + out_ico, os.path.join(preview, "icon.png")])


def require_fonts():
    # Without the font ImageMagick quietly falls back to one with no CJK glyphs.
    fonts = subprocess.run(["convert", "-list", "font"], check=True, capture_output=True, text=True)
    names = {line.split(":", 1)[1].strip() for line in fonts.stdout.splitlines() if "Font:" in line}
    missing = [f for f in (FONT_BOLD, FONT_REGULAR) if f not in names]
    if missing:
        sys.exit("missing font %s: apt-get install fonts-noto-cjk" % ", ".join(missing))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--preview", help="also write PNG previews into this directory")
    ap.add_argument("--out", default=RES, help="output directory (default: src/res)")
    opts = ap.parse_args()
    require_fonts()
    if opts.preview:
        os.makedirs(opts.preview, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="art-") as tmp:
        make_banner(tmp, os.path.join(opts.out, "banner.bmp"), opts.preview)
        make_icon(tmp, os.path.join(opts.out, "setup.ico"), opts.preview)
    run([sys.executable, os.path.join(HERE, "check-art.py"), opts.out])


if __name__ == "__main__":
    main()
