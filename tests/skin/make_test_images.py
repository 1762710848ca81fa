#!/usr/bin/python3
"""Writes the small PNG fixtures of the skin tests (run with Debian's python3-pil)."""
from pathlib import Path
from PIL import Image

out = Path(__file__).resolve().parent / "png"
out.mkdir(exist_ok=True)
KEY = (255, 0, 255)

def save(name, image):
    image.save(out / name, optimize=False)

# 4 x 2 opaque RGB and RGBA images; the RGBA one has one transparent pixel.
rgb = Image.new("RGB", (4, 2), (10, 20, 30))
rgb.putpixel((1, 0), (200, 100, 50))
save("rgb.png", rgb)
rgba = Image.new("RGBA", (4, 2), (10, 20, 30, 255))
rgba.putpixel((0, 0), (200, 100, 50, 0))
save("rgba.png", rgba)

# 8 x 3: row 0 without key colour, row 1 all key colour, row 2 one key pixel at x = 3.
rows = Image.new("RGB", (8, 3), (10, 20, 30))
for x in range(8):
    rows.putpixel((x, 1), KEY)
rows.putpixel((3, 2), KEY)
save("rows.png", rows)

# 3 x 1 RGBA: key colour half transparent, a near-key pixel, key colour opaque.
keyed = Image.new("RGBA", (3, 1))
keyed.putpixel((0, 0), KEY + (128,))
keyed.putpixel((1, 0), (254, 0, 255, 255))
keyed.putpixel((2, 0), KEY + (255,))
save("keyed.png", keyed)

# A 332 x 23 strip, one plain colour per frame: normal, hover, pressed, disabled.
strip = Image.new("RGB", (332, 23))
for frame, colour in enumerate([(200, 40, 40), (40, 200, 40), (40, 40, 200), (120, 120, 120)]):
    for x in range(frame * 83, frame * 83 + 83):
        for y in range(23):
            strip.putpixel((x, y), colour)
save("strip.png", strip)
