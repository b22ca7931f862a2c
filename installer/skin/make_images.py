#!/usr/bin/python3
# Draws the installer's skin images and program icon. The PNG files beside this
# script and installer/Quillmossdex.ico are its output and are committed, so
# the build needs no image tools; run it again after changing the artwork
# (needs Debian's python3-pil and fonts-wqy-microhei).
#
# Everything is drawn at four times the size and scaled down, which gives
# smooth edges without depending on the rasteriser's own anti-aliasing.
import os
from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
SS = 4  # supersampling factor

BRAND = (15, 157, 138)        # 青梧 green-teal
BRAND_DARK = (10, 118, 104)
BRAND_LIGHT = (98, 205, 186)
INK = (26, 52, 58)
LINE = (214, 222, 226)


def canvas(w, h, fill=(0, 0, 0, 0)):
    return Image.new("RGBA", (w * SS, h * SS), fill)


def finish(img, w, h):
    return img.resize((w, h), Image.LANCZOS)


def save(img, name):
    # No metadata chunks: the same drawing gives the same bytes.
    img.save(os.path.join(HERE, name), "PNG", optimize=True)


def vgradient(w, h, top, bottom):
    img = Image.new("RGBA", (w, h))
    px = img.load()
    for y in range(h):
        t = y / max(1, h - 1)
        c = tuple(round(top[i] + (bottom[i] - top[i]) * t) for i in range(len(top)))
        for x in range(w):
            px[x, y] = c
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
    w, h = 560, 420
    img = vgradient(w * SS, h * SS, (226, 244, 240, 255), (255, 255, 255, 255))
    # soft, large shapes: calm, and away from the text of the lower part
    # Transparent in the shapes' own colour: blurring against transparent
    # black would leave a grey rim around each shape.
    deco = Image.new("RGBA", img.size, BRAND_LIGHT + (0,))
    d = ImageDraw.Draw(deco)
    d.ellipse((380 * SS, -120 * SS, 700 * SS, 200 * SS), fill=BRAND_LIGHT + (46,))
    d.ellipse((440 * SS, -40 * SS, 640 * SS, 160 * SS), fill=BRAND + (30,))
    # one gentle arc rising from the lower left; a second shape there would
    # pull the eye away from the logo
    d.ellipse((-260 * SS, 200 * SS, 150 * SS, 610 * SS), fill=BRAND_LIGHT + (30,))
    deco = deco.filter(ImageFilter.GaussianBlur(6 * SS))
    img.alpha_composite(deco)
    # a thin line closing the upper part
    ImageDraw.Draw(img).rectangle((0, (h - 1) * SS, w * SS, h * SS), fill=(236, 241, 243, 255))
    return finish(img, w, h)


def logo():
    w, h = 311, 72
    img = canvas(w, h)
    m = mark(60).resize((60 * SS, 60 * SS), Image.LANCZOS)
    img.alpha_composite(m, (2 * SS, 6 * SS))
    d = ImageDraw.Draw(img)
    font = ImageFont.truetype(FONT, 36 * SS)
    x, y = 76 * SS, 14 * SS
    d.text((x, y), "青梧", font=font, fill=BRAND_DARK + (255,))
    x += d.textlength("青梧", font=font) + 2 * SS
    d.text((x, y), "云端助手", font=font, fill=INK + (255,))
    return finish(img, w, h)


def pill_button(top, bottom, shadow_alpha):
    w, h = 200, 64
    img = canvas(w, h)
    bx0, by0, bx1, by1 = 12, 10, 188, 54
    shadow = Image.new("RGBA", img.size, (0, 0, 0, 0))
    ImageDraw.Draw(shadow).rounded_rectangle(
        ((bx0 + 2) * SS, (by0 + 5) * SS, (bx1 - 2) * SS, (by1 + 4) * SS), 22 * SS,
        fill=BRAND_DARK + (shadow_alpha,))
    shadow = shadow.filter(ImageFilter.GaussianBlur(4 * SS))
    img.alpha_composite(shadow)
    bw, bh = (bx1 - bx0) * SS, (by1 - by0) * SS
    grad = vgradient(bw, bh, top + (255,), bottom + (255,))
    body = Image.new("RGBA", img.size, (0, 0, 0, 0))
    body.paste(grad, (bx0 * SS, by0 * SS), rounded_mask(bw, bh, 22 * SS))
    img.alpha_composite(body)
    # a faint highlight on the upper half
    hl = Image.new("RGBA", img.size, (0, 0, 0, 0))
    ImageDraw.Draw(hl).rounded_rectangle(
        ((bx0 + 1) * SS, (by0 + 1) * SS, (bx1 - 1) * SS, (by0 + 20) * SS), 20 * SS,
        fill=(255, 255, 255, 28))
    img.alpha_composite(hl)
    return finish(img, w, h)


