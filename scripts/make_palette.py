#!/usr/bin/env python3
"""Writes res/palette_130.bin: the handheld's 8-bit system palette, 256 x (red, green, blue)."""
import pathlib

steps = [0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00]
entries = []
for blues in ([0xFF, 0xCC, 0x99], [0x66, 0x33, 0x00]):
    for red in steps:
        for blue in blues:
            for green in steps:
                entries.append((red, green, blue))
entries.pop()  # black closes the table instead
entries += [(g, g, g) for g in (0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE)]
entries += [(0xC0, 0xC0, 0xC0), (0x80, 0, 0), (0x80, 0, 0x80), (0, 0x80, 0), (0, 0x80, 0x80)]
entries += [(0, 0, 0)] * (256 - len(entries))
assert len(entries) == 256
out = pathlib.Path(__file__).resolve().parent.parent / "res" / "palette_130.bin"
out.write_bytes(bytes(c for e in entries for c in e))
