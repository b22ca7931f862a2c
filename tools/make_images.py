#!/usr/bin/python3
# Draws the installer's skin images and program icon. The PNG files in
# installer/skin/ and installer/app/Quillmossdex.ico are its output and are committed, so
# the build needs no image tools; run it again after changing the artwork
# (needs Debian's python3-pil, fonts-wqy-microhei, pngquant and zopfli).
#
# Every image is drawn once per display scale (100, 125, 150, 175, 200 %) at
# that scale's pixel size, "name.png" and "name@150.png" and so on: a drawing
# made for the size keeps hairlines one pixel wide and edges sharp, which a
# resized bitmap cannot. Sizes follow the library's rule, value x scale / 100
# rounded half away from zero, so every image meets its control exactly.
#
# Everything is drawn at four times the size and scaled down, which gives
# smooth edges without depending on the rasteriser's own anti-aliasing.
import os
import shutil
import struct
import subprocess
import sys
import tempfile
from PIL import Image, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SKIN = os.path.join(ROOT, "installer", "skin")
FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
SS = 4  # supersampling factor
SCALES = (100, 125, 150, 175, 200)
# The scale being drawn, in percent; set by main() before each round.
PCT = 100


def sz(v):
    """A size in 100 % pixels at the current scale, rounded as the library does."""
    return (v * PCT + 50) // 100


def k(v):
    """A coordinate in 100 % pixels at the current scale, unrounded."""
    return v * PCT / 100

BRAND = (15, 157, 138)        # 青梧 green-teal
BRAND_DARK = (10, 118, 104)
BRAND_LIGHT = (98, 205, 186)
INK = (26, 52, 58)
LINE = (214, 222, 226)


def canvas(w, h, fill=(0, 0, 0, 0)):
    return Image.new("RGBA", (w * SS, h * SS), fill)


def finish(img, w, h):
    return img.resize((w, h), Image.LANCZOS)


def scaled_name(name):
    if PCT == 100:
        return name
    stem, ext = os.path.splitext(name)
    return "%s@%d%s" % (stem, PCT, ext)


# The palette reduction's quality floor (pngquant's 0-100 scale). Small
# drawings of a few flat colours and their edges look the same at 70; smooth
# gradients need 85, below which they show bands.
FLAT = "70-90"
SMOOTH = "85-100"


def save(img, name, quality=FLAT):
    # No metadata chunks: the same drawing gives the same bytes. Fully
    # transparent pixels load as all zeros whatever their colour, so they are
    # stored as zeros, which packs better.
    if img.mode == "RGBA":
        clear = Image.new("RGBA", img.size, (0, 0, 0, 0))
        img = Image.composite(img, clear, img.getchannel("A").point(lambda a: 255 if a else 0))
    write_png(img, os.path.join(SKIN, scaled_name(name)), quality)


def write_png(img, out, quality=SMOOTH):
    """Stores an image as the smaller of a lossless and a palette-reduced PNG.

    The palette reduction keeps what the eye cannot tell apart (smooth
    gradients, anti-aliased edges with their alpha) at about a third fewer
    bytes; every image is shipped inside each program, so those bytes count.
    Both tools are deterministic, so the same drawing gives the same file.
    """
    with tempfile.TemporaryDirectory() as tmp:
        raw = os.path.join(tmp, "raw.png")
        img.save(raw, "PNG", optimize=True)
        # zopflipng is lossless: it picks the smallest colour type (a palette
        # where the colours allow), the best filter per row and the tightest
        # deflate stream, and drops every ancillary chunk.
        lossless = os.path.join(tmp, "lossless.png")
        run(["zopflipng", "-y", "--filters=0me", raw, lossless])
        best = lossless
        # No dithering: dither noise costs bytes and shows on flat fills. A
        # drawing the quantizer cannot hold at the quality floor keeps its
        # lossless form (pngquant then exits with 99 and writes nothing).
        quant = os.path.join(tmp, "quant.png")
        done = subprocess.run(["pngquant", "--speed", "1", "--nofs", "--quality", quality,
                               "--strip", "--force", "--output", quant, raw],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if done.returncode == 0:
            packed = os.path.join(tmp, "packed.png")
            run(["zopflipng", "-y", "-m", quant, packed])
            if os.path.getsize(packed) < os.path.getsize(best):
                best = packed
        shutil.copyfile(best, out)


def run(argv):
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)


