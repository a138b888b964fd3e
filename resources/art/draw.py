#!/usr/bin/env python3
"""Draws the client's pictures and writes them into resources/.

    python3 resources/art/draw.py [--png DIR]

Writes Toolbar.bmp (bitmap 105: fourteen 16 x 15 images side by side),
App.ico (icon 113) and the three ring icons of the category tree. With
--png it also writes enlarged PNG previews into DIR for a look by eye.
Only the standard library is used; the generated files are committed, so
the build never runs this script.
"""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.dirname(HERE)

# Toolbar colours. The toolbar loads the bitmap as a mapped bitmap: the
# palette entries black, dark grey, light grey and white become the
# system's button colours, and light grey (the button face) is the
# transparent background. So pictures use light grey only as background.
PALETTE = {
    '.': (192, 192, 192),  # background: the button face
    'k': (0, 0, 0),
    'g': (128, 128, 128),
    'w': (255, 255, 255),
    'd': (64, 64, 64),
    'l': (224, 224, 224),
    'r': (204, 0, 0),
    'R': (255, 96, 96),
    'y': (255, 208, 0),
    'Y': (176, 128, 0),
    'n': (0, 128, 0),
    'N': (64, 192, 64),
    'b': (0, 64, 176),
    'B': (96, 160, 240),
    'c': (232, 240, 255),
}

