#!/usr/bin/env python3
"""Draws the program's images (status lamps, check boxes, spin-box arrows,
size grip, splash picture) into PNG files beside this script, and the kit's
icon as an SVG drawing, a PNG for the window and an ICO for the Windows
programs (16, 32, 48 and 256 pixels).

Uses the standard library only. Every pixel is the average of a grid of
samples, so edges come out anti-aliased. The images are kept in the
repository; run this only to change them."""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def png_data(width, height, pixel, samples=4):
    """pixel(x, y) -> (r, g, b, a) in 0..1 for a point in image coordinates."""
    rows = bytearray()
    step = 1.0 / samples
    for py in range(height):
        rows.append(0)
        for px in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    r, g, b, a = pixel(px + (sx + 0.5) * step, py + (sy + 0.5) * step)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = samples * samples
            a = acc[3] / n
            if a > 0:
                rgb = [acc[i] / acc[3] for i in range(3)]
            else:
                rgb = [0.0, 0.0, 0.0]
            rows.extend(int(round(max(0.0, min(1.0, c)) * 255)) for c in rgb + [a])
    raw = zlib.compress(bytes(rows), 9)

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data +
                struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", raw) + chunk(b"IEND", b""))


def write_file(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def write_png(name, width, height, pixel, samples=4):
    write_file(name, png_data(width, height, pixel, samples))


def hexrgb(h):
    return tuple(int(h[i:i + 2], 16) / 255.0 for i in (1, 3, 5))


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c1, c2))


CLEAR = (0.0, 0.0, 0.0, 0.0)


def lamp(light, dark, rim):
    """A round lamp, 17 pixels across, lit from the top left."""
    cx = cy = 8.5
    radius = 7.6

    def pixel(x, y):
        d = math.hypot(x - cx, y - cy)
        if d > radius:
            return CLEAR
        if d > radius - 1.0:
            return rim + (1.0,)
        # Body: light near the upper left, dark towards the lower right edge.
        hd = math.hypot(x - (cx - 2.2), y - (cy - 2.4)) / (radius + 2.0)
        c = mix(light, dark, hd)
        # Soft highlight.
        hl = math.hypot(x - (cx - 2.0), y - (cy - 2.8))
        if hl < 2.6:
            c = mix(c, (1.0, 1.0, 1.0), 0.7 * (1.0 - hl / 2.6))
        return c + (1.0,)

    return pixel


def rounded_box(size, radius, border, fill, border_width=1.0):
    def inside(x, y, inset):
        lo, hi = inset, size - inset
        r = max(0.0, radius - inset)
        qx = max(lo + r - x, 0.0, x - (hi - r))
        qy = max(lo + r - y, 0.0, y - (hi - r))
        if x < lo or x > hi or y < lo or y > hi:
            return False
        return math.hypot(qx, qy) <= r

    def pixel(x, y):
        if not inside(x, y, 0.5):
            return CLEAR
        if not inside(x, y, 0.5 + border_width):
            return border + (1.0,)
        return fill(x, y) + (1.0,)

    return pixel


def seg_dist(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - (ax + t * vx), py - (ay + t * vy))


def checkbox(checked, enabled):
    size = 15
    if enabled:
        border = hexrgb("#0067B9") if checked else hexrgb("#8C8C8C")
        top, bottom = (hexrgb("#2F8AD6"), hexrgb("#0067B9")) if checked else \
            ((1.0, 1.0, 1.0), hexrgb("#EDEDED"))
        mark = (1.0, 1.0, 1.0)
    else:
        border = hexrgb("#C4C4C4")
        top, bottom = hexrgb("#F4F4F4"), hexrgb("#E6E6E6")
        mark = hexrgb("#A0A0A0")
    box = rounded_box(size, 3.0, border, lambda x, y: mix(top, bottom, y / size))

    def pixel(x, y):
        c = box(x, y)
        if checked and c[3] > 0:
            d = min(seg_dist(x, y, 3.6, 7.6, 6.2, 10.4), seg_dist(x, y, 6.2, 10.4, 11.4, 4.4))
            if d < 1.15:
                return mark + (1.0,)
        return c

    return pixel


def arrow(up, colour):
    w, h = 9, 5

    def pixel(x, y):
        yy = y if not up else h - y
        # Triangle pointing down: full width at the top, point at the bottom.
        half = (w / 2.0) * (1.0 - yy / h)
        if 0 <= yy <= h and abs(x - w / 2.0) <= half:
            return colour + (1.0,)
        return CLEAR

    return pixel, w, h


