#!/usr/bin/env python3
"""Compares two sets of window pictures pixel by pixel.

Usage: same-pictures.py BEFORE_DIR AFTER_DIR [NAME.png ...]

Without names, every PNG of BEFORE_DIR is compared with the one of the same name
in AFTER_DIR. Prints, per picture, its size and the number of pixels that differ;
exits 1 when a picture is missing, has another size or differs in any pixel.
Reads the 8-bit truecolour PNGs Qt writes (RGB, RGBA, grey), with the Python
standard library only.
"""
import struct
import sys
import zlib
from pathlib import Path

CHANNELS = {0: 1, 2: 3, 4: 2, 6: 4}  # PNG colour type -> samples per pixel


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(path):
    """(width, height, channels, rows of raw samples) of an 8-bit, non-interlaced PNG."""
    data = Path(path).read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None:
        raise ValueError(f"{path}: no PNG header")
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in CHANNELS or interlace:
        raise ValueError(f"{path}: unsupported PNG (depth {depth}, colour type {colour}, interlace {interlace})")
    bpp = CHANNELS[colour]
    stride = width * bpp
    raw = zlib.decompress(idat)
    rows, prev = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up = prev[i]
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                upleft = prev[i - bpp] if i >= bpp else 0
                line[i] = (line[i] + paeth(left, up, upleft)) & 0xFF
        rows.append(bytes(line))
        prev = line
    return width, height, bpp, rows


def differing_pixels(a, b):
    wa, ha, ca, rows_a = a
    wb, hb, cb, rows_b = b
    if (wa, ha) != (wb, hb):
        return None
    if ca != cb:  # the same picture saved with and without alpha: compare colour only
        rows_a = [bytes(r[i] for i in range(len(r)) if i % ca < 3) for r in rows_a]
        rows_b = [bytes(r[i] for i in range(len(r)) if i % cb < 3) for r in rows_b]
        ca = cb = 3
    count = 0
    for ra, rb in zip(rows_a, rows_b):
        if ra == rb:
            continue
        count += sum(1 for x in range(wa) if ra[x * ca:(x + 1) * ca] != rb[x * cb:(x + 1) * cb])
    return count


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    before, after = Path(argv[1]), Path(argv[2])
    names = argv[3:] or sorted(p.name for p in before.glob("*.png"))
    if not names:
        print(f"{before}: no pictures", file=sys.stderr)
        return 2
    failed = False
    for name in names:
        if not (after / name).exists():
            print(f"{name}: missing in {after}")
            failed = True
            continue
        a, b = read_png(before / name), read_png(after / name)
        diff = differing_pixels(a, b)
        if diff is None:
            print(f"{name}: size {a[0]}x{a[1]} became {b[0]}x{b[1]}")
            failed = True
        else:
            print(f"{name}: {a[0]}x{a[1]}, {diff} pixels differ")
            failed = failed or diff != 0
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