# One picture per toolbar image, in button order; each 16 wide, 15 high.
TOOLBAR = [
    # 0: new schedule - a calendar page and a green plus
    """
................
..k..k..k..k....
.rkrrkrrkrrkrr..
.rrrrrrrrrrrrr..
.kwwwwwwwwwwwk..
.kwgwgwgwgwgwk..
.kwwwwwwwwwwwk..
.kwgwgwgwgwnnn..
.kwwwwwwwwwnNn..
.kwgwgwgwnnnNnnn
.kwwwwwwwnNNNNNn
.kkkkkkkknnnNnnn
...........nNn..
...........nnn..
................
""",
    # 1: category tree - ring states on the branches of a tree
    """
.kkk............
krwrk...........
kwrwk.gggggggg..
krwrk...........
.kkk............
..k...kkk.......
..k..krrrk......
..kkkkrrrk.gggg.
..k..krrrk......
..k...kkk.......
..k...kkk.......
..k..kwwwk......
..kkkkwwwk.gggg.
.....kwwwk......
......kkk.......
""",
    # 2: status bar - a window with its bottom strip marked
    """
................
.kkkkkkkkkkkkkk.
.kbbbbbbbbbbbbk.
.kkkkkkkkkkkkkk.
.kwwwwwwwwwwwwk.
.kwwwwwwwwwwwwk.
.kwwwwwwwwwwwwk.
.kwwwwwwwwwwwwk.
.kwwwwwwwwwwwwk.
.kwwwwwwwwwwwwk.
.kkkkkkkkkkkkkk.
.kyyyyyyyyygygk.
.kyyyyyyyyygygk.
.kkkkkkkkkkkkkk.
................
""",
    # 3: settings - a gear
    """
................
.......kk.......
...kk.kggk.kk...
..kggkkggkkggk..
...kgggggggggk..
...kgggkkgggk...
.kkgggk..kgggkk.
.kgggk....kgggk.
.kkgggk..kgggkk.
...kgggkkgggk...
..kgggggggggk...
..kggkkggkkggk..
...kk.kggk.kk...
.......kk.......
................
""",
    # 4: genres - a yellow tag with its string hole
    """
................
........kkkkkkk.
.......kyyyyyyk.
......kyyyyykyk.
.....kyyyyykwkk.
....kyyyyyyykyk.
...kyyyyyyyyyyk.
..kyyyyyyyyyyyk.
.kyyyyyyyyyyyk..
.kyyYyyyyyyyk...
..kyyYyyyyyk....
...kyyYyyyk.....
....kyyyyk......
.....kkkk.......
................
""",
    # 5: search - a magnifying glass
    """
................
...kkkkk........
..kcccccck......
.kccwwccccck....
.kcwwcccccck....
.kcwccccccck....
.kccccccccck....
.kccccccccck....
..kccccccck.....
...kkkkkkkdd....
..........ddd...
...........ddd..
............ddd.
.............dd.
................
""",
    # 6: refresh - two green arrows in a circle
    """
................
.....nnnnn.n....
...nnNNNNNnnn...
..nNn.....nNn...
..nn.....nNNn...
.nNn....nnnnn...
.nn.............
.nn...........n.
.............nn.
...nnnnn....nNn.
...nNNn.....nn..
...nNn.....nNn..
...nnnNNNNNnn...
....n.nnnnn.....
................
""",
    # 7: previous year - double arrow left
    """
................
................
.......kk.....kk
......kbk....kbk
.....kBbk...kBbk
....kBbbk..kBbbk
...kBbbbk.kBbbbk
..kBbbbbkkBbbbbk
...kbbbbk.kbbbbk
....kbbbk..kbbbk
.....kbbk...kbbk
......kbk....kbk
.......kk.....kk
................
................
""",
    # 8: previous month - single arrow left
    """
................
................
..........kk....
.........kbk....
........kBbk....
.......kBbbk....
......kBbbbk....
.....kBbbbbk....
......kbbbbk....
.......kbbbk....
........kbbk....
.........kbk....
..........kk....
................
................
""",
    # 9: today - a calendar page with today circled
    """
................
..k..k..k..k....
.rkrrkrrkrrkrr..
.rrrrrrrrrrrrr..
.kwwwwwwwwwwwk..
.kwgwgwgwgwgwk..
.kwwwwwrrrwwwk..
.kwgwgrwgwrgwk..
.kwwwwrwkwrwwk..
.kwgwgrwgwrgwk..
.kwwwwwrrrwwwk..
.kwgwgwgwgwgwk..
.kkkkkkkkkkkkk..
................
................
""",
    # 10: next month - single arrow right
    """
................
................
....kk..........
....kbk.........
....kBbk........
....kBbbk.......
....kBbbbk......
....kBbbbbk.....
....kbbbbk......
....kbbbk.......
....kbbk........
....kbk.........
....kk..........
................
................
""",
    # 11: next year - double arrow right
    """
................
................
kk.....kk.......
kbk....kbk......
kBbk...kBbk.....
kBbbk..kBbbk....
kBbbbk.kBbbbk...
kBbbbbkkBbbbbk..
kbbbbk.kbbbbk...
kbbbk..kbbbk....
kbbk...kbbk.....
kbk....kbk......
kk.....kk.......
................
................
""",
    # 12: support forum - two speech balloons
    """
................
.kkkkkkkk.......
kwwwwwwwwk......
kwkkwkkwwk......
kwwwwwwwwk......
kwkkkwkkwkkkkk..
.kkwwkkkkBBBBBk.
..kwkkBBBBBBBBBk
..kk.kBwwBwwwBBk
.....kBBBBBBBBBk
.....kBwwwBwwBBk
......kkkkkBBBk.
..........kBBk..
...........kkk..
................
""",
    # 13: help - a question mark in a blue disc
    """
................
.....kkkkkk.....
....kbbbbbbk....
...kbbwwwwbbk...
..kbbwwbbwwbbk..
..kbbbbbbwwbbk..
..kbbbbbwwbbbk..
..kbbbbwwbbbbk..
..kbbbbwwbbbbk..
..kbbbbbbbbbbk..
...kbbbwwbbbk...
....kbbwwbbk....
.....kkkkkk.....
................
................
""",
]

ICON_WHITE = (255, 255, 255, 255)
ICON_BLACK = (0, 0, 0, 255)
ICON_RED = (255, 0, 0, 255)
CLEAR = (0, 0, 0, 0)


def parse_picture(text, width, height):
    rows = [row for row in text.strip('\n').split('\n')]
    if len(rows) != height or any(len(row) != width for row in rows):
        raise ValueError('picture is not %d x %d: %r' % (width, height, rows))
    return [[PALETTE[ch] for ch in row] for row in rows]


