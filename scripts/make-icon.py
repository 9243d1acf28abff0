#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the program's icon, a terminal window with a prompt and a green LED,
and writes it into a folder (resources/ unless given):

- ostra-console.ico for Windows: 32-bit images of 16, 32, 64 and 128 pixels,
  and two of 256 pixels stored as PNG;
- icons/ostra-console-N.png at 16 to 256 pixels, for the window icon (built
  into the program) and the desktop's icon theme.

Uses the standard library only, so the icon can be redrawn anywhere:
scripts/make-icon.py [FOLDER]"""

import math
import struct
import sys
import zlib
from pathlib import Path

SAMPLES = 4  # per pixel and axis, for smooth edges


def rounded_box(x, y, left, top, right, bottom, radius):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius
    dx, dy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(dx, 0.0), max(dy, 0.0))
    return outside + min(max(dx, dy), 0.0) - radius


def segment(x, y, ax, ay, bx, by):
    """Distance to the segment from a to b."""
    px, py, vx, vy = x - ax, y - ay, bx - ax, by - ay
    t = max(0.0, min(1.0, (px * vx + py * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - vx * t, py - vy * t)


def mix(a, b, t):
    return tuple(p + (q - p) * t for p, q in zip(a, b))


FRAME = (154, 165, 177)
SCREEN_TOP, SCREEN_BOTTOM = (47, 56, 68), (22, 27, 34)
PROMPT = (230, 237, 243)
LED_CENTRE, LED_EDGE, LED_RIM = (150, 255, 120), (20, 150, 30), (10, 60, 15)


def sample(x, y):
    """The colour (r, g, b, a) at (x, y) in the unit square, layers bottom up."""
    colour = (0.0, 0.0, 0.0, 0.0)

    def over(rgb, alpha):
        nonlocal colour
        r, g, b, a = colour
        out = alpha + a * (1 - alpha)
        if out == 0:
            return
        blend = [(c * alpha + d * a * (1 - alpha)) / out for c, d in zip(rgb, (r, g, b))]
        colour = (*blend, out)

    body = rounded_box(x, y, 0.05, 0.11, 0.95, 0.89, 0.09)
    if body < 0:
        over(FRAME, 1.0)
    screen = rounded_box(x, y, 0.10, 0.16, 0.90, 0.84, 0.05)
    if screen < 0:
        over(mix(SCREEN_TOP, SCREEN_BOTTOM, (y - 0.16) / 0.68), 1.0)
        chevron = min(segment(x, y, 0.21, 0.36, 0.37, 0.49), segment(x, y, 0.37, 0.49, 0.21, 0.62))
        if chevron < 0.045:
            over(PROMPT, 1.0)
        if rounded_box(x, y, 0.42, 0.57, 0.62, 0.63, 0.01) < 0:
            over(PROMPT, 1.0)
    led = math.hypot(x - 0.75, y - 0.70) / 0.10
    if led < 1.0:
        over(LED_RIM, 1.0)
    if led < 0.82:
        over(mix(LED_CENTRE, LED_EDGE, led / 0.82), 1.0)
    return colour


def render(size):
    """Rows of (r, g, b, a) bytes, top row first."""
    rows = []
    n = SAMPLES * SAMPLES
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = sample((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / n
            rgb = [round(c / acc[3]) if acc[3] else 0 for c in acc[:3]]
            row += bytes((*rgb, round(alpha * 255)))
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + row for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def dib(size, rows):
    """A 32-bit device-independent bitmap as icons store it: double height,
    bottom row first, BGRA, then the 1-bit mask (set where transparent)."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    stride = (size + 31) // 32 * 4
    for row in reversed(rows):
        bits = bytearray(stride)
        for x in range(size):
            r, g, b, a = row[4 * x:4 * x + 4]
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def icon(images):
    """images: (size, data) in directory order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        side = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


PNG_SIZES = (16, 24, 32, 48, 64, 128, 256)


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources"
    rendered = {size: render(size) for size in sorted({16, 32, 64, 128, *PNG_SIZES})}
    pngs = {size: png(size, rendered[size]) for size in PNG_SIZES}
    images = [(size, dib(size, rendered[size])) for size in (16, 32, 64, 128)]
    images += [(256, pngs[256]), (256, pngs[256])]
    (folder / "ostra-console.ico").write_bytes(icon(images))
    (folder / "icons").mkdir(parents=True, exist_ok=True)
    for size, data in pngs.items():
        (folder / "icons" / f"ostra-console-{size}.png").write_bytes(data)
    print(f"wrote {folder}/ostra-console.ico and {len(pngs)} PNG images in {folder}/icons")


if __name__ == "__main__":
    main()