def size_grip():
    dots = [(9.5, 3.5), (6.5, 6.5), (9.5, 6.5), (3.5, 9.5), (6.5, 9.5), (9.5, 9.5)]
    grey = hexrgb("#A8A8A8")

    def pixel(x, y):
        for dx, dy in dots:
            if math.hypot(x - dx, y - dy) <= 1.1:
                return grey + (1.0,)
        return CLEAR

    return pixel


def splash():
    w, h = 400, 320
    top, bottom = hexrgb("#0B2A4A"), hexrgb("#02070F")
    led_y = 172.0
    leds = [40.0 + i * 40.0 for i in range(9)]
    strip_top, strip_bottom = led_y - 9.0, led_y + 9.0

    def pixel(x, y):
        # Night-blue background with a faint diagonal sheen.
        c = mix(top, bottom, y / h)
        c = mix(c, hexrgb("#1C4F80"), 0.25 * max(0.0, 1.0 - abs((x - y * 0.6) - 180) / 160))
        # Glow of the lit LEDs above the strip.
        glow = 0.0
        for lx in leds:
            d = math.hypot(x - lx, (y - led_y) * 1.4)
            glow += math.exp(-(d / 22.0) ** 2)
        c = mix(c, hexrgb("#EAF4FF"), min(0.85, 0.55 * glow))
        # The circuit strip.
        if strip_top <= y <= strip_bottom and 14 <= x <= 386:
            s = mix(hexrgb("#3A3F45"), hexrgb("#1C1F23"), (y - strip_top) / 18.0)
            c = mix(s, c, min(0.6, 0.4 * glow))
        # The LED packages, each a small white square with a bright core.
        for lx in leds:
            if abs(x - lx) <= 6 and abs(y - led_y) <= 6:
                core = math.hypot(x - lx, y - led_y)
                c = mix((1.0, 1.0, 1.0), hexrgb("#CFE6FF"), core / 8.0)
        # Thin accent line across the picture.
        if abs(y - 142.0) < 0.6 and 24 <= x <= 376:
            c = mix(c, hexrgb("#0067B9"), 0.9)
        return c + (1.0,)

    return pixel, w, h


# The kit's icon on a 256-unit square: four lit LEDs wired to the driver chip
# below them. Each shape is drawn both by the rasteriser and as SVG.
ICON_LEDS = [74.0, 110.0, 146.0, 182.0]
ICON_LED_Y = 74.0
ICON_SHAPES = (
    [("rect", 12, 12, 244, 244, 44, ("#1C4F80", "#0B2A4A"))] +
    [("glow", x, ICON_LED_Y, 34, "#EAF4FF", 0.75) for x in ICON_LEDS] +
    [("line", x, ICON_LED_Y, x, 148, 7, "#7FB2E5") for x in ICON_LEDS] +
    [("rect", side, y - 6, side + 18, y + 6, 2, ("#C9D2DB", "#8E99A5"))
     for side in (48, 190) for y in (164, 184, 204)] +
    [("rect", 62, 144, 194, 222, 10, ("#3A3F45", "#1C1F23")),
     ("circle", 80, 162, 6, "#5A616A")] +
    [("circle", x, ICON_LED_Y, 15, "#CFE6FF") for x in ICON_LEDS] +
    [("circle", x, ICON_LED_Y, 11, "#FFFFFF") for x in ICON_LEDS])


def icon_shape_colour(shape, x, y):
    """The colour and coverage (r, g, b, a) of one shape at a point."""
    kind = shape[0]
    if kind == "rect":
        _, x0, y0, x1, y1, r, (top, bottom) = shape
        qx = max(x0 + r - x, 0.0, x - (x1 - r))
        qy = max(y0 + r - y, 0.0, y - (y1 - r))
        if x < x0 or x > x1 or y < y0 or y > y1 or math.hypot(qx, qy) > r:
            return CLEAR
        return mix(hexrgb(top), hexrgb(bottom), (y - y0) / (y1 - y0)) + (1.0,)
    if kind == "circle":
        _, cx, cy, r, colour = shape
        return hexrgb(colour) + (1.0,) if math.hypot(x - cx, y - cy) <= r else CLEAR
    if kind == "line":
        _, ax, ay, bx, by, width, colour = shape
        return hexrgb(colour) + (1.0,) if seg_dist(x, y, ax, ay, bx, by) <= width / 2 else CLEAR
    _, cx, cy, r, colour, peak = shape
    return hexrgb(colour) + (peak * max(0.0, 1.0 - math.hypot(x - cx, y - cy) / r),)