# ---- ring icons of the category tree ----
# Pure black, red and white with a hard edge: the tree's image list holds
# 16-colour images, and these colours survive that as they are. The 32 x 32
# image is the 16 x 16 one doubled, so that any shrink gives it back.

def ring(fill):
    """16 x 16 ring; fill(x, y) gives the colour of an inside pixel."""
    pixels = []
    for y in range(16):
        row = []
        for x in range(16):
            dx, dy = x + 0.5 - 8, y + 0.5 - 8
            d2 = dx * dx + dy * dy
            if d2 > 7.3 * 7.3:
                row.append(CLEAR)
            elif d2 > 5.0 * 5.0:
                row.append(ICON_BLACK)
            else:
                row.append(fill(x, y))
        pixels.append(row)
    return pixels


def doubled(pixels):
    out = []
    for row in pixels:
        wide = [p for p in row for _ in (0, 1)]
        out.append(wide)
        out.append(list(wide))
    return out


def ring_off(x, y):
    return ICON_WHITE


def ring_on(x, y):
    return ICON_RED


def ring_mixed(x, y):
    return ICON_RED if ((x // 2) + (y // 2)) % 2 == 0 else ICON_WHITE


# ---- the application icon: a calendar page with a sprig of mimosa ----

APP_COLOURS = {
    '.': (0, 0, 0, 0),
    'k': (0, 0, 0, 255),
    'd': (48, 48, 48, 255),
    'w': (255, 255, 255, 255),
    'g': (160, 160, 160, 255),
    'r': (204, 0, 0, 255),
    'Y': (176, 128, 0, 255),
    'y': (255, 216, 0, 255),
    'n': (0, 128, 0, 255),
}

# At 16 pixels every pixel is placed by hand.
APP_16 = """
....k......k....
....k......k....
.dddkddddddkddd.
.drrkrrrrrrkrrd.
.drrrrrrrrrrrrd.
.dwwwwwwwwYYwwd.
.dwgwgwgwYyyYgd.
.dwwwwwwwYyyYwd.
.dwgwgwgwgYYwgd.
.dwwwwYYwwnwYYd.
.dwgwYyyYnnYyyY.
.dwwwYyyYwnYyyY.
.dwgwgYYwwnwYYd.
.dwwwwwwwwwnwwd.
.dwgwgwgwgwgnnd.
.dddddddddddnnn.
"""


def app_icon(size):
    """The 16 pixel icon as placed by hand; the 32 pixel one drawn."""
    if size == 16:
        rows = APP_16.strip('\n').split('\n')
        return [[APP_COLOURS[ch] for ch in row] for row in rows]
    px = [[CLEAR] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                px[y][x] = colour

    def disc(cx, cy, r, colour):
        for y in range(size):
            for x in range(size):
                dx, dy = x + 0.5 - cx, y + 0.5 - cy
                if dx * dx + dy * dy <= r * r:
                    px[y][x] = colour

    c = APP_COLOURS
    # the page, its red header band and the two binder rings
    rect(2, 4, 30, 32, c['d'])
    rect(4, 6, 28, 30, c['w'])
    rect(4, 6, 28, 12, c['r'])
    for ring_x in (8, 22):
        rect(ring_x, 1, ring_x + 2, 8, c['k'])
    # the rules between the days
    for y in (16, 21, 26):
        rect(6, y, 26, y + 1, c['g'])
    for x in (11, 17, 23):
        rect(x, 14, x + 1, 29, c['g'])
    # the mimosa: a green stem from the lower right corner and round
    # yellow blossoms, each with a darker rim so that they stay apart
    for i in range(11):
        x, y = 31 - i, 31 - i * 11 // 10
        px[y][x] = px[y][x - 1] = c['n']
    for x, y in [(27, 28), (28, 26), (25, 27), (24, 24)]:
        px[y][x] = c['n']
    blossoms = [(24.5, 13.5), (18.5, 19.5), (27.5, 19.5), (22.5, 24.5)]
    for cx, cy in blossoms:
        disc(cx, cy, 3.6, c['Y'])
    for cx, cy in blossoms:
        disc(cx, cy, 2.4, c['y'])
    return px


# ---- file writers ----

def write_bmp8(path, pixels):
    """8-bit palette BMP (bottom-up) of rows of RGB tuples."""
    height, width = len(pixels), len(pixels[0])
    colours = sorted({p for row in pixels for p in row})
    index = {c: i for i, c in enumerate(colours)}
    stride = (width + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):
        line = bytes(index[p] for p in row)
        body += line + b'\0' * (stride - width)
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in colours)
    offset = 14 + 40 + len(table)
    header = struct.pack('<2sIHHI', b'BM', offset + len(body), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 0, len(body),
                       2835, 2835, len(colours), len(colours))
    with open(path, 'wb') as f:
        f.write(header + info + table + bytes(body))


def ico_image(pixels):
    """One icon image: 32-bit BGRA colour part and the 1-bit AND mask."""
    size = len(pixels)
    xor = bytearray()
    for row in reversed(pixels):
        for (r, g, b, a) in row:
            xor += bytes((b, g, r, a)) if a else b'\0\0\0\0'
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0,
                       len(xor) + len(mask), 0, 0, 0, 0)
    return info + bytes(xor) + bytes(mask)


def write_ico(path, images):
    datas = [ico_image(p) for p in images]
    out = struct.pack('<HHH', 0, 1, len(datas))
    offset = 6 + 16 * len(datas)
    for pixels, data in zip(images, datas):
        size = len(pixels)
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32,
                           len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(datas))


