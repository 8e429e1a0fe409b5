#!/usr/bin/python3
"""Draws the window's pictures into ui/pictures/: the window icon (64 x 64 PNG with alpha, and the
same as a Windows .ico), the product logo (JPEG 388 x 154) and the QR-code picture (JPEG
200 x 226) that leads to the maker's web address.

Needs Debian's python3-pil, qrencode and fonts-noto-cjk. Usage: tools/make_pictures.py
"""
import re
import struct
import subprocess
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

ROOT = Path(__file__).resolve().parent.parent
OUT = ROOT / "ui" / "pictures"
FONT_BOLD = "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc"
FONT_SERIF = "/usr/share/fonts/opentype/noto/NotoSerifCJK-Bold.ttc"
TEAL = (22, 110, 120)
RED = (214, 40, 40)


def web_address():
    identity = (ROOT / "app" / "identity.h").read_text(encoding="utf-8")
    return re.search(r'kMakerWebAddress = "([^"]+)"', identity).group(1)


def font(path, size):
    # Index 2 of the Noto CJK collections is the Simplified Chinese face.
    return ImageFont.truetype(path, size, index=2)


def draw_plate(draw, box, radius):
    draw.rounded_rectangle(box, radius=radius, fill=TEAL)


def draw_mind_map(draw, centre, scale, colour):
    cx, cy = centre
    branches = [(-1.0, -0.6), (-1.1, 0.5), (1.0, -0.6), (1.1, 0.5)]
    for dx, dy in branches:
        end = (cx + dx * scale, cy + dy * scale)
        draw.line([centre, end], fill=colour, width=max(1, int(scale / 8)))
        r = scale / 5
        draw.ellipse([end[0] - r, end[1] - r, end[0] + r, end[1] + r], fill=colour)
    r = scale / 3
    draw.ellipse([cx - r, cy - r, cx + r, cy + r], fill=colour)


def make_icon():
    size = 256  # drawn large, then scaled down smoothly
    image = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    draw_plate(draw, [16, 120, 240, 244], 28)
    draw_mind_map(draw, (128, 182), 48, (255, 255, 255, 255))
    # The red upward arrow above the plate.
    draw.polygon([(128, 8), (196, 80), (156, 80), (156, 124), (100, 124), (100, 80), (60, 80)],
                 fill=RED + (255,))
    icon = image.resize((64, 64), Image.LANCZOS)
    icon.save(OUT / "icon.png")
    write_ico(icon, OUT / "icon.ico")


def write_ico(image, path):
    """A one-image .ico in the classic bitmap form: 32 bits per pixel with alpha and an AND mask."""
    width, height = image.size
    pixels = image.load()
    rows = []
    for y in reversed(range(height)):  # bottom-up
        rows.append(b"".join(struct.pack("BBBB", b, g, r, a)
                             for r, g, b, a in (pixels[x, y] for x in range(width))))
    xor = b"".join(rows)
    mask_row = ((width + 31) // 32) * 4
    mask = bytes(mask_row * height)  # all opaque: the alpha channel decides
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    data = header + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width, height, 0, 0, 1, 32, len(data), 6 + 16)
    path.write_bytes(directory + entry + data)


def make_logo():
    image = Image.new("RGB", (388, 154), (255, 255, 255))
    draw = ImageDraw.Draw(image)
    draw_plate(draw, [8, 8, 380, 146], 22)
    draw_mind_map(draw, (78, 77), 34, (255, 255, 255))
    draw.text((140, 22), "岚溪图谱", font=font(FONT_SERIF, 46), fill=(255, 255, 255))
    draw.text((142, 86), "ORBA 思维导图", font=font(FONT_BOLD, 30), fill=(210, 240, 240))
    image.save(OUT / "logo.jpg", quality=92)


def make_qr():
    address = web_address()
    png = OUT / "qr-tmp.png"
    # Error correction level H leaves room for the emblem in the centre.
    subprocess.run(["qrencode", "-l", "H", "-m", "2", "-s", "6", "-o", str(png), address],
                   check=True)
    code = Image.open(png).convert("RGB").resize((200, 200), Image.NEAREST)
    png.unlink()
    image = Image.new("RGB", (200, 226), (255, 255, 255))
    image.paste(code, (0, 0))
    draw = ImageDraw.Draw(image)
    # The maker's emblem: a small seal with the first character of its name.
    draw.rounded_rectangle([80, 80, 120, 120], radius=6, fill=(255, 255, 255))
    draw.rounded_rectangle([84, 84, 116, 116], radius=5, fill=TEAL)
    draw.text((100, 99), "青", font=font(FONT_SERIF, 24), fill=(255, 255, 255), anchor="mm")
    draw.text((100, 212), "扫码访问 青衡书院", font=font(FONT_BOLD, 15), fill=(40, 40, 40),
              anchor="mm")
    image.save(OUT / "qr.jpg", quality=95)


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    make_icon()
    make_logo()
    make_qr()


if __name__ == "__main__":
    main()
