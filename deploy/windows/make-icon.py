#!/usr/bin/env python3
"""Packs the program's PNG icons (app/assets/hicolor) into deploy/windows/velmora.ico.

Windows Vista and later read PNG images inside an .ico, so the pictures go in
as they are. Run again after the PNG icons are redrawn.
"""
import pathlib
import struct

root = pathlib.Path(__file__).resolve().parents[2]
sizes = [16, 24, 32, 48, 64, 128, 256]
images = [(root / f"app/assets/hicolor/{s}x{s}/apps/velmora.png").read_bytes() for s in sizes]

header = struct.pack("<HHH", 0, 1, len(images))
offset = len(header) + 16 * len(images)
entries = b""
for size, data in zip(sizes, images):
    side = size % 256  # 0 stands for 256
    entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
(root / "deploy/windows/velmora.ico").write_bytes(header + entries + b"".join(images))
