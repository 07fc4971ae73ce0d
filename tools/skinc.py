#!/usr/bin/env python3
"""Turns one readable skin source (key = value lines) into the engine's binary skin block.

Usage: skinc.py SOURCE.skin OUTPUT.she
The block layout is described in skins/README.md.
"""
import struct
import sys
import zlib

MAGIC = bytes([0x2E, 0x53, 0x48, 0x45, 0x00, 0x03])
VERSION = 1

COLOUR_KEYS = [
    "frame", "frame_inactive", "frame_outline",
    "caption_top", "caption_bottom", "caption_inactive_top", "caption_inactive_bottom",
    "caption_text", "caption_text_inactive", "caption_button_hot", "caption_close_hot",
    "client_top", "client_bottom",
    "button_top", "button_bottom", "button_hot_top", "button_hot_bottom",
    "button_pressed_top", "button_pressed_bottom", "button_border", "button_border_hot",
    "button_text", "button_text_disabled", "button_focus",
    "edit_border", "edit_border_focus", "edit_background", "edit_text",
]
COLOUR_IDS = {name: i + 1 for i, name in enumerate(COLOUR_KEYS)}
METRIC_IDS = {"button_radius": 64, "frame_radius": 65}

KIND_RGB, KIND_SYSTEM, KIND_METRIC = 1, 2, 3
SYSTEM_COLOURS = {
    "btnface": 15, "btnshadow": 16, "btnhighlight": 20, "btntext": 18, "graytext": 17,
    "window": 5, "windowtext": 8, "highlight": 13, "highlighttext": 14,
}


def fail(path, line_no, message):
    sys.exit(f"{path}:{line_no}: {message}")


def parse(path):
    name = None
    entries = {}
    with open(path, encoding="utf-8") as source:
        for line_no, raw in enumerate(source, 1):
            line = raw.strip()
            # Whole-line comments only: '#' also starts every colour value.
            if not line or line.startswith(("#", ";")):
                continue
            if "=" not in line:
                fail(path, line_no, "expected key = value")
            key, value = (part.strip() for part in line.split("=", 1))
            if key == "name":
                name = value.encode("utf-8")
                if not name or len(name) > 63:
                    fail(path, line_no, "name must be 1 to 63 bytes")
            elif key in COLOUR_IDS:
                if value.startswith("#") and len(value) == 7:
                    r, g, b = (int(value[i:i + 2], 16) for i in (1, 3, 5))
                    entries[COLOUR_IDS[key]] = (KIND_RGB, r | (g << 8) | (b << 16))
                elif value in SYSTEM_COLOURS:
                    entries[COLOUR_IDS[key]] = (KIND_SYSTEM, SYSTEM_COLOURS[value])
                else:
                    fail(path, line_no, f"bad colour {value!r} (use #RRGGBB or a system colour)")
            elif key in METRIC_IDS:
                number = int(value)
                if not 0 <= number <= 32:
                    fail(path, line_no, "metric out of range 0..32")
                entries[METRIC_IDS[key]] = (KIND_METRIC, number)
            else:
                fail(path, line_no, f"unknown key {key!r}")
    if name is None:
        sys.exit(f"{path}: no name")
    missing = [k for k in COLOUR_KEYS if COLOUR_IDS[k] not in entries]
    if missing:
        sys.exit(f"{path}: missing {', '.join(missing)}")
    return name, entries


def build(name, entries):
    body = b"".join(struct.pack("<HBBI", key, kind, 0, value)
                    for key, (kind, value) in sorted(entries.items()))
    total = len(MAGIC) + 2 + 4 + 2 + 1 + len(name) + len(body) + 4
    block = MAGIC + struct.pack("<HIHB", VERSION, total, len(entries), len(name)) + name + body
    return block + struct.pack("<I", zlib.crc32(block) & 0xFFFFFFFF)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    name, entries = parse(sys.argv[1])
    with open(sys.argv[2], "wb") as out:
        out.write(build(name, entries))


if __name__ == "__main__":
    main()
