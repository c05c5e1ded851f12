#!/usr/bin/env python3
"""Generates the station's artwork under resources/images/.

Writes the window logo (SVG, then JPEG through ImageMagick's convert), the four button icons and
one radio-link diagram per operating mode and highlighted station, and the resource list
resources/images.qrc. Run it again after changing
anything here and commit the results:

    python3 scripts/make-artwork.py
"""

import os
import re
import shutil
import subprocess
import sys
from xml.sax.saxutils import escape

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
IMAGES = os.path.join(ROOT, "resources", "images")
MODES = os.path.join(IMAGES, "modes")

HIGHLIGHT = "#aa0000"
STATION = "#3d4a57"
INK = "#202020"
FLOW_COLOURS = {"Управление": "#1f5fa8", "Телеметрия": "#2b7a3d", "Данные": "#8a5a00"}
FONT = "DejaVu Sans, Arial, sans-serif"

WIDTH, HEIGHT = 720, 250


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def svg(width, height, body, view_box=None):
    vb = view_box or f"0 0 {width} {height}"
    return (f'<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
            f'width="{width}" height="{height}" viewBox="{vb}">\n{body}</svg>\n')


def text(x, y, s, size, colour=INK, anchor="middle", weight="normal"):
    return (f'<text x="{x}" y="{y}" font-family="{FONT}" font-size="{size}" fill="{colour}" '
            f'text-anchor="{anchor}" font-weight="{weight}">{escape(s)}</text>\n')


# --- Mode diagrams ------------------------------------------------------------------------
# A flow is (from, to, kind, rate in kbit/s). Stations: M, S and, in relay modes, R.
CONTROL, TELEMETRY, DATA = "Управление", "Телеметрия", "Данные"


def p2p(*flows):
    return flows


def relayed(control, telemetry, data):
    """Every flow between M and S passes through R, with the relay's share of the rate."""
    return (("M", "R", CONTROL, control), ("R", "S", CONTROL, control),
            ("S", "R", TELEMETRY, telemetry), ("R", "M", TELEMETRY, telemetry),
            ("S", "R", DATA, data), ("R", "M", DATA, data))


MODE_TABLE = {
    0: ("НСК одност.", p2p(("M", "S", CONTROL, 16))),
    1: ("НСК двуст.", p2p(("M", "S", CONTROL, 8), ("S", "M", TELEMETRY, 8))),
    2: ("ВСК одност.", p2p(("S", "M", DATA, 184))),
    3: ("ВСК двуст.", p2p(("M", "S", DATA, 92), ("S", "M", DATA, 92))),
    4: ("НСК + ВСК (A) - ОСН.", p2p(("M", "S", CONTROL, 8), ("S", "M", TELEMETRY, 8),
                                    ("S", "M", DATA, 92))),
    5: ("НСК + ВСК (B)", p2p(("M", "S", CONTROL, 8), ("S", "M", TELEMETRY, 8),
                             ("S", "M", DATA, 46), ("M", "S", DATA, 46))),
    6: ("НСК + ВСК (C) - ДОП.", p2p(("M", "S", CONTROL, 4), ("S", "M", TELEMETRY, 4),
                                    ("S", "M", DATA, 138))),
    7: ("НСК + ВСК (D) - КТ", p2p(("M", "S", CONTROL, 8), ("S", "M", TELEMETRY, 8),
                                  ("S", "M", DATA, 64))),
    8: ("НСК + ВСК, РЕТ1 1/3", relayed(8, 8, 30)),
    9: ("НСК + ВСК, РЕТ1 1/2", relayed(8, 8, 46)),
    10: ("НСК + ВСК, РЕТ2 1/3", relayed(4, 4, 30)),
    11: ("НСК + ВСК, РЕТ2 1/2", relayed(4, 4, 46)),
    12: ("резерв", relayed(8, 8, 30)),
    13: ("резерв", relayed(8, 8, 46)),
    14: ("резерв", relayed(4, 4, 30)),
    15: ("резерв", relayed(4, 4, 46)),
}

