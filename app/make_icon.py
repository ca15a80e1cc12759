"""Writes Quorvane.ico: the tray's chip glyph (16-unit grid) drawn anew at every size Windows asks
for, so no size is a scaled copy of another. Edges sit on whole pixels; only the rounded corners
of the larger sizes are antialiased.

    python3 make_icon.py OUT.ico [--wizard OUT.bmp] [--preview DIR]

The wizard image is the setup program's welcome and finish page picture: the chip on white.
"""
import math
import pathlib
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
PNG_FROM = 256  # sizes from here on are stored PNG-compressed, as Vista and later expect
BODY = (0x43, 0xA0, 0x47)  # the idle tray chip's colours
PINS = (0xFF, 0x98, 0x00)


def _round(v):
    return int(math.floor(v + 0.5))


def pin_row(size):
    """Width, pitch and first column of the four pins: whole pixels, a gap of at least one,
    the row centred exactly, as close as that allows to 1.5-unit pins at a 2.5-unit pitch."""
    u = size / 16
    best = None
    for w in range(1, size // 4 + 1):
        for p in range(w + 1, size // 3 + 1):
            span = 3 * p + w
            if span > size or (size - span) % 2:
                continue
            x0 = (size - span) // 2
            err = (w - 1.5 * u) ** 2 + (p - 2.5 * u) ** 2 + (x0 - 3.5 * u) ** 2
            if best is None or err < best[0]:
                best = (err, w, p, x0)
    return best[1:]


def draw(size):
    """RGBA rows, top first."""
    u = size / 16
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def fill(l, t, r, b, rgb):
        for y in range(t, b):
            for x in range(l, r):
                px[y][x] = (*rgb, 255)

    body_l, body_t = _round(2 * u), _round(4 * u)
    pin_t = _round(u)
    w, p, x0 = pin_row(size)
    for i in range(4):
        x = x0 + i * p
        fill(x, pin_t, x + w, body_t, PINS)
        fill(x, size - body_t, x + w, size - pin_t, PINS)
    fill(body_l, body_t, size - body_l, size - body_t, BODY)

    # From 32 pixels on, the body's corners are rounded (half a unit); coverage by 8x8 samples.
    radius = 0.5 * u if size >= 32 else 0
    if radius >= 1:
        r_px = math.ceil(radius)
        corners = [(body_l, body_t, 1, 1), (size - body_l, body_t, -1, 1),
                   (body_l, size - body_t, 1, -1), (size - body_l, size - body_t, -1, -1)]
        for cx, cy, dx, dy in corners:
            ox, oy = cx + dx * radius, cy + dy * radius  # the arc's centre
            for j in range(r_px):
                for i in range(r_px):
                    x = cx + i if dx > 0 else cx - 1 - i
                    y = cy + j if dy > 0 else cy - 1 - j
                    inside = sum(1 for sy in range(8) for sx in range(8)
                                 if (x + (sx + .5) / 8 - ox) ** 2 + (y + (sy + .5) / 8 - oy) ** 2 <= radius ** 2
                                 or (x + (sx + .5) / 8 - ox) * dx >= 0 or (y + (sy + .5) / 8 - oy) * dy >= 0)
                    px[y][x] = (*BODY, _round(255 * inside / 64))
    return px


def png(size, rows):
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(size, rows):
    """32-bit BGRA, bottom-up, with the AND mask that pre-alpha systems read."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    color = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = (size + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + color + bytes(mask)


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def wizard_bmp(width=164, height=314, chip=96):
    """24-bit BMP, the size the setup's welcome page shows: the chip centred in its upper half."""
    rows = [[(255, 255, 255)] * width for _ in range(height)]
    left, top = (width - chip) // 2, (height // 2 - chip) // 2 + 24
    for y, row in enumerate(draw(chip)):
        for x, (r, g, b, a) in enumerate(row):
            rows[top + y][left + x] = tuple((c * a + 255 * (255 - a)) // 255 for c in (r, g, b))
    stride = (width * 3 + 3) // 4 * 4
    pixels = b"".join(bytes(c for (r, g, b) in row for c in (b, g, r)).ljust(stride, b"\0") for row in reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels


def main():
    args = sys.argv[1:]
    out = pathlib.Path(args.pop(0))
    opts = dict(zip(args[::2], args[1::2]))
    preview = pathlib.Path(opts["--preview"]) if "--preview" in opts else None
    images = []
    for size in SIZES:
        rows = draw(size)
        images.append((size, png(size, rows) if size >= PNG_FROM else dib(size, rows)))
        if preview:
            preview.mkdir(parents=True, exist_ok=True)
            (preview / f"icon-{size}.png").write_bytes(png(size, rows))
    out.parent.mkdir(parents=True, exist_ok=True)
    out.write_bytes(ico(images))
    if "--wizard" in opts:
        pathlib.Path(opts["--wizard"]).write_bytes(wizard_bmp())


if __name__ == "__main__":
    main()
