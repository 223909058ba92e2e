#!/usr/bin/env python3
"""Draws Lumistamp's icon, a camera whose lens is a clock face, and writes it as
a single 128 x 128, 32-bit image in resources/lumistamp.ico. Shapes are kept
bold so that the icon still reads at 16 pixels. Standard library only."""
import math
import os
import struct

SIZE = 128
SAMPLES = 4  # supersampling per axis, for smooth edges

BODY = (52, 73, 94)
BODY_TOP = (69, 96, 122)
RING = (236, 240, 241)
FACE = (255, 255, 255)
HANDS = (44, 62, 80)
ACCENT = (231, 76, 60)
FLASH = (241, 196, 15)


def rounded_rect(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and left <= x <= right and top <= y <= bottom


def segment(x, y, x1, y1, x2, y2, width):
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
    px, py = x1 + t * dx, y1 + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2


def colour_at(x, y):
    """The colour of the point, or None where the icon is transparent."""
    cx, cy = 64.0, 72.0
    r = math.hypot(x - cx, y - cy)
    hour = math.radians(-60)  # towards ten o'clock
    minute = math.radians(60)  # towards two o'clock
    if r <= 27:
        if segment(x, y, cx, cy, cx + 14 * math.sin(hour), cy - 14 * math.cos(hour), 6):
            return HANDS
        if segment(x, y, cx, cy, cx + 20 * math.sin(minute), cy - 20 * math.cos(minute), 5):
            return HANDS
        if r <= 4:
            return ACCENT
        if r <= 22:
            return FACE
        return RING
    if r <= 33:
        return HANDS
    if rounded_rect(x, y, 92, 42, 110, 54, 3):
        return FLASH
    if rounded_rect(x, y, 6, 34, 122, 114, 14):
        return BODY if y > 48 else BODY_TOP
    if rounded_rect(x, y, 38, 20, 90, 44, 8):
        return BODY_TOP
    return None


def render():
    pixels = []
    for row in range(SIZE):
        for col in range(SIZE):
            total = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at(col + (sx + 0.5) / SAMPLES, row + (sy + 0.5) / SAMPLES)
                    if c:
                        covered += 1
                        total = [t + v for t, v in zip(total, c)]
            if covered:
                r, g, b = (round(t / covered) for t in total)
                a = round(255 * covered / SAMPLES ** 2)
            else:
                r = g = b = a = 0
            pixels.append((r, g, b, a))
    return pixels


def ico(pixels):
    xor = bytearray()
    for row in reversed(range(SIZE)):  # bottom-up rows
        for col in range(SIZE):
            r, g, b, a = pixels[row * SIZE + col]
            xor += bytes((b, g, r, a))
    mask = bytes(SIZE * SIZE // 8)  # alpha decides; the AND mask stays clear
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + bytes(xor) + mask
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', 128, 128, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    target = os.path.join(here, '..', 'resources', 'lumistamp.ico')
    with open(target, 'wb') as out:
        out.write(ico(render()))