def write_png(path, pixels, zoom, backdrop=(192, 192, 192)):
    """Enlarged preview; transparent pixels shown on the backdrop colour."""
    rows = []
    for row in pixels:
        line = bytearray()
        for p in row:
            rgb = p[:3] if len(p) == 3 or p[3] else backdrop
            line += bytes(rgb) * zoom
        rows += [b'\0' + bytes(line)] * zoom
    height, width = len(pixels) * zoom, len(pixels[0]) * zoom

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    png = (b'\x89PNG\r\n\x1a\n' +
           chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
           chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) + chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(png)


def main(argv):
    strip = [[] for _ in range(15)]
    for text in TOOLBAR:
        picture = parse_picture(text, 16, 15)
        for y in range(15):
            strip[y] += picture[y]
    if len(TOOLBAR) != 14:
        raise ValueError('the toolbar needs fourteen pictures')

    # Icon files by resource id: 113 the application and tray icon; 114 to
    # 116 the category tree's item states (not shown, shown, partly shown).
    # The ring files keep the names they were first given in the resource
    # script; the picture each holds is the one its resource id stands for.
    rings = {
        'RingOn.ico': ring(ring_off),      # 114: not shown - empty ring
        'RingMixed.ico': ring(ring_on),    # 115: shown - ring filled red
        'RingOff.ico': ring(ring_mixed),   # 116: partly shown - red checker
    }
    write_bmp8(os.path.join(OUT, 'Toolbar.bmp'), strip)
    write_ico(os.path.join(OUT, 'App.ico'), [app_icon(16), app_icon(32)])
    for name, pixels in rings.items():
        write_ico(os.path.join(OUT, name), [pixels, doubled(pixels)])

    if len(argv) == 3 and argv[1] == '--png':
        folder = argv[2]
        os.makedirs(folder, exist_ok=True)
        write_png(os.path.join(folder, 'Toolbar.png'), strip, 4)
        write_png(os.path.join(folder, 'App16.png'), app_icon(16), 8)
        write_png(os.path.join(folder, 'App32.png'), app_icon(32), 4)
        for name, pixels in rings.items():
            write_png(os.path.join(folder, name[:-4] + '.png'), pixels, 8,
                      (255, 255, 255))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
