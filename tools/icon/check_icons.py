#!/usr/bin/env python3
"""check_icons.py -- decodes the committed icon PNGs with zlib and checks size and colours.

Points are given on the generator's 1024 x 1024 design grid and looked up in each size.
"""
import struct
import sys
import zlib


def decode_png(path):
    """Returns (width, height, rows of RGBA tuples) of an 8-bit RGBA PNG."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "bad signature"
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        assert zlib.crc32(kind + body) == crc, f"bad CRC in {kind!r}"
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 6), "not 8-bit RGBA"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 4
    assert len(raw) == height * (stride + 1), "wrong amount of pixel data"
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = previous[i]
            c = previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            else:
                assert kind == 0, f"unknown filter {kind}"
        rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(width)])
        previous = line
    return width, height, rows


# (design x, design y, expected RGBA, smallest size where the point is a whole pixel)
EXPECTED = [
    (0, 0, None, 48),                            # outside the rounded plate: transparent
    (272, 152, (0x22, 0x00, 0xAA, 255), 48),     # plate between two holes
    (152, 152, (0x4A, 0x4A, 0x4C, 255), 48),     # empty hole, top left
    (152, 872, (0xFF, 0x44, 0x00, 255), 48),     # red disc, bottom left
    (392, 872, (0xFF, 0xFF, 0x00, 255), 48),     # yellow disc beside it
    (872, 152, (0xFF, 0x44, 0x00, 255), 48),     # red disc, top right: the diagonal's end
    (152 + 64, 872, (0xBB, 0x00, 0x00, 255), 128),  # the red disc's darker ring
    (392 + 64, 872, (0xBB, 0xBB, 0x00, 255), 128),  # the yellow disc's darker ring
]


def main():
    folder = sys.argv[1]
    failures = 0
    for size in (48, 128, 192, 256, 512):
        width, height, rows = decode_png(f"{folder}/viertal-{size}.png")
        if (width, height) != (size, size):
            print(f"viertal-{size}.png: size {width} x {height}")
            failures += 1
            continue
        for x, y, want, smallest in EXPECTED:
            if size < smallest:
                continue
            got = rows[y * size // 1024][x * size // 1024]
            ok = got[3] == 0 if want is None else got == want
            if not ok:
                print(f"viertal-{size}.png at design ({x}, {y}): expected {want}, got {got}")
                failures += 1
    if not failures:
        print("icons decode with the expected size and colours")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
