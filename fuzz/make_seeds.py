#!/usr/bin/env python3
"""Writes the hand-made seeds of the renderer and console fuzz targets into
corpus/renderer and corpus/console, in the input layouts their sources
describe. Run it from anywhere; it only adds or overwrites these seeds, so
inputs that once made a target fail stay in the corpus beside them."""

import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent


def u8(v):
    return struct.pack("<B", v & 0xFF)


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def text(b):
    if isinstance(b, str):
        b = b.encode("latin-1")
    return u8(len(b)) + b


# --- renderer ---------------------------------------------------------------

def bitmap(width, height):
    return u16(width + 32) + u16(height + 32)


def font(width, height, glyphs, table=True, raw_width=None, raw_height=None):
    out = u8(1 if table else 0)
    out += u8(240) + u32(raw_width) if raw_width is not None else u8(width - 1)
    out += u8(240) + u32(raw_height) if raw_height is not None else u8(height - 1)
    rows = max(0, min(raw_height if raw_height is not None else height, 60))
    out += u8(len(glyphs))
    for code, pattern in glyphs:
        out += u8(code)
        for r in range(rows):
            out += u16(pattern[r % len(pattern)])
    return out


def cursor(x, y):
    return u8(0) + u8(0) + u16(x + 32) + u8(0) + u16(y + 32)


def putc(code):
    return u8(1) + u8(code)


def putc_wide(code):
    return u8(2) + u32(code)


def puts(s):
    return u8(3) + text(s)


def attribute(op, on):
    return u8(op) + u8(1 if on else 0)


DOUBLE_WIDTH, DOUBLE_HEIGHT, INVERTED, BITMAP_INVERTED = 4, 5, 6, 7

GLYPHS_6 = [(ord("A"), [0x20, 0x50, 0x88, 0xF8, 0x88]), (ord("B"), [0xF0, 0x88, 0xF0]),
            (0xA4, [0x88, 0x70, 0x50, 0x70, 0x88]), (10, [0xFC])]
GLYPHS_16 = [(ord("W"), [0x8001, 0x4002, 0xFFFF]), (0x20, [0x0000])]

RENDERER = {
    "cells_and_clipping": bitmap(128, 64) + font(6, 16, GLYPHS_6) + putc(ord("A")) + putc(ord("B"))
    + puts("AB\nBA") + cursor(124, 56) + putc(ord("A")) + cursor(-3, -5) + putc(ord("B")),
    "attributes": bitmap(64, 32) + font(6, 16, GLYPHS_6) + attribute(DOUBLE_WIDTH, True)
    + putc(ord("A")) + attribute(DOUBLE_HEIGHT, True) + putc(ord("B"))
    + attribute(INVERTED, True) + putc(ord("Z")) + attribute(BITMAP_INVERTED, True)
    + putc(ord("A")) + attribute(DOUBLE_WIDTH, False) + puts("ABAB"),
    "wide_font": bitmap(40, 40) + font(16, 30, GLYPHS_16) + puts("WW W") + u8(8) + u32(ord("W"))
    + attribute(DOUBLE_WIDTH, True) + putc(ord("W")),
    "odd_width": bitmap(13, 7) + font(3, 2, GLYPHS_6) + puts("ABABAB") + cursor(12, 6)
    + putc(ord("A")),
    "empty_bitmaps": bitmap(0, 64) + font(6, 16, GLYPHS_6) + puts("AB") + cursor(0, 0)
    + putc(ord("A")),
    "negative_size": bitmap(-8, -1) + font(6, 16, GLYPHS_6) + puts("AB"),
    "tiny_bitmap": bitmap(3, 2) + font(6, 16, GLYPHS_6) + puts("A"),
    "font_sizes_out_of_range": bitmap(64, 64)
    + font(0, 0, GLYPHS_6, raw_width=0x7FFFFFFF, raw_height=-5) + puts("AB")
    + attribute(DOUBLE_WIDTH, True) + attribute(DOUBLE_HEIGHT, True) + putc(ord("A")),
    "tall_font": bitmap(32, 200) + font(0, 0, GLYPHS_6, raw_height=100) + puts("AAA")
    + attribute(DOUBLE_HEIGHT, True) + putc(ord("B")),
    "no_glyph_table": bitmap(64, 32) + font(6, 16, GLYPHS_6, table=False) + puts("AB")
    + u8(8) + u32(ord("A")),
    "codes_beyond_a_byte": bitmap(64, 32) + font(6, 16, GLYPHS_6) + putc_wide(266)
    + putc_wide(-1) + putc_wide(0x141) + putc_wide(10),
    "bitmap_operations": bitmap(48, 24) + font(6, 16, GLYPHS_6) + cursor(40, 20)
    + u8(10) + u8(0) + u16(32 + 20) + u8(0) + u16(32 + 10) + u8(1)
    + u8(11) + u8(0) + u16(32 + 100) + u8(0) + u16(32 + 100) + u8(0)
    + u8(12) + text(b"\xAA\x55\xFF\x00") + u8(1)
    + u8(13) + u8(0) + u16(32 + 47) + u8(0) + u16(32 + 23)
    + u8(14) + u8(0) + u16(32 + 48) + u8(0) + u16(32 + 0) + u8(9),
    "release_then_draw": bitmap(64, 32) + font(6, 16, GLYPHS_6) + putc(ord("A")) + u8(15)
    + putc(ord("A")) + u8(8) + u32(ord("B")),
}