def vgradient(w, h, top, bottom):
    img = Image.new("RGBA", (w, h))
    d = ImageDraw.Draw(img)
    for y in range(h):
        t = y / max(1, h - 1)
        c = tuple(round(top[i] + (bottom[i] - top[i]) * t) for i in range(len(top)))
        d.line((0, y, w - 1, y), fill=c)
    return img


def hgradient(w, h, left, right):
    return vgradient(h, w, left, right).transpose(Image.TRANSPOSE)


def rounded_mask(w, h, r):
    m = Image.new("L", (w, h), 0)
    ImageDraw.Draw(m).rounded_rectangle((0, 0, w - 1, h - 1), r, fill=255)
    return m


def leaf(draw, cx, cy, size, angle_flip, fill):
    # A simple leaf: two arcs meeting at the tips, drawn as an ellipse pair.
    s = size
    if angle_flip:
        box = (cx - s, cy - s * 0.45, cx + s, cy + s * 0.45)
    else:
        box = (cx - s * 0.45, cy - s, cx + s * 0.45, cy + s)
    draw.ellipse(box, fill=fill)


def mark(size):
    """The product mark: a rounded teal square with a white cloud and a leaf."""
    S = size * SS
    img = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    grad = vgradient(S, S, BRAND_LIGHT + (255,), BRAND_DARK + (255,))
    img.paste(grad, (0, 0), rounded_mask(S, S, int(S * 0.24)))
    d = ImageDraw.Draw(img)
    w = (255, 255, 255, 255)
    # cloud: three circles on a flat base
    base_y = S * 0.66
    d.ellipse((S * 0.17, S * 0.44, S * 0.45, S * 0.72), fill=w)
    d.ellipse((S * 0.32, S * 0.30, S * 0.66, S * 0.64), fill=w)
    d.ellipse((S * 0.55, S * 0.42, S * 0.83, S * 0.70), fill=w)
    d.rectangle((S * 0.31, S * 0.56, S * 0.69, base_y + S * 0.06), fill=w)
    d.rounded_rectangle((S * 0.17, S * 0.58, S * 0.83, S * 0.72), int(S * 0.07), fill=w)
    # a small leaf growing from the cloud, in the brand colour
    leafimg = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    ld = ImageDraw.Draw(leafimg)
    ld.ellipse((S * 0.45, S * 0.34, S * 0.57, S * 0.58), fill=BRAND + (255,))
    leafimg = leafimg.rotate(-35, center=(S * 0.51, S * 0.46), resample=Image.BICUBIC)
    img.alpha_composite(leafimg)
    d.line((S * 0.50, S * 0.60, S * 0.53, S * 0.50), fill=BRAND_DARK + (255,), width=max(1, S // 40))
    return img.resize((size, size), Image.LANCZOS)


def bk_top():
    w, h = sz(560), sz(420)
    img = vgradient(w * SS, h * SS, (226, 244, 240, 255), (255, 255, 255, 255))
    # large, calm shapes, away from the text of the lower part; their edges
    # are crisp, since a blurred edge gives every pixel a colour of its own,
    # which multiplies this image's bytes at every scale
    deco = Image.new("RGBA", img.size, BRAND_LIGHT + (0,))
    d = ImageDraw.Draw(deco)
    d.ellipse((k(380) * SS, k(-120) * SS, k(700) * SS, k(200) * SS), fill=BRAND_LIGHT + (46,))
    d.ellipse((k(440) * SS, k(-40) * SS, k(640) * SS, k(160) * SS), fill=BRAND + (30,))
    # one gentle arc rising from the lower left; a second shape there would
    # pull the eye away from the logo
    d.ellipse((k(-260) * SS, k(200) * SS, k(150) * SS, k(610) * SS), fill=BRAND_LIGHT + (30,))
    img.alpha_composite(deco)
    # a thin line closing the upper part: one pixel at every scale
    ImageDraw.Draw(img).rectangle((0, (h - 1) * SS, w * SS, h * SS), fill=(236, 241, 243, 255))
    return finish(img, w, h)


def logo():
    w, h = sz(311), sz(72)
    img = canvas(w, h)
    m = mark(sz(60)).resize((round(k(60) * SS), round(k(60) * SS)), Image.LANCZOS)
    img.alpha_composite(m, (round(k(2) * SS), round(k(6) * SS)))
    d = ImageDraw.Draw(img)
    font = ImageFont.truetype(FONT, round(k(36) * SS))
    x, y = k(76) * SS, k(14) * SS
    d.text((x, y), "青梧", font=font, fill=BRAND_DARK + (255,))
    x += d.textlength("青梧", font=font) + k(2) * SS
    d.text((x, y), "云端助手", font=font, fill=INK + (255,))
    return finish(img, w, h)


def pill_button(top, bottom, shadow_alpha):
    w, h = sz(200), sz(64)
    img = canvas(w, h)
    bx0, by0, bx1, by1 = k(12), k(10), k(188), k(54)
    shadow = Image.new("RGBA", img.size, (0, 0, 0, 0))
    ImageDraw.Draw(shadow).rounded_rectangle(
        ((bx0 + k(2)) * SS, (by0 + k(5)) * SS, (bx1 - k(2)) * SS, (by1 + k(4)) * SS), k(22) * SS,
        fill=BRAND_DARK + (shadow_alpha,))
    shadow = shadow.filter(ImageFilter.GaussianBlur(k(4) * SS))
    img.alpha_composite(shadow)
    bw, bh = round((bx1 - bx0) * SS), round((by1 - by0) * SS)
    grad = vgradient(bw, bh, top + (255,), bottom + (255,))
    body = Image.new("RGBA", img.size, (0, 0, 0, 0))
    body.paste(grad, (round(bx0 * SS), round(by0 * SS)), rounded_mask(bw, bh, round(k(22) * SS)))
    img.alpha_composite(body)
    # a faint highlight on the upper half
    hl = Image.new("RGBA", img.size, (0, 0, 0, 0))
    ImageDraw.Draw(hl).rounded_rectangle(
        ((bx0 + k(1)) * SS, (by0 + k(1)) * SS, (bx1 - k(1)) * SS, (by0 + k(20)) * SS), k(20) * SS,
        fill=(255, 255, 255, 28))
    img.alpha_composite(hl)
    return finish(img, w, h)


def bottom_panel():
    w, h = sz(560), sz(122)
    img = vgradient(w, h, (247, 249, 250, 255), (241, 244, 246, 255))
    # a hairline: one pixel at every scale
    ImageDraw.Draw(img).line((0, 0, w, 0), fill=(228, 233, 236, 255))
    return img


def outlined_box(w, h, outline):
    w, h = sz(w), sz(h)
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    # the outline stays one pixel wide at every scale, as a system edit's does
    d.rounded_rectangle((0, 0, w * SS - 1, h * SS - 1), k(5) * SS, fill=(255, 255, 255, 255),
                        outline=outline + (255,), width=SS)
    return finish(img, w, h)


def edit_box():
    return outlined_box(390, 40, LINE)


def browse_button():
    return outlined_box(83, 40, (190, 204, 209))


def check_box(selected):
    w, h = sz(14), sz(15)
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    box = (k(0.5) * SS, k(1) * SS, k(13.5) * SS, k(14) * SS)
    if selected:
        d.rounded_rectangle(box, k(3) * SS, fill=BRAND + (255,))
        d.line([(k(3.4) * SS, k(7.6) * SS), (k(6.0) * SS, k(10.2) * SS),
                (k(10.8) * SS, k(4.8) * SS)],
               fill=(255, 255, 255, 255), width=int(k(1.8) * SS), joint="curve")
    else:
        d.rounded_rectangle(box, k(3) * SS, fill=(255, 255, 255, 255),
                            outline=(160, 172, 178, 255), width=SS)
    return finish(img, w, h)


def chevron(up):
    w, h = sz(8), sz(5)
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    pts = [(k(0.8) * SS, k(1.0) * SS), (k(4) * SS, k(4.0) * SS), (k(7.2) * SS, k(1.0) * SS)]
    if up:
        pts = [(x, h * SS - y) for x, y in pts]
    d.line(pts, fill=(90, 104, 110, 255), width=int(k(1.3) * SS), joint="curve")
    return finish(img, w, h)


def progress_bar(fill):
    w, h = sz(490), sz(6)
    img = canvas(w, h)
    if fill:
        grad = hgradient(w * SS, h * SS, BRAND_LIGHT + (255,), BRAND + (255,))
        img.paste(grad, (0, 0), rounded_mask(w * SS, h * SS, round(k(3) * SS)))
    else:
        ImageDraw.Draw(img).rounded_rectangle((0, 0, w * SS - 1, h * SS - 1), k(3) * SS,
                                              fill=(222, 229, 232, 255))
    return finish(img, w, h)


def min_bar():
    # The skin draws it into a band sz(1) high (two pixels at 150 %); the bar
    # fills it, solid, whatever its height.
    return Image.new("RGBA", (sz(14), sz(1)), (92, 106, 112, 255))


def close_cross():
    w, h = sz(13), sz(13)
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    c = (92, 106, 112, 255)
    a, b = k(1.5) * SS, k(11.5) * SS
    d.line((a, a, b, b), fill=c, width=int(k(1.4) * SS))
    d.line((b, a, a, b), fill=c, width=int(k(1.4) * SS))
    return finish(img, w, h)


def icon():
    # Windows draws the frame nearest above the size it needs and scales it
    # down, so the sizes in between (96, 128) come well enough from 256.
    sizes = [16, 20, 24, 32, 40, 48, 64, 256]
    big = mark(256)
    frames = []
    with tempfile.TemporaryDirectory() as tmp:
        for s in sizes:
            path = os.path.join(tmp, "%d.png" % s)
            write_png(big if s == 256 else big.resize((s, s), Image.LANCZOS), path)
            with open(path, "rb") as f:
                frames.append(f.read())
    # ICONDIR, then one 16-byte entry per frame, then the PNG frames; a width
    # or height of 0 means 256.
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, png in zip(sizes, frames):
        side = 0 if s == 256 else s
        data += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(png), offset)
        offset += len(png)
    with open(os.path.join(ROOT, "installer", "app", "Quillmossdex.ico"), "wb") as f:
        f.write(data + b"".join(frames))


def main():
    global PCT
    for tool in ("pngquant", "zopflipng"):
        if not shutil.which(tool):
            sys.exit("make_images.py needs %s (Debian package %s)"
                     % (tool, "zopfli" if tool == "zopflipng" else tool))
    only = [int(a) for a in sys.argv[1:]] or list(SCALES)
    for PCT in only:
        save(bk_top(), "bk_top.png", SMOOTH)
        save(logo(), "logo.png")
        save(pill_button(BRAND_LIGHT, BRAND, 90), "buttom.png")
        if PCT == 100:
            # Not referenced by the skin document; only its 100 % drawing
            # travels.
            save(pill_button(BRAND, BRAND_DARK, 110), "button2.png")
        save(bottom_panel(), "bottom.png", SMOOTH)
        save(edit_box(), "edit.png")
        save(browse_button(), "browse.png")
        save(check_box(False), "option_normal.png")
        save(check_box(True), "option_select.png")
        save(chevron(False), "down.png")
        save(chevron(True), "up.png")
        save(progress_bar(False), "progress_bk.png", SMOOTH)
        save(progress_bar(True), "progress.png", SMOOTH)
        save(min_bar(), "min.png")
        save(close_cross(), "close.png")
    PCT = 100
    if 100 in only:
        icon()


if __name__ == "__main__":
    main()
