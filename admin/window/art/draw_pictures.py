#!/usr/bin/env python3
"""Draws the program's icon and the 16 x 16 pictures of ImageList1 and writes them as .ico files.

The pictures are drawn from simple shapes in a 16-unit design grid, with 4 x 4 supersampling for
soft edges.  The .ico files next to this script are its output and are committed, so a build
needs nothing but the resource compiler; run this script again after changing a picture.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 4  # samples per pixel and axis


def rgba(hexcolor, a=255):
    h = hexcolor.lstrip('#')
    return (int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16), a)


# --- shapes: each is inside(x, y) over design units (0..16 at every size) ---------------------
def rect(x0, y0, x1, y1, r=0.0):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        if r <= 0:
            return True
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def ring(cx, cy, rx, ry, w):
    outer, inner = ellipse(cx, cy, rx, ry), ellipse(cx, cy, rx - w, ry - w)
    return lambda x, y: outer(x, y) and not inner(x, y)


def polygon(points):
    def inside(x, y):
        c = False
        n = len(points)
        for i in range(n):
            (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < (xb - xa) * (y - ya) / (yb - ya) + xa:
                c = not c
        return c
    return inside


def line(xa, ya, xb, yb, w):
    dx, dy = xb - xa, yb - ya
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length2))
        px, py = xa + t * dx, ya + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (w / 2) ** 2
    return inside


def clip(shape, clipper):
    return lambda x, y: shape(x, y) and clipper(x, y)


def minus(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


# --- canvas ----------------------------------------------------------------------------------
class Canvas:
    def __init__(self, size):
        self.n = size
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]  # premultiplied floats

    def fill(self, shape, color, vertical=None):
        """Paints `shape` with `color`; `vertical` = (top, bottom) colours for a gradient."""
        n, scale = self.n, 16.0 / self.n
        for j in range(n):
            for i in range(n):
                hits = 0
                for sj in range(SS):
                    for si in range(SS):
                        x = (i + (si + 0.5) / SS) * scale
                        y = (j + (sj + 0.5) / SS) * scale
                        if shape(x, y):
                            hits += 1
                if not hits:
                    continue
                c = color
                if vertical:
                    t = (j + 0.5) / n
                    c = tuple(vertical[0][k] + (vertical[1][k] - vertical[0][k]) * t for k in range(4))
                a = c[3] / 255.0 * hits / (SS * SS)
                r0, g0, b0, a0 = self.px[j][i]
                self.px[j][i] = (c[0] / 255.0 * a + r0 * (1 - a), c[1] / 255.0 * a + g0 * (1 - a),
                                 c[2] / 255.0 * a + b0 * (1 - a), a + a0 * (1 - a))

    def bgra_rows_bottom_up(self):
        rows = []
        for j in reversed(range(self.n)):
            row = bytearray()
            for i in range(self.n):
                r, g, b, a = self.px[j][i]
                if a <= 0:
                    row += b'\0\0\0\0'
                    continue
                row += bytes((round(b / a * 255), round(g / a * 255), round(r / a * 255), round(a * 255)))
            rows.append(bytes(row))
        return rows

    def mask_rows_bottom_up(self):
        stride = ((self.n + 31) // 32) * 4
        rows = []
        for j in reversed(range(self.n)):
            bits = bytearray(stride)
            for i in range(self.n):
                if self.px[j][i][3] * 255 < 1:
                    bits[i // 8] |= 0x80 >> (i % 8)
            rows.append(bytes(bits))
        return rows


def write_ico(path, canvases):
    images = []
    for c in canvases:
        pixels = b''.join(c.bgra_rows_bottom_up())
        mask = b''.join(c.mask_rows_bottom_up())
        header = struct.pack('<IiiHHIIiiII', 40, c.n, c.n * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
        images.append(header + pixels + mask)
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, data in zip(canvases, images):
        out += struct.pack('<BBBBHHII', c.n % 256, c.n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


# --- the pictures ----------------------------------------------------------------------------
OUTLINE_FOLDER = rgba('#b07d10')
FOLDER_BACK = rgba('#e8b530')
FOLDER_FRONT = (rgba('#ffe07a'), rgba('#f5c342'))


def folder(c):
    c.fill(rect(0.5, 2.5, 7.0, 5.5, 1.0), OUTLINE_FOLDER)          # tab, outline
    c.fill(rect(1.0, 3.0, 6.5, 5.5, 0.6), FOLDER_BACK)
    c.fill(rect(0.5, 4.0, 15.5, 14.0, 1.0), OUTLINE_FOLDER)        # body, outline
    c.fill(rect(1.0, 4.5, 15.0, 13.5, 0.6), None, FOLDER_FRONT)
    c.fill(rect(1.0, 6.0, 15.0, 6.6), rgba('#fff3c4'))            # rim light


def picture_ou(c):  # organisational unit: a folder holding a blue directory card
    folder(c)
    c.fill(rect(6.0, 7.5, 13.5, 12.5, 0.8), rgba('#1f5fa8'))
    c.fill(rect(6.6, 8.1, 12.9, 11.9, 0.5), rgba('#4f93dc'))
    c.fill(ellipse(8.3, 9.3, 1.0, 1.0), rgba('#ffffff'))
    c.fill(rect(7.1, 10.6, 9.5, 11.6, 0.5), rgba('#ffffff'))
    c.fill(rect(10.3, 8.8, 12.3, 9.5), rgba('#ffffff', 220))
    c.fill(rect(10.3, 10.4, 12.3, 11.1), rgba('#ffffff', 220))


def picture_domain(c):  # domain: a globe
    c.fill(ellipse(8, 8, 7.2, 7.2), rgba('#144a8c'))
    c.fill(ellipse(8, 8, 6.6, 6.6), None, (rgba('#6fb6f2'), rgba('#1e6cc4')))
    land = clip(lambda x, y: True, ellipse(8, 8, 6.6, 6.6))
    c.fill(clip(polygon([(3.0, 4.5), (6.5, 3.0), (8.0, 5.0), (6.5, 7.5), (4.0, 8.5), (2.0, 7.0)]), land),
           rgba('#5cb85c'))
    c.fill(clip(polygon([(9.5, 7.5), (13.5, 7.0), (14.5, 10.0), (11.5, 13.5), (9.5, 11.0)]), land),
           rgba('#5cb85c'))
    c.fill(clip(ring(8, 8, 3.2, 6.6, 0.55), land), rgba('#ffffff', 170))
    c.fill(clip(rect(1.0, 7.7, 15.0, 8.3), land), rgba('#ffffff', 170))
    c.fill(clip(rect(7.72, 1.0, 8.28, 15.0), land), rgba('#ffffff', 170))


def picture_directory_root(c):  # directory root: the top of a hierarchy
    blue = rgba('#1f5fa8')
    for x0, y0 in ((5.0, 0.5), (0.5, 10.0), (9.5, 10.0)):
        c.fill(rect(x0, y0, x0 + 6.0, y0 + 5.0, 0.9), blue)
        c.fill(rect(x0 + 0.6, y0 + 0.6, x0 + 5.4, y0 + 4.4, 0.5), None, (rgba('#9fd0ff'), rgba('#3f86d6')))
    c.fill(rect(7.5, 5.5, 8.5, 8.0), rgba('#404040'))
    c.fill(rect(3.0, 7.5, 13.0, 8.5), rgba('#404040'))
    c.fill(rect(3.0, 7.5, 4.0, 10.0), rgba('#404040'))
    c.fill(rect(12.0, 7.5, 13.0, 10.0), rgba('#404040'))


def picture_container(c):  # container: a plain folder
    folder(c)


def picture_computer(c):  # computer: a monitor on its stand
    c.fill(rect(0.5, 1.0, 15.5, 11.5, 1.0), rgba('#4a4a4a'))
    c.fill(rect(1.0, 1.5, 15.0, 11.0, 0.7), rgba('#c8c8c8'))
    c.fill(rect(2.0, 2.5, 14.0, 10.0), None, (rgba('#7ec3ff'), rgba('#1d5fb5')))
    c.fill(polygon([(2.0, 2.5), (9.0, 2.5), (2.0, 7.5)]), rgba('#ffffff', 60))
    c.fill(rect(6.5, 11.5, 9.5, 13.0), rgba('#6a6a6a'))
    c.fill(rect(3.5, 13.0, 12.5, 15.0, 0.8), rgba('#4a4a4a'))
    c.fill(rect(4.0, 13.5, 12.0, 14.5, 0.4), rgba('#b4b4b4'))


def person(c, cx, top, size, shirt, dark):
    s = size / 16.0
    c.fill(ellipse(cx, top + 4.2 * s, 3.6 * s, 3.8 * s), dark)
    c.fill(ellipse(cx, top + 4.2 * s, 3.0 * s, 3.2 * s), rgba('#f6c9a0'))
    c.fill(clip(ellipse(cx, top + 16.5 * s, 7.5 * s, 7.7 * s), rect(0, 0, 16, top + 15.5 * s)), dark)
    c.fill(clip(ellipse(cx, top + 16.5 * s, 6.9 * s, 7.1 * s), rect(0, 0, 16, top + 15.0 * s)), None, shirt)


def picture_user(c):  # user: head and shoulders
    person(c, 8.0, 0.3, 16.0, (rgba('#5aa0e8'), rgba('#1f5fa8')), rgba('#173f6f'))


def picture_blank(c):
    pass


def application_icon(c):
    c.fill(rect(0.4, 0.4, 15.6, 15.6, 3.0), rgba('#0f3f78'))
    c.fill(rect(0.9, 0.9, 15.1, 15.1, 2.6), None, (rgba('#3f9af0'), rgba('#134f9a')))
    white = rgba('#ffffff')
    c.fill(ellipse(6.6, 5.6, 2.5, 2.6), white)
    c.fill(clip(ellipse(6.6, 14.6, 5.0, 5.2), rect(0, 0, 16, 13.4)), white)
    # a gear in the lower right: the administration of the profiles
    gear = minus(ellipse(11.8, 11.6, 2.5, 2.5), ellipse(11.8, 11.6, 1.0, 1.0))
    teeth = [line(11.8 + 2.2 * math.cos(a), 11.6 + 2.2 * math.sin(a),
                  11.8 + 3.3 * math.cos(a), 11.6 + 3.3 * math.sin(a), 1.3)
             for a in [k * math.pi / 4 for k in range(8)]]
    c.fill(ellipse(11.8, 11.6, 3.9, 3.9), rgba('#0f3f78'))
    c.fill(lambda x, y: (gear(x, y) or any(t(x, y) for t in teeth)) and not ellipse(11.8, 11.6, 1.0, 1.0)(x, y),
           rgba('#ffb92e'))


def draw(fn, size):
    c = Canvas(size)
    fn(c)
    return c


def main():
    pictures = {
        'ou': picture_ou, 'domain': picture_domain, 'directory_root': picture_directory_root,
        'container': picture_container, 'computer': picture_computer, 'user': picture_user,
        'blank': picture_blank,
    }
    for name, fn in pictures.items():
        write_ico(os.path.join(HERE, name + '.ico'), [draw(fn, 16)])
    write_ico(os.path.join(HERE, 'VelaConfig.ico'), [draw(application_icon, n) for n in (16, 20, 24, 32, 40, 48, 64)])


if __name__ == '__main__':
    main()
