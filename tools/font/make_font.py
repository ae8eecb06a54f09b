#!/usr/bin/env python3
# make_font.py -- converts a Debian console font (PSF with a Unicode table) into the game's
# 8 x 16 code-page-437 font, screen/font_8x16.cpp.
#
# Usage: make_font.py OUTPUT_CPP PSF_FILE...
# Each of the 256 codes is mapped to its Unicode character and takes the console fonts' glyph
# for it (see pick_glyph); code 0 is blank. The symbols the console font lacks (smileys, card suits, notes,
# half blocks and the like) are drawn or computed here. The output is the same bytes for the same font file.
import gzip
import sys

# Code page 437 as Unicode: 0..31 and 127 are the graphic symbols of the PC's text screen;
# 128..255 come from Python's cp437 codec.
LOW = ("\u0000\u263a\u263b\u2665\u2666\u2663\u2660\u2022\u25d8\u25cb\u25d9\u2642\u2640\u266a\u266b\u263c"
       "\u25ba\u25c4\u2195\u203c\u00b6\u00a7\u25ac\u21a8\u2191\u2193\u2192\u2190\u221f\u2194\u25b2\u25bc")
# Fallbacks for symbols a console font may lack: a close look-alike from the same font.
ALTERNATES = {
    "\u25ba": "\u25b6", "\u25c4": "\u25c0", "\u25ac": "\u25ae", "\u221f": "\u2514", "\u2302": "\u25b3",
    "\u00a0": " ", "\u03b2": "\u00df", "\u2219": "\u00b7", "\u03a9": "\u2126", "\u03bc": "\u00b5",
}

# Glyphs drawn for this game where the console font has none: the symbols of codes 1..31 and
# 127 ("#" is a set pixel; missing rows at the bottom are blank).
DRAWN = {
    "\u263a": ["........", "........", ".######.", "#......#", "#.#..#.#", "#......#", "#......#",
               "#.####.#", "#..##..#", "#......#", "#......#", ".######."],
    "\u263b": ["........", "........", ".######.", "########", "##.##.##", "########", "########",
               "##....##", "###..###", "########", "########", ".######."],
    "\u2665": ["........", "........", "........", "........", ".##.##..", "#######.", "#######.",
               "#######.", ".#####..", "..###...", "...#...."],
    "\u2663": ["........", "........", "........", "...##...", "..####..", "..####..", "###..###",
               "########", "###..###", "...##...", "...##...", "..####.."],
    "\u2660": ["........", "........", "........", "...#....", "..###...", ".#####..", "#######.",
               "#######.", ".#.#.#..", "...#....", "..###..."],
    "\u25d8": ["########"] * 6 + ["###..###", "##....##", "##....##", "###..###"] + ["########"] * 6,
    "\u25cb": ["........", "........", "........", "........", "........", "..####..", ".##..##.",
               ".#....#.", ".#....#.", ".##..##.", "..####.."],
    "\u25d9": ["########"] * 5 + ["##....##", "#..##..#", "#.####.#", "#.####.#", "#..##..#",
                                  "##....##"] + ["########"] * 5,
    "\u2642": ["........", "........", "....####", "......##", ".....#.#", "....#..#", "..####..",
               ".##..##.", ".#....#.", ".#....#.", ".##..##.", "..####.."],
    "\u2640": ["........", "........", "..####..", ".##..##.", ".#....#.", ".#....#.", ".##..##.",
               "..####..", "...##...", ".######.", "...##...", "...##..."],
    "\u266a": ["........", "........", "...##...", "...###..", "...####.", "...##.##", "...##...",
               "...##...", "...##...", ".####...", "#####...", ".###...."],
    "\u266b": ["........", "........", "..######", "..######", "..##..##", "..##..##", "..##..##",
               "..##..##", "..##.###", ".#######", "####.##.", ".##....."],
    "\u263c": ["........", "........", "........", "...##...", "##.##.##", "..####..", ".##..##.",
               "###..###", ".##..##.", "..####..", "##.##.##", "...##..."],
    "\u2195": ["........", "........", "...##...", "..####..", ".######.", "...##...", "...##...",
               "...##...", ".######.", "..####..", "...##..."],
    "\u21a8": ["........", "........", "...##...", "..####..", ".######.", "...##...", "...##...",
               "...##...", ".######.", "..####..", "...##...", ".######."],
    "\u2194": ["........", "........", "........", "........", "........", "..#..#..", ".##..##.",
               "########", ".##..##.", "..#..#.."],
    "\u2302": ["........", "........", "........", "........", "...#....", "..#.#...", ".#...#..",
               "#.....#.", "#.....#.", "#.....#.", "#######."],
}

# Block elements computed from their definition; the dark shade is the light shade inverted.
BLOCKS = {
    "\u2580": lambda light: bytes([0xFF] * 8 + [0] * 8),
    "\u2584": lambda light: bytes([0] * 8 + [0xFF] * 8),
    "\u258c": lambda light: bytes([0xF0] * 16),
    "\u2590": lambda light: bytes([0x0F] * 16),
    "\u2593": lambda light: bytes(b ^ 0xFF for b in light),
}