# --- console ----------------------------------------------------------------

DEPTH_INDEX = {1: 0, 2: 6, 4: 7, 8: 8, 16: 9, 24: 10, 32: 11, 3: 12, 0: 13}


def geometry(width, height, depth):
    return u8(0) + u8(width // 8 - 1) + u8(height) + u8(DEPTH_INDEX[depth])


def raw_geometry(width, height, depth):
    return u8(255) + u32(width) + u32(height) + u32(depth)


OPEN_REFUSED, INFO_REFUSED, ANSWERS_NORMAL = 1, 2, 0
SHIPPED, NO_FONT = u8(0), u8(1)


def solid(width, height):
    return u8(2) + u8(width - 1) + u8(height - 1)


def font_text(t):
    return u8(3) + text(t)


CLEAR, UPDATE = u8(0), u8(3)


def line(s):
    return u8(1) + text(s)


def answer(kind, seed=0):  # 0 whole, 1 part, 2 nothing, 3 failure
    return u8(4) + u8(kind) + u32(seed)


def console_attribute(op, on):
    return u8(op) + u8(1 if on else 0)


def inversion(which):  # 0 font on, 1 font off, 2 toggle the bitmap's mode
    return u8(7) + u8(which)


SMALL_FONT = ("STARTFONT 2.1\nFONTBOUNDINGBOX 4 6 0 0\nENDPROPERTIES\nCHARS 1\n"
              "STARTCHAR a\nENCODING 65\nBBX 4 6 0 0\nBITMAP\n60\n90\nF0\n90\n90\n00\nENDCHAR\nENDFONT\n")

CONSOLE = {
    "procedure_128x64": geometry(128, 64, 1) + u8(ANSWERS_NORMAL) + SHIPPED + CLEAR
    + line("K300-RESTOREMARK-V1-0") + line("Success."),
    "long_line_and_breaks": geometry(120, 48, 1) + u8(0) + SHIPPED + CLEAR
    + line("K300-RESTOREMARK-V1-0 and then some more") + line("AB\nCD\nEF") + line("") + UPDATE,
    "missing_font": geometry(64, 32, 1) + u8(0) + NO_FONT + CLEAR + line("Error.") + UPDATE,
    "one_line_screen": geometry(8, 16, 1) + u8(0) + SHIPPED + CLEAR + line("KZ") + line("x"),
    "deeper_pixels": geometry(128, 64, 8) + u8(0) + SHIPPED + CLEAR + line("Success.")
    + line("Error."),
    "odd_depths": geometry(64, 17, 3) + u8(0) + SHIPPED + CLEAR + line("abc") + UPDATE,
    "depth_24": geometry(32, 40, 24) + u8(0) + SHIPPED + CLEAR + line("abcdef"),
    "too_low": geometry(128, 15, 1) + u8(0) + SHIPPED,
    "no_depth": geometry(128, 64, 0) + u8(0) + SHIPPED,
    "open_refused": geometry(128, 64, 1) + u8(OPEN_REFUSED) + SHIPPED,
    "information_refused": geometry(128, 64, 1) + u8(INFO_REFUSED) + SHIPPED,
    "pushes_taken_in_part_or_not_at_all": geometry(128, 64, 1) + u8(0) + SHIPPED + answer(1, 99)
    + CLEAR + line("part") + answer(2) + line("nothing") + UPDATE + answer(3) + CLEAR
    + answer(0) + line("whole"),
    "larger_font": geometry(128, 64, 1) + u8(0) + solid(16, 30) + CLEAR
    + line("K300-RESTOREMARK-V1-0") + line("Success."),
    "narrow_tall_font": geometry(64, 32, 1) + u8(0) + solid(1, 30) + CLEAR + line("abcdefghijk"),
    "font_from_input": geometry(64, 32, 1) + u8(0) + font_text(SMALL_FONT) + CLEAR + line("AAAA"),
    "attributes": geometry(96, 48, 1) + u8(0) + SHIPPED + console_attribute(5, True)
    + line("wide") + console_attribute(6, True) + line("tall") + inversion(0) + line("inv")
    + console_attribute(5, False) + console_attribute(6, False) + inversion(1) + inversion(2)
    + CLEAR + line("bitmap inverted") + inversion(2) + CLEAR,
    # The image size computed in 32 bits wraps for these: the console must
    # refuse them rather than allocate the wrapped size and draw past it.
    "size_wraps_32_bits": raw_geometry(16384, 16384, 32) + u8(0) + SHIPPED + CLEAR + line("x"),
    "depth_wraps_32_bits": raw_geometry(8, 16, 1 << 27) + u8(0) + SHIPPED + CLEAR + line("x"),
    "huge_width": raw_geometry(0xFFFFFFF8, 64, 1) + u8(0) + SHIPPED + CLEAR,
    "width_not_whole_bytes": raw_geometry(124, 64, 1) + u8(0) + SHIPPED + CLEAR,
}


def write(directory, seeds):
    directory.mkdir(parents=True, exist_ok=True)
    for name, data in seeds.items():
        (directory / name).write_bytes(data)


if __name__ == "__main__":
    write(HERE / "corpus" / "renderer", RENDERER)
    write(HERE / "corpus" / "console", CONSOLE)
