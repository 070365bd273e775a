#!/usr/bin/env python3
"""Draws Quillory's icons and cursors and writes them as .ico/.cur files.

Every picture is a few shapes described by signed distance functions on a 32-unit canvas,
sampled 4 x 4 per pixel, so the 16 x 16 and 32 x 32 images of one icon are the same
drawing and the output is byte-identical on every run. Only the standard library is used.

    make_icons.py OUTPUT_DIR
"""
import math
import os
import struct
import sys

# ---------------------------------------------------------------------------------------
# Shapes: functions (x, y) -> signed distance in canvas units (negative inside).


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def box(x0, y0, x1, y1, radius=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return sdf


def capsule(ax, ay, bx, by, r):
    def sdf(x, y):
        px, py, ex, ey = x - ax, y - ay, bx - ax, by - ay
        h = max(0.0, min(1.0, (px * ex + py * ey) / (ex * ex + ey * ey)))
        return math.hypot(px - ex * h, py - ey * h) - r
    return sdf


def polygon(points):
    def sdf(x, y):
        d = (x - points[0][0]) ** 2 + (y - points[0][1]) ** 2
        sign = 1.0
        j = len(points) - 1
        for i in range(len(points)):
            vi, vj = points[i], points[j]
            ex, ey = vj[0] - vi[0], vj[1] - vi[1]
            wx, wy = x - vi[0], y - vi[1]
            h = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            bx, by = wx - ex * h, wy - ey * h
            d = min(d, bx * bx + by * by)
            c = (y >= vi[1], y < vj[1], ex * wy > ey * wx)
            if all(c) or not any(c):
                sign = -sign
            j = i
        return sign * math.sqrt(d)
    return sdf


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def ring(cx, cy, r, width):
    c = circle(cx, cy, r)
    return lambda x, y: abs(c(x, y)) - width / 2


def half_plane(nx, ny, offset):
    """Inside where nx*x + ny*y < offset."""
    length = math.hypot(nx, ny)
    return lambda x, y: (nx * x + ny * y - offset) / length


def rotated(shape, cx, cy, angle):
    ca, sa = math.cos(angle), math.sin(angle)

    def sdf(x, y):
        dx, dy = x - cx, y - cy
        return shape(cx + dx * ca + dy * sa, cy - dx * sa + dy * ca)
    return sdf


def grown(shape, amount):
    return lambda x, y: shape(x, y) - amount


# ---------------------------------------------------------------------------------------
# Drawing: a picture is a list of (shape, colour, outline colour or None).

OUTLINE_PX = 1.0
SUB = 4


def hexcolor(text):
    text = text.lstrip('#')
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def render(layers, size):
    scale = 32.0 / size
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            # Premultiplied accumulation of the layers, bottom first.
            r = g = b = a = 0.0
            expanded = []
            for shape, fill, outline in layers:
                if outline is not None:
                    expanded.append((grown(shape, OUTLINE_PX * scale), outline))
                expanded.append((shape, fill))
            for shape, colour in expanded:
                hits = 0
                for sy in range(SUB):
                    for sx in range(SUB):
                        x = (px + (sx + 0.5) / SUB) * scale
                        y = (py + (sy + 0.5) / SUB) * scale
                        if shape(x, y) < 0:
                            hits += 1
                cov = hits / (SUB * SUB)
                if cov == 0:
                    continue
                cr, cg, cb = hexcolor(colour)
                r = cr * cov + r * (1 - cov)
                g = cg * cov + g * (1 - cov)
                b = cb * cov + b * (1 - cov)
                a = cov + a * (1 - cov)
            if a > 0:
                row.append((round(r / a), round(g / a), round(b / a), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def dib(pixels):
    size = len(pixels)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def write_group(path, images, cursor_hotspot=None):
    """images: list of pixel grids. A cursor stores its hot spot where an icon stores
    planes and bit count."""
    kind = 2 if cursor_hotspot else 1
    blobs = [dib(p) for p in images]
    out = bytearray(struct.pack('<HHH', 0, kind, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for pixels, blob in zip(images, blobs):
        size = len(pixels)
        if cursor_hotspot:
            f1, f2 = (round(c * size / 32) for c in cursor_hotspot)
        else:
            f1, f2 = 1, 32
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, f1, f2, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    with open(path, 'wb') as f:
        f.write(out)


# ---------------------------------------------------------------------------------------
# The pictures. One palette for the whole set.

BLUE, BLUE_DARK = '#2F6FD0', '#173A73'
GREY, GREY_DARK = '#8A939C', '#3C4249'
WHITE, BLACK = '#FFFFFF', '#000000'
GOLD, GOLD_DARK = '#E3A617', '#6B4E00'
RED, RED_DARK = '#D23A2E', '#6E1710'
GREEN = '#3FA34D'
YELLOW, YELLOW_DARK = '#F2C744', '#7A5B0C'


def quillory(background, dark):
    # A quill over a tray bar on a rounded tile.
    tile = box(2, 2, 30, 30, 6)
    leaf = rotated(intersect(circle(16, 16 - 9, 13), circle(16, 16 + 9, 13)), 16, 14, -math.pi / 4)
    feather = intersect(leaf, half_plane(-1, -1, -18))
    shaft = capsule(7.5, 24.5, 21, 11, 0.9)
    tray = box(6, 24.5, 26, 27.5, 1.5)
    return [(tile, background, dark), (feather, WHITE, None), (shaft, dark, None),
            (tray, WHITE, None)]


def padlock(closed):
    body = box(7, 14, 25, 29, 2.5)
    lift = 0 if closed else 4
    cx, cy, r = 16, 11 - lift, 5.5
    arc = intersect(ring(cx, cy, r, 2.6), half_plane(0, 1, cy))
    right = capsule(cx + r, cy, cx + r, 14, 1.3)
    left = capsule(cx - r, cy, cx - r, 14 if closed else cy + 1, 1.3)
    keyhole = union(circle(16, 20, 2), box(15, 20, 17, 25))
    return [(union(arc, right, left), GREY, GREY_DARK), (body, GOLD, GOLD_DARK),
            (keyhole, GOLD_DARK, None)]


def gear():
    teeth = [rotated(box(13.5, 1.5, 18.5, 8), 16, 16, k * math.pi / 4) for k in range(8)]
    wheel = subtract(union(circle(16, 16, 10), *teeth), circle(16, 16, 4.5))
    return [(wheel, GREY, GREY_DARK)]


def help_mark():
    disc = circle(16, 16, 14)
    hook = intersect(ring(16, 11.5, 5, 3), union(half_plane(0, 1, 11.5), half_plane(-1, 0, -16)))
    stem = capsule(16, 16.5, 16, 19.5, 1.5)
    dot = circle(16, 24.5, 2)
    return [(disc, BLUE, BLUE_DARK), (union(hook, stem, dot), WHITE, None)]


def exit_mark():
    disc = circle(16, 16, 14)
    arc = intersect(ring(16, 17, 7.5, 2.8), union(half_plane(0, -1, -12), box(-1, -1, 12.5, 40),
                                                   box(19.5, -1, 40, 40)))
    bar = capsule(16, 7, 16, 16, 1.5)
    return [(disc, RED, RED_DARK), (union(arc, bar), WHITE, None)]


def generic_tile():
    tile = box(4, 4, 28, 28, 4)
    inner = box(10, 10, 22, 22, 2)
    return [(tile, GREY, GREY_DARK), (inner, WHITE, None)]


def window():
    frame = box(3, 5, 29, 27, 1.5)
    title = box(3, 5, 29, 11, 1.5)
    lines = union(box(7, 15, 25, 16.5), box(7, 19, 21, 20.5), box(7, 23, 23, 24.5))
    return [(frame, WHITE, GREY_DARK), (title, BLUE, None), (lines, GREY, None)]


def registry_blocks():
    return [(box(3, 16, 14.5, 27.5, 1.5), BLUE, BLUE_DARK),
            (box(17.5, 16, 29, 27.5, 1.5), GREEN, GREY_DARK),
            (box(10, 3.5, 21.5, 15, 1.5), RED, RED_DARK)]


def folder():
    tab = box(3, 6, 14, 12, 1.5)
    body = box(3, 9, 29, 27, 2)
    return [(union(tab, body), YELLOW, YELLOW_DARK),
            (box(3, 13, 29, 27, 2), '#F7D76B', None)]


def hand():
    index = capsule(12.5, 4.5, 12.5, 17, 2.2)
    fingers = [capsule(16.5, 12, 16.5, 18, 2.1), capsule(20.5, 13, 20.5, 19, 2.1),
               capsule(24.5, 14.5, 24.5, 20, 2.0)]
    palm = box(10.3, 15, 26.5, 29, 3.5)
    thumb = capsule(10.8, 21.5, 6.5, 16.5, 2.1)
    return [(union(index, palm, thumb, *fingers), WHITE, BLACK)]


def drag_arrow():
    arrow = polygon([(1, 1), (1, 19), (5.5, 15), (9, 22.5), (12, 21), (8.8, 14), (14.5, 14)])
    tray = box(15, 22, 30, 30, 1.5)
    bar = box(17.5, 25, 27.5, 27, 0.8)
    return [(arrow, WHITE, BLACK), (tray, BLUE, BLUE_DARK), (bar, WHITE, None)]


ICONS = {
    'quillory.ico': quillory(BLUE, BLUE_DARK),
    'about.ico': quillory(BLUE, BLUE_DARK),
    'quillory_waiting.ico': quillory(GREY, GREY_DARK),
    'password_none.ico': padlock(False),
    'password_set.ico': padlock(True),
    'settings.ico': gear(),
    'help.ico': help_mark(),
    'exit.ico': exit_mark(),
    'menu_default.ico': generic_tile(),
    'window_default.ico': window(),
    'registry_group.ico': registry_blocks(),
    'folder_group.ico': folder(),
}

CURSORS = {
    'hand_link.cur': (hand(), (12.5, 2.5)),
    'drag_to_tray.cur': (drag_arrow(), (1, 1)),
}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, layers in ICONS.items():
        write_group(os.path.join(out, name), [render(layers, 32), render(layers, 16)])
    for name, (layers, hotspot) in CURSORS.items():
        write_group(os.path.join(out, name), [render(layers, 32)], cursor_hotspot=hotspot)


if __name__ == '__main__':
    main()