def icon(size):
    scale = 256.0 / size

    def pixel(x, y):
        r = g = b = a = 0.0
        for shape in ICON_SHAPES:
            sr, sg, sb, sa = icon_shape_colour(shape, x * scale, y * scale)
            if sa <= 0.0:
                continue
            # Source over destination, with colours not premultiplied.
            out = sa + a * (1.0 - sa)
            r, g, b = ((s * sa + d * a * (1.0 - sa)) / out for s, d in ((sr, r), (sg, g), (sb, b)))
            a = out
        return (r, g, b, a)

    return pixel


def icon_svg():
    gradients, body = {}, []

    def gradient(element, stops):
        """The id of a gradient, defined once for each look."""
        key = (element, stops)
        if key not in gradients:
            gradients[key] = ('g%d' % len(gradients), '<%s id="g%d"%s>%s</%s>' % (
                element, len(gradients),
                ' x1="0" y1="0" x2="0" y2="1"' if element == "linearGradient" else "",
                stops, element))
        return gradients[key][0]

    for shape in ICON_SHAPES:
        kind = shape[0]
        if kind == "rect":
            _, x0, y0, x1, y1, r, (top, bottom) = shape
            fill = gradient("linearGradient", '<stop offset="0" stop-color="%s"/>'
                            '<stop offset="1" stop-color="%s"/>' % (top, bottom))
            body.append('<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="url(#%s)"/>'
                        % (x0, y0, x1 - x0, y1 - y0, r, fill))
        elif kind == "circle":
            _, cx, cy, r, colour = shape
            body.append('<circle cx="%g" cy="%g" r="%g" fill="%s"/>' % (cx, cy, r, colour))
        elif kind == "line":
            _, ax, ay, bx, by, width, colour = shape
            body.append('<line x1="%g" y1="%g" x2="%g" y2="%g" stroke="%s" stroke-width="%g"/>'
                        % (ax, ay, bx, by, colour, width))
        else:
            _, cx, cy, r, colour, peak = shape
            fill = gradient("radialGradient", '<stop offset="0" stop-color="%s" stop-opacity="%g"/>'
                            '<stop offset="1" stop-color="%s" stop-opacity="0"/>'
                            % (colour, peak, colour))
            body.append('<circle cx="%g" cy="%g" r="%g" fill="url(#%s)"/>' % (cx, cy, r, fill))
    defs = [definition for _, definition in gradients.values()]
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
            'viewBox="0 0 256 256">\n<defs>\n%s\n</defs>\n%s\n</svg>\n'
            % ("\n".join(defs), "\n".join(body))).encode()


def ico_data(images):
    """An ICO of (size, PNG data) pairs; Windows Vista and later read PNG entries."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, blobs = b"", b""
    for size, png in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(png),
                               offset + len(blobs))
        blobs += png
    return header + entries + blobs


def main():
    write_png("GreyStatus-20px.png", 17, 17,
              lamp(hexrgb("#E4E4E4"), hexrgb("#8E8E8E"), hexrgb("#7A7A7A")))
    write_png("RedStatus-20px.png", 17, 17,
              lamp(hexrgb("#FF6A5E"), hexrgb("#B0100A"), hexrgb("#8A0D08")))
    write_png("YellowStatus-20px.png", 17, 17,
              lamp(hexrgb("#FFF07A"), hexrgb("#D6A200"), hexrgb("#A87E00")))
    for checked in (False, True):
        for enabled in (True, False):
            name = "checkbox-%s%s.png" % ("checked" if checked else "unchecked",
                                          "" if enabled else "-disabled")
            write_png(name, 15, 15, checkbox(checked, enabled))
    for up in (True, False):
        for name_suffix, colour in (("", hexrgb("#505050")), ("-disabled", hexrgb("#B8B8B8"))):
            pixel, w, h = arrow(up, colour)
            write_png("spin-%s%s.png" % ("up" if up else "down", name_suffix), w, h, pixel)
    write_png("sizegrip.png", 12, 12, size_grip())
    pixel, w, h = splash()
    write_png("splash-background.png", w, h, pixel, samples=2)
    write_file("rar4120e.svg", icon_svg())
    icons = [(size, png_data(size, size, icon(size), 4 if size < 256 else 2))
             for size in (16, 32, 48, 256)]
    write_file("rar4120e.png", icons[-1][1])
    write_file("rar4120e.ico", ico_data(icons))


if __name__ == "__main__":
    main()
