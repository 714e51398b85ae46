#!/usr/bin/env python3
"""Draws the starter symbol gallery into share/halvane/gallery/.

Every symbol is plain SVG (rect, circle, ellipse, path, polygon and linear gradients) on a
64 x 64 canvas, so that Qt SVG's Tiny profile draws it sharp at any size. Each symbol has a
running ("-on") and a stopped ("-off") variant. Run it again after changing a drawing and
commit what it writes:

    python3 scripts/make-gallery.py [OUTPUT_FOLDER]
"""

import pathlib
import sys

SIZE = 64

ON = ("#7ee08a", "#1f8a35")       # running: green, light to dark
OFF = ("#d5d9de", "#7c838c")      # stopped: grey
CLOSED = ("#f28b82", "#b3261e")   # a closed valve: red
METAL = ("#f4f6f8", "#8d96a0")
WATER = ("#8cc8ff", "#1f6fc2")
OUTLINE = "#2b3138"


def gradient(name, colours, vertical=False):
    x2, y2 = ("0", "1") if vertical else ("1", "0")
    return (f'<linearGradient id="{name}" x1="0" y1="0" x2="{x2}" y2="{y2}">'
            f'<stop offset="0" stop-color="{colours[0]}"/>'
            f'<stop offset="1" stop-color="{colours[1]}"/></linearGradient>')


def svg(title, gradients, body):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="{SIZE}" '
            f'height="{SIZE}" viewBox="0 0 {SIZE} {SIZE}">\n'
            f'<title>{title}</title>\n'
            f'<defs>{"".join(gradients)}</defs>\n'
            f'{body}\n</svg>\n')


def pump(state):
    body = (f'<rect x="8" y="50" width="48" height="8" fill="url(#metal)" stroke="{OUTLINE}"/>'
            f'<rect x="40" y="10" width="20" height="12" fill="url(#metal)" stroke="{OUTLINE}"/>'
            f'<circle cx="30" cy="30" r="20" fill="url(#body)" stroke="{OUTLINE}" '
            'stroke-width="2"/>'
            '<polygon points="22,18 22,42 44,30" fill="#ffffff" fill-opacity="0.85"/>')
    return svg(f"Pump ({state})", [gradient("body", ON if state == "on" else OFF),
                                   gradient("metal", METAL, True)], body)


def valve(state):
    colours = ON if state == "on" else CLOSED
    body = (f'<rect x="30" y="14" width="4" height="18" fill="{OUTLINE}"/>'
            f'<rect x="20" y="8" width="24" height="6" rx="2" fill="url(#body)" '
            f'stroke="{OUTLINE}"/>'
            f'<polygon points="6,20 32,32 6,44" fill="url(#body)" stroke="{OUTLINE}" '
            'stroke-width="2" stroke-linejoin="round"/>'
            f'<polygon points="58,20 32,32 58,44" fill="url(#body)" stroke="{OUTLINE}" '
            'stroke-width="2" stroke-linejoin="round"/>')
    return svg(f"Valve ({'open' if state == 'on' else 'closed'})",
               [gradient("body", colours, True)], body)


def tank(state):
    level = 14 if state == "on" else 46   # top of the liquid
    body = (f'<rect x="12" y="6" width="40" height="52" rx="8" fill="url(#metal)" '
            f'stroke="{OUTLINE}" stroke-width="2"/>'
            f'<rect x="15" y="{level}" width="34" height="{55 - level}" rx="5" '
            'fill="url(#water)"/>'
            f'<path d="M 12 20 L 52 20 M 12 44 L 52 44" stroke="{OUTLINE}" '
            'stroke-opacity="0.35" fill="none"/>')
    return svg(f"Tank ({'full' if state == 'on' else 'low'})",
               [gradient("metal", METAL), gradient("water", WATER, True)], body)


def motor(state):
    body = (f'<rect x="4" y="28" width="10" height="8" fill="url(#metal)" stroke="{OUTLINE}"/>'
            f'<rect x="14" y="14" width="38" height="36" rx="6" fill="url(#body)" '
            f'stroke="{OUTLINE}" stroke-width="2"/>'
            f'<rect x="52" y="20" width="6" height="24" rx="2" fill="url(#metal)" '
            f'stroke="{OUTLINE}"/>'
            f'<path d="M 20 22 L 46 22 M 20 28 L 46 28 M 20 36 L 46 36 M 20 42 L 46 42" '
            'stroke="#ffffff" stroke-opacity="0.6" stroke-width="2" fill="none"/>'
            f'<rect x="18" y="50" width="30" height="6" fill="{OUTLINE}"/>')
    return svg(f"Motor ({state})", [gradient("body", ON if state == "on" else OFF, True),
                                    gradient("metal", METAL, True)], body)