BOX_W, BOX_H = 92, 150
TOP = 62


def station_x(name, relay):
    if not relay:
        return {"M": 30, "S": WIDTH - 30 - BOX_W}[name]
    return {"M": 30, "R": (WIDTH - BOX_W) // 2, "S": WIDTH - 30 - BOX_W}[name]


def station(name, x, highlighted):
    fill = HIGHLIGHT if highlighted else STATION
    out = (f'<rect x="{x}" y="{TOP}" width="{BOX_W}" height="{BOX_H}" rx="12" ry="12" '
           f'fill="{fill}" stroke="{INK}" stroke-width="2"/>\n')
    out += text(x + BOX_W / 2, TOP + BOX_H / 2 + 20, name, 56, "#ffffff", weight="bold")
    return out


def arrow(x1, x2, y, colour):
    """Horizontal arrow from x1 to x2 with a filled head at x2."""
    head = 12 if x2 > x1 else -12
    out = (f'<line x1="{x1}" y1="{y}" x2="{x2 - head}" y2="{y}" stroke="{colour}" '
           f'stroke-width="3"/>\n')
    out += (f'<polygon points="{x2},{y} {x2 - head},{y - 7} {x2 - head},{y + 7}" '
            f'fill="{colour}"/>\n')
    return out


def lanes_of(flows):
    """Flows grouped by the pair of stations they join, each pair stacked in its own lanes."""
    lanes = {}
    for f in flows:
        lanes.setdefault(frozenset(f[:2]), []).append(f)
    return lanes


def mode_picture(mode, letter):
    title, flows = MODE_TABLE[mode]
    relay = any("R" in f[:2] for f in flows)
    names = ("M", "R", "S") if relay else ("M", "S")
    named = {"m": "M", "s": "S", "r": "R"}[letter]

    body = f'<rect x="0" y="0" width="{WIDTH}" height="{HEIGHT}" fill="#ffffff"/>\n'
    body += text(WIDTH / 2, 34, f"Режим {mode}: {title}", 24, weight="bold")
    for name in names:
        body += station(name, station_x(name, relay), name == named)

    for pair_flows in lanes_of(flows).values():
        count = len(pair_flows)
        spacing = BOX_H / (count + 1)
        for i, (src, dst, kind, rate) in enumerate(pair_flows):
            y = TOP + spacing * (i + 1) + 10
            left, right = sorted((station_x(src, relay), station_x(dst, relay)))
            x1, x2 = left + BOX_W + 6, right - 6
            if station_x(src, relay) > station_x(dst, relay):
                x1, x2 = x2, x1
            colour = FLOW_COLOURS[kind]
            body += arrow(x1, x2, y, colour)
            label_size = 15 if relay else 17
            body += text((left + BOX_W + right) / 2, y - 8, f"{kind} {rate} Кбит/с",
                         label_size, colour)
    return svg(WIDTH, HEIGHT, body)


def empty_picture():
    return svg(WIDTH, HEIGHT, f'<rect x="0" y="0" width="{WIDTH}" height="{HEIGHT}" '
                              f'fill="#ffffff" fill-opacity="0"/>\n')


def mode_letters(mode):
    return "msr" if mode >= 10 else "ms"


# --- Icons -----------------------------------------------------------------------------
ICON_STROKE = f'fill="none" stroke="{INK}" stroke-width="1.6" stroke-linecap="round" ' \
              f'stroke-linejoin="round"'


def icon(body):
    return svg(24, 24, body)


ICONS = {
    "light-magnifying-glass.svg": icon(
        f'<circle cx="10" cy="10" r="6.5" {ICON_STROKE}/>\n'
        f'<line x1="14.8" y1="14.8" x2="21" y2="21" {ICON_STROKE}/>\n'),
    "light-xmark-large.svg": icon(
        f'<line x1="4" y1="4" x2="20" y2="20" {ICON_STROKE}/>\n'
        f'<line x1="20" y1="4" x2="4" y2="20" {ICON_STROKE}/>\n'),
    "light-rotate.svg": icon(
        f'<path d="M19.5 12 A7.5 7.5 0 1 1 16.8 6.2" {ICON_STROKE}/>\n'
        f'<polyline points="17.5,2.5 17.5,6.8 13.2,6.8" {ICON_STROKE}/>\n'),
    "light-screwdriver-wrench.svg": icon(
        # Wrench from bottom-left to the open jaw at the top right.
        f'<path d="M14.5 3.2 a4.6 4.6 0 0 0 -4.9 6.3 L3.6 15.5 a1.9 1.9 0 0 0 2.7 2.7 '
        f'L12.3 12.2 a4.6 4.6 0 0 0 6.3 -4.9 l-2.8 2.8 -2.6 -0.7 -0.7 -2.6 z" {ICON_STROKE}/>\n'
        # Screwdriver crossing it from the top left.
        f'<line x1="3.5" y1="3.5" x2="9" y2="9" {ICON_STROKE}/>\n'
        f'<line x1="13.5" y1="13.5" x2="19.6" y2="19.6" stroke="{INK}" stroke-width="3.2" '
        f'stroke-linecap="round"/>\n'),
}


def logo_svg():
    body = ('<rect x="0" y="0" width="256" height="256" fill="#12263f"/>\n'
            f'<circle cx="128" cy="112" r="20" fill="{HIGHLIGHT}"/>\n')
    for r in (44, 70, 96):
        body += (f'<path d="M {128 - r * 0.7071:.1f} {112 - r * 0.7071:.1f} '
                 f'A {r} {r} 0 0 1 {128 + r * 0.7071:.1f} {112 - r * 0.7071:.1f}" '
                 f'fill="none" stroke="#e8eef5" stroke-width="9" stroke-linecap="round"/>\n')
    body += '<line x1="128" y1="132" x2="128" y2="190" stroke="#e8eef5" stroke-width="9"/>\n'
    body += text(128, 236, "ЗАРНИК", 40, "#e8eef5", weight="bold")
    return svg(256, 256, body)


def make_logo():
    source = os.path.join(IMAGES, "logo-tvx.svg")
    target = os.path.join(IMAGES, "logo-tvx.jpg")
    write(source, logo_svg())
    convert = shutil.which("convert")
    if not convert:
        sys.exit("ImageMagick's convert is needed for the JPEG logo (scripts/install-deps.sh)")
    subprocess.run([convert, "-density", "96", "-background", "#12263f", source,
                    "-quality", "92", target], check=True)
    os.remove(source)


def main():
    for mode in MODE_TABLE:
        for letter in mode_letters(mode):
            write(os.path.join(MODES, f"{mode}{letter}.svg"), mode_picture(mode, letter))
    write(os.path.join(MODES, "empty.svg"), empty_picture())
    for name, content in ICONS.items():
        write(os.path.join(IMAGES, name), content)
    make_logo()
    write_resource_list()


def write_resource_list():
    """images.qrc lists every file under resources/images/, sorted, under the prefix /."""
    files = []
    for folder, _, names in os.walk(IMAGES):
        for name in names:
            files.append(os.path.relpath(os.path.join(folder, name), os.path.dirname(IMAGES)))
    files.sort(key=lambda f: [int(t) if t.isdigit() else t for t in re.split(r"(\d+)", f)])
    lines = "".join(f"    <file>{f}</file>\n" for f in files)
    write(os.path.join(ROOT, "resources", "images.qrc"),
          f'<!DOCTYPE RCC>\n<RCC version="1.0">\n  <qresource prefix="/">\n{lines}'
          f'  </qresource>\n</RCC>\n')


if __name__ == "__main__":
    main()
