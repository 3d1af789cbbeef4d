#!/usr/bin/python3
"""Draws kelv's icon and writes it as a Windows .ico (with --png also the
256-pixel picture, for a look at it; with --welcome the setup program's
164 x 314 side picture of its welcome and finish pages, the icon on the
tile's blue).

    make_icon.py OUT.ico [--png OUT.png] [--welcome OUT.bmp]

The picture: a blue tile with a white exam sheet on it, the sheet ruled as
a worksheet (a heading row and lines), and the red tick of a marked paper
across its lower right. Every size is drawn on its own, at four times its
size and scaled down, so the small ones stay sharp; at 24 pixels and below
the sheet keeps only its heading row and three lines.
"""
import argparse

from PIL import Image, ImageDraw

SIZES = [16, 20, 24, 32, 40, 48, 64, 96, 128, 256]
BLUE_TOP = (30, 110, 200)
BLUE_BOTTOM = (13, 71, 161)
HEADING = (144, 190, 240)
RULE = (176, 190, 206)
RED = (214, 40, 40)


def draw(size):
    scale = 4
    n = size * scale
    u = n / 64.0  # drawn on a grid of 64 units
    tile = Image.new("RGBA", (n, n), (0, 0, 0, 0))

    # The tile: rounded, with a vertical gradient.
    gradient = Image.new("RGBA", (n, n))
    gd = ImageDraw.Draw(gradient)
    for y in range(n):
        t = y / max(1, n - 1)
        colour = tuple(round(a + (b - a) * t) for a, b in zip(BLUE_TOP, BLUE_BOTTOM))
        gd.line([(0, y), (n, y)], fill=colour + (255,))
    mask = Image.new("L", (n, n), 0)
    ImageDraw.Draw(mask).rounded_rectangle([u * 2, u * 2, n - u * 2, n - u * 2],
                                           radius=u * 11, fill=255)
    tile.paste(gradient, (0, 0), mask)

    d = ImageDraw.Draw(tile)
    # The sheet, its top right corner folded.
    left, top, right, bottom, fold = u * 14, u * 10, u * 50, u * 56, u * 9
    d.polygon([(left, top), (right - fold, top), (right, top + fold), (right, bottom),
               (left, bottom)], fill=(255, 255, 255, 255))
    d.polygon([(right - fold, top), (right - fold, top + fold), (right, top + fold)],
              fill=(205, 220, 238, 255))
    small = size <= 24
    # The heading row and the ruled lines of a worksheet.
    d.rectangle([left + u * 4, top + u * 6, right - u * 11, top + u * 12], fill=HEADING + (255,))
    rows = 3 if small else 5
    step = (u * 30) / rows
    width = max(u * (3 if small else 2), scale)
    for i in range(rows):
        y = top + u * 17 + i * step
        d.line([(left + u * 4, y), (right - u * 4, y)], fill=RULE + (255,), width=round(width))
    if not small:
        x = left + u * 13
        d.line([(x, top + u * 15), (x, bottom - u * 5)], fill=RULE + (255,), width=round(width))

    # The tick, with a white edge that keeps it apart from the lines.
    tick = [(u * 27, u * 40), (u * 35, u * 49), (u * 56, u * 24)]
    thick = u * (10 if small else 8)
    d.line(tick, fill=(255, 255, 255, 255), width=round(thick + u * 4), joint="curve")
    d.line(tick, fill=RED + (255,), width=round(thick), joint="curve")

    return tile.resize((size, size), Image.Resampling.LANCZOS)


def welcome_picture():
    width, height = 164, 314
    picture = Image.new("RGB", (width, height))
    d = ImageDraw.Draw(picture)
    for y in range(height):
        t = y / (height - 1)
        d.line([(0, y), (width, y)],
               fill=tuple(round(a + (b - a) * t) for a, b in zip(BLUE_TOP, BLUE_BOTTOM)))
    icon = draw(128)
    picture.paste(icon, ((width - 128) // 2, 40), icon)
    return picture


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("ico")
    parser.add_argument("--png")
    parser.add_argument("--welcome")
    args = parser.parse_args()
    pictures = [draw(s) for s in SIZES]
    largest = pictures[-1]
    # Bitmaps, not PNG frames: every resource compiler and installer reads them.
    largest.save(args.ico, format="ICO", sizes=[(s, s) for s in SIZES],
                 append_images=pictures[:-1], bitmap_format="bmp")
    if args.png:
        largest.save(args.png)
    if args.welcome:
        welcome_picture().save(args.welcome, format="BMP")


if __name__ == "__main__":
    main()
