#!/usr/bin/env python3
"""Draws Lumistamp's icon, a camera whose lens is a clock face, once for every
size the shell asks for (the tray takes 16, 20, 24 and 32 pixels at 100, 125,
150 and 200 % scaling; windows and Explorer take 32 to 256), and writes them
all into resources/lumistamp.ico. Each size is drawn at its own resolution
rather than shrunk from a large image: the small ones drop the flash and the
hub, keep the hands at least a pixel wide and get a 1-pixel dark outline so
that they stand off a light taskbar. Standard library only."""
import math
import os
import struct
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
SAMPLES = 4  # supersampling per axis, for smooth edges
DESIGN = 128.0  # the drawing's own coordinates, scaled to each size

BODY = (52, 73, 94)
BODY_TOP = (69, 96, 122)
RING = (236, 240, 241)
FACE = (255, 255, 255)
HANDS = (44, 62, 80)
ACCENT = (231, 76, 60)
FLASH = (241, 196, 15)
OUTLINE = (23, 32, 42)


def rounded_rect(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and left <= x <= right and top <= y <= bottom


def segment(x, y, x1, y1, x2, y2, width):
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
    px, py = x1 + t * dx, y1 + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2


class Style:
    """What a size keeps of the drawing; widths in design units."""

    def __init__(self, size):
        scale = size / DESIGN
        small = size <= 32
        self.outline = small
        self.flash = size > 20
        self.hub = size > 24
        self.top_shade = size > 24
        # A wider face and a thinner ring leave the small clock its white.
        self.face = 24.0 if small else 22.0
        # A hand narrower than a pixel turns to grey mist: at least 1.3 pixels.
        self.hour_width = max(6.0, 1.3 / scale)
        self.minute_width = max(5.0, 1.3 / scale)
        # Small sizes leave a pixel on each side for the outline.
        self.inset = 1.0 / scale if small else 0.0


def colour_at(x, y, style):
    """The colour of the design point, or None where the icon is transparent."""
    cx, cy = 64.0, 72.0
    r = math.hypot(x - cx, y - cy)
    hour = math.radians(-60)  # towards ten o'clock
    minute = math.radians(60)  # towards two o'clock
    if r <= 27:
        if segment(x, y, cx, cy, cx + 14 * math.sin(hour), cy - 14 * math.cos(hour), style.hour_width):
            return HANDS
        if segment(x, y, cx, cy, cx + 20 * math.sin(minute), cy - 20 * math.cos(minute),
                   style.minute_width):
            return HANDS
        if style.hub and r <= 4:
            return ACCENT
        if r <= style.face:
            return FACE
        return RING
    if r <= 33:
        return HANDS
    if style.flash and rounded_rect(x, y, 92, 42, 110, 54, 3):
        return FLASH
    if rounded_rect(x, y, 6, 34, 122, 114, 14):
        return BODY if y > 48 or not style.top_shade else BODY_TOP
    if rounded_rect(x, y, 38, 20, 90, 44, 8):
        return BODY_TOP
    return None


def render(size):
    """Rows of (r, g, b, a), top row first."""
    style = Style(size)
    # The design is drawn into the square left inside the outline's pixel.
    span = DESIGN + 2 * style.inset
    step = span / size
    pixels = []
    for row in range(size):
        for col in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (col + (sx + 0.5) / SAMPLES) * step - style.inset
                    y = (row + (sy + 0.5) / SAMPLES) * step - style.inset
                    c = colour_at(x, y, style)
                    if c:
                        covered += 1
                        total = [t + v for t, v in zip(total, c)]
            if covered:
                r, g, b = (round(t / covered) for t in total)
                a = round(255 * covered / SAMPLES ** 2)
                if style.outline:  # crisp pixels inside the outline: none half there
                    a = 255 if 2 * covered >= SAMPLES ** 2 else 0
            else:
                r = g = b = a = 0
            pixels.append((r, g, b, a))
    if style.outline:
        pixels = outlined(pixels, size)
    return pixels


def outlined(pixels, size):
    """A dark pixel wherever the shape is less than half there but touches a
    pixel where it is more than half there: a 1-pixel outline around it."""
    solid = [p[3] >= 128 for p in pixels]
    result = list(pixels)
    for row in range(size):
        for col in range(size):
            index = row * size + col
            if solid[index]:
                continue
            neighbours = ((row - 1, col), (row + 1, col), (row, col - 1), (row, col + 1))
            if any(0 <= r < size and 0 <= c < size and solid[r * size + c] for r, c in neighbours):
                result[index] = OUTLINE + (255,)
    return result


def bitmap_image(pixels, size):
    """The classic icon image: a BITMAPINFOHEADER of twice the height, the
    32-bit colours bottom row first, and an AND mask that alpha makes moot."""
    xor = bytearray()
    for row in reversed(range(size)):
        for col in range(size):
            r, g, b, a = pixels[row * size + col]
            xor += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + mask


def png_image(pixels, size):
    """The 256-pixel image as a PNG, the form icons of that size take."""
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    raw = bytearray()
    for row in range(size):
        raw.append(0)  # no filter
        for col in range(size):
            raw += bytes(pixels[row * size + col])
    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(bytes(raw), 9))
            + chunk(b'IEND', b''))


def ico(images):
    """images: (size, bytes) pairs, smallest first."""
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, image in images:
        side = 0 if size == 256 else size  # a byte: 0 stands for 256
        entries += struct.pack('<BBBBHHII', side, side, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return directory + entries + b''.join(image for _, image in images)


if __name__ == '__main__':
    images = []
    for size in SIZES:
        pixels = render(size)
        images.append((size, png_image(pixels, size) if size == 256 else bitmap_image(pixels, size)))
    here = os.path.dirname(os.path.abspath(__file__))
    target = os.path.join(here, '..', 'resources', 'lumistamp.ico')
    with open(target, 'wb') as out:
        out.write(ico(images))
