#!/usr/bin/python3
"""Draws the message-box icons (info, warning, error, success, confirm) as 64 px PNGs and the
application icon as a 256 px PNG.

Shapes only, drawn at 8x and scaled down for smooth edges; the question mark is the one glyph,
taken from DejaVu Sans Bold (fonts-dejavu-core). Usage: make_images.py RES_DIR (writes RES_DIR/images and RES_DIR/icon)
"""
import sys
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

SIZE = 64
SCALE = 8
COLOURS = {
    "info": (45, 140, 240),
    "warning": (230, 162, 60),
    "error": (237, 63, 20),
    "success": (25, 190, 107),
    "confirm": (45, 140, 240),
}
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def draw(kind):
    s = SIZE * SCALE
    image = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    d = ImageDraw.Draw(image)
    colour = COLOURS[kind] + (255,)
    white = (255, 255, 255, 255)
    m = 3 * SCALE
    if kind == "warning":
        d.polygon([(s / 2, m), (s - m, s - 2 * m), (m, s - 2 * m)], fill=colour)
        d.rounded_rectangle([s / 2 - 3 * SCALE, 20 * SCALE, s / 2 + 3 * SCALE, 40 * SCALE],
                            radius=3 * SCALE, fill=white)
        d.ellipse([s / 2 - 3.5 * SCALE, 44 * SCALE, s / 2 + 3.5 * SCALE, 51 * SCALE], fill=white)
        return image
    d.ellipse([m, m, s - m, s - m], fill=colour)
    w = 6 * SCALE
    if kind == "info":
        d.ellipse([s / 2 - 4 * SCALE, 14 * SCALE, s / 2 + 4 * SCALE, 22 * SCALE], fill=white)
        d.rounded_rectangle([s / 2 - 3.5 * SCALE, 26 * SCALE, s / 2 + 3.5 * SCALE, 50 * SCALE],
                            radius=3 * SCALE, fill=white)
    elif kind == "error":
        a, b = 21 * SCALE, 43 * SCALE
        d.line([(a, a), (b, b)], fill=white, width=w)
        d.line([(a, b), (b, a)], fill=white, width=w)
    elif kind == "success":
        d.line([(18 * SCALE, 33 * SCALE), (28 * SCALE, 43 * SCALE), (46 * SCALE, 23 * SCALE)],
               fill=white, width=w, joint="curve")
    elif kind == "confirm":
        font = ImageFont.truetype(FONT, 40 * SCALE)
        d.text((s / 2, s / 2 + SCALE), "?", font=font, fill=white, anchor="mm")
    return image


def app_icon():
    s = 256 * 4
    image = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    d = ImageDraw.Draw(image)
    d.rounded_rectangle([16, 16, s - 16, s - 16], radius=220, fill=(45, 140, 240, 255))
    d.rounded_rectangle([16, s * 0.62, s - 16, s - 16], radius=220, fill=(24, 168, 32, 255))
    d.rectangle([16, s * 0.62, s - 16, s * 0.75], fill=(24, 168, 32, 255))
    font = ImageFont.truetype(FONT, 640)
    d.text((s / 2, s * 0.47), "B", font=font, fill=(255, 255, 255, 255), anchor="mm")
    return image.resize((256, 256), Image.LANCZOS)


def main():
    res = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    out = res / "images"
    out.mkdir(parents=True, exist_ok=True)
    for kind in COLOURS:
        draw(kind).resize((SIZE, SIZE), Image.LANCZOS).save(out / f"msg_{kind}.png", optimize=True)
    (res / "icon").mkdir(parents=True, exist_ok=True)
    app_icon().save(res / "icon" / "icon.png", optimize=True)


if __name__ == "__main__":
    main()