def bottom_panel():
    w, h = 560, 122
    img = vgradient(w, h, (247, 249, 250, 255), (241, 244, 246, 255))
    ImageDraw.Draw(img).line((0, 0, w, 0), fill=(228, 233, 236, 255))
    return img


def edit_box():
    w, h = 390, 40
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle((0, 0, w * SS - 1, h * SS - 1), 5 * SS, fill=(255, 255, 255, 255),
                        outline=LINE + (255,), width=SS)
    return finish(img, w, h)


def browse_button():
    w, h = 83, 40
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle((0, 0, w * SS - 1, h * SS - 1), 5 * SS, fill=(255, 255, 255, 255),
                        outline=(190, 204, 209, 255), width=SS)
    return finish(img, w, h)


def check_box(selected):
    w, h = 14, 15
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    box = (0.5 * SS, 1 * SS, 13.5 * SS, 14 * SS)
    if selected:
        d.rounded_rectangle(box, 3 * SS, fill=BRAND + (255,))
        d.line([(3.4 * SS, 7.6 * SS), (6.0 * SS, 10.2 * SS), (10.8 * SS, 4.8 * SS)],
               fill=(255, 255, 255, 255), width=int(1.8 * SS), joint="curve")
    else:
        d.rounded_rectangle(box, 3 * SS, fill=(255, 255, 255, 255), outline=(160, 172, 178, 255),
                            width=SS)
    return finish(img, w, h)


def chevron(up):
    w, h = 8, 5
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    pts = [(0.8 * SS, 1.0 * SS), (4 * SS, 4.0 * SS), (7.2 * SS, 1.0 * SS)]
    if up:
        pts = [(x, h * SS - y) for x, y in pts]
    d.line(pts, fill=(90, 104, 110, 255), width=int(1.3 * SS), joint="curve")
    return finish(img, w, h)


def progress_bar(fill):
    w, h = 490, 6
    img = canvas(w, h)
    if fill:
        grad = hgradient(w * SS, h * SS, BRAND_LIGHT + (255,), BRAND + (255,))
        img.paste(grad, (0, 0), rounded_mask(w * SS, h * SS, 3 * SS))
    else:
        ImageDraw.Draw(img).rounded_rectangle((0, 0, w * SS - 1, h * SS - 1), 3 * SS,
                                              fill=(222, 229, 232, 255))
    return finish(img, w, h)


def min_bar():
    return Image.new("RGBA", (14, 1), (92, 106, 112, 255))


def close_cross():
    w, h = 13, 13
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    c = (92, 106, 112, 255)
    d.line((1.5 * SS, 1.5 * SS, 11.5 * SS, 11.5 * SS), fill=c, width=int(1.4 * SS))
    d.line((11.5 * SS, 1.5 * SS, 1.5 * SS, 11.5 * SS), fill=c, width=int(1.4 * SS))
    return finish(img, w, h)


def icon():
    sizes = [16, 20, 24, 32, 40, 48, 64, 96, 128, 256]
    big = mark(256)
    path = os.path.join(HERE, "..", "Quillmossdex.ico")
    big.save(path, format="ICO", sizes=[(s, s) for s in sizes])


def main():
    save(bk_top(), "bk_top.png")
    save(logo(), "logo.png")
    save(pill_button(BRAND_LIGHT, BRAND, 90), "buttom.png")
    save(pill_button(BRAND, BRAND_DARK, 110), "button2.png")
    save(bottom_panel(), "bottom.png")
    save(edit_box(), "edit.png")
    save(browse_button(), "browse.png")
    save(check_box(False), "option_normal.png")
    save(check_box(True), "option_select.png")
    save(chevron(False), "down.png")
    save(chevron(True), "up.png")
    save(progress_bar(False), "progress_bk.png")
    save(progress_bar(True), "progress.png")
    save(min_bar(), "min.png")
    save(close_cross(), "close.png")
    icon()


if __name__ == "__main__":
    main()