def drawn_glyph(rows):
    """Returns the 16 bytes of a glyph drawn as rows of "#" and "."."""
    rows = rows + ["........"] * (16 - len(rows))
    assert len(rows) == 16 and all(len(r) == 8 for r in rows)
    return bytes(int(r.replace("#", "1").replace(".", "0"), 2) for r in rows)


def cp437_char(code):
    """Returns the Unicode character that code page 437 shows for a byte."""
    if code < 32:
        return LOW[code]
    if code == 127:
        return "\u2302"
    return bytes([code]).decode("cp437")


def read_psf(path):
    """Returns (glyph height, list of glyph bitmaps, {character: glyph index})."""
    data = gzip.open(path).read() if path.endswith(".gz") else open(path, "rb").read()
    table = {}
    if data[:2] == b"\x36\x04":  # PSF1: 8 pixels wide, 256 or 512 glyphs, UCS-2 table
        mode, height = data[2], data[3]
        count = 512 if mode & 1 else 256
        glyphs = [data[4 + i * height: 4 + (i + 1) * height] for i in range(count)]
        pos, index = 4 + count * height, 0
        while mode & 6 and pos + 1 < len(data) and index < count:
            value = data[pos] | data[pos + 1] << 8
            pos += 2
            if value == 0xFFFF:
                index += 1
            elif value != 0xFFFE:
                table.setdefault(chr(value), index)
        return height, glyphs, table
    if data[:4] != b"\x72\xb5\x4a\x86":
        sys.exit("make_font: not a PSF font: " + path)
    header_size, flags, count, size, height, width = (int.from_bytes(data[8 + 4 * i: 12 + 4 * i], "little")
                                                      for i in range(6))
    if width != 8:
        sys.exit("make_font: glyphs must be 8 pixels wide")
    glyphs = [data[header_size + i * size: header_size + (i + 1) * size] for i in range(count)]
    pos, index = header_size + count * size, 0
    while flags & 1 and pos < len(data) and index < count:
        end = data.index(b"\xff", pos)
        entry = data[pos:end].split(b"\xfe")[0]  # single characters; sequences are skipped
        for ch in entry.decode("utf-8"):
            table.setdefault(ch, index)
        pos, index = end + 1, index + 1
    return height, glyphs, table


def pick_glyph(fonts, ch):
    """Returns the glyph for a character from the font that gives it the most dedicated glyph.

    A console font's Unicode table often lets a look-alike stand in for a character it lacks
    (a single-line corner for a double-line one); such a glyph serves many characters, so the
    glyph shared by the fewest characters wins, the earlier font on a tie. None when no font
    has the character.
    """
    best = None
    for height, glyphs, table in fonts:
        index = table.get(ch)
        if index is None:
            continue
        sharing = sum(1 for other in table.values() if other == index)
        if best is None or sharing < best[0]:
            best = (sharing, bytes(glyphs[index]))
    return None if best is None else best[1]


def convert(paths):
    """Returns the 256 glyphs of 16 rows each; exits when no font has a character."""
    fonts = [read_psf(path) for path in paths]
    if any(height != 16 for height, glyphs, table in fonts):
        sys.exit("make_font: glyphs must be 16 pixels high")
    light_shade = pick_glyph(fonts, "\u2591")
    result, missing = [], []
    for code in range(256):
        ch = cp437_char(code)
        if code == 0:
            glyph = bytes(16)
        elif ch in DRAWN:
            glyph = drawn_glyph(DRAWN[ch])
        elif ch in BLOCKS:
            glyph = BLOCKS[ch](light_shade)
        else:
            glyph = pick_glyph(fonts, ch)
            if glyph is None and ch in ALTERNATES:
                glyph = pick_glyph(fonts, ALTERNATES[ch])
        if glyph is None:
            missing.append("%d U+%04X" % (code, ord(ch)))
        result.append(glyph)
    if missing:
        sys.exit("make_font: characters missing from the fonts: " + ", ".join(missing))
    return result


def write_cpp(glyphs, sources, out):
    """Writes the glyphs as the C++ source file the screen core compiles."""
    lines = [
        "// font_8x16.cpp -- the 8 x 16 code-page-437 font (generated by tools/font/make_font.py; do not edit).",
        "//",
        "// Converted from " + " and ".join(sources) + " (Debian package console-setup-linux);",
        "// the symbols they lack are drawn by the converter. Origin and licence: screen/FONT-LICENSE.md.",
        "// One glyph a line, rows from the top, bit 7 the left pixel.",
        "#include \"screen/font.h\"",
        "",
        "const uint8_t font_8x16[256][16] = {",
    ]
    for code, glyph in enumerate(glyphs):
        row = ", ".join("0x%02X" % b for b in glyph)
        lines.append("    {%s}, // %d" % (row, code))
    lines.append("};")
    with open(out, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: make_font.py OUTPUT_CPP PSF_FILE...")
    write_cpp(convert(sys.argv[2:]), [path.rsplit("/", 1)[-1] for path in sys.argv[2:]], sys.argv[1])