def fan(state):
    blades = "".join(
        f'<path d="M 32 32 C 26 22 28 10 36 8 C 42 14 40 24 32 32 Z" fill="url(#blade)" '
        f'stroke="{OUTLINE}" transform="rotate({angle} 32 32)"/>'
        for angle in (0, 120, 240))
    body = (f'<circle cx="32" cy="32" r="28" fill="url(#housing)" stroke="{OUTLINE}" '
            f'stroke-width="2"/>{blades}'
            f'<circle cx="32" cy="32" r="5" fill="{OUTLINE}"/>')
    return svg(f"Fan ({state})", [gradient("blade", ON if state == "on" else OFF),
                                  gradient("housing", METAL, True)], body)


def pipe(shape):
    def draw(state):
        colours = WATER if state == "on" else METAL
        paths = {
            "straight": [("rect", 0, 24, 64, 16)],
            "elbow": [("rect", 0, 24, 40, 16), ("rect", 24, 24, 16, 40)],
            "tee": [("rect", 0, 24, 64, 16), ("rect", 24, 24, 16, 40)],
        }[shape]
        body = "".join(f'<rect x="{x}" y="{y}" width="{w}" height="{h}" fill="url(#flow)"/>'
                       for _, x, y, w, h in paths)
        edges = {
            "straight": "M 0 24 L 64 24 M 0 40 L 64 40",
            "elbow": "M 0 24 L 40 24 L 40 64 M 0 40 L 24 40 L 24 64",
            "tee": "M 0 24 L 64 24 M 0 40 L 24 40 L 24 64 M 64 40 L 40 40 L 40 64",
        }[shape]
        body += f'<path d="{edges}" stroke="{OUTLINE}" stroke-width="2" fill="none"/>'
        return svg(f"Pipe, {shape} ({'flowing' if state == 'on' else 'empty'})",
                   [gradient("flow", colours, True)], body)
    return draw


def lamp(state):
    colours = ("#fff6a8", "#f2b705") if state == "on" else OFF
    body = (f'<circle cx="32" cy="32" r="26" fill="url(#metal)" stroke="{OUTLINE}" '
            'stroke-width="2"/>'
            f'<circle cx="32" cy="32" r="19" fill="url(#glass)" stroke="{OUTLINE}"/>'
            '<ellipse cx="26" cy="24" rx="7" ry="4" fill="#ffffff" fill-opacity="0.6"/>')
    return svg(f"Lamp ({state})", [gradient("glass", colours, True),
                                   gradient("metal", METAL, True)], body)


def led(state):
    body = (f'<rect x="8" y="8" width="48" height="48" rx="6" fill="url(#metal)" '
            f'stroke="{OUTLINE}" stroke-width="2"/>'
            f'<circle cx="32" cy="32" r="14" fill="url(#light)" stroke="{OUTLINE}"/>'
            '<circle cx="28" cy="27" r="4" fill="#ffffff" fill-opacity="0.6"/>')
    return svg(f"LED ({state})", [gradient("light", ON if state == "on" else CLOSED, True),
                                  gradient("metal", METAL, True)], body)


# Category name, folder and its symbols (file name stem -> drawing of a state).
CATEGORIES = [
    ("Pumps", "pumps", {"pump": pump}),
    ("Valves", "valves", {"valve": valve}),
    ("Tanks", "tanks", {"tank": tank}),
    ("Motors", "motors", {"motor": motor}),
    ("Fans", "fans", {"fan": fan}),
    ("Pipes", "pipes", {"pipe-straight": pipe("straight"), "pipe-elbow": pipe("elbow"),
                        "pipe-tee": pipe("tee")}),
    ("Indicators", "indicators", {"lamp": lamp, "led": led}),
]


def index(categories):
    lines = ["; Starter symbol gallery: one section per category, numbered from 0."]
    for number, (name, folder, symbols) in enumerate(categories):
        first = next(iter(symbols))
        lines += ["", f"[category.{number}]", f"name={name}",
                  f"image={folder}\\{first}-on.svg", f"directory={folder}"]
    return "\r\n".join(lines) + "\r\n"


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    target = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root / "share/halvane/gallery"
    for _, folder, symbols in CATEGORIES:
        (target / folder).mkdir(parents=True, exist_ok=True)
        for stem, draw in symbols.items():
            for state in ("on", "off"):
                (target / folder / f"{stem}-{state}.svg").write_text(draw(state), "utf-8")
    (target / "gallery.cfg").write_bytes(index(CATEGORIES).encode("ascii"))


if __name__ == "__main__":
    main()
