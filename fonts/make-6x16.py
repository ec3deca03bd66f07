#!/usr/bin/env python3
"""Builds fonts/6x16.bdf, the console font, from the X11 misc-fixed 6x13 font.

The source is the public-domain 6x13 ISO 8859-1 font of Debian's xfonts-base,
converted to BDF with pcf2bdf and kept as fonts/source/6x13-ISO8859-1.bdf.
Every source glyph is drawn into its 6x13 cell, and that cell is placed in a
6x16 cell with TOP_PADDING blank rows above it and the rest below.

The reader on the device places glyphs by moving rows within the cell, the
font offsets before the glyph offsets, and loses whatever one move pushes out.
So the output font has a bounding box of 6 16 0 0 and every glyph is the full
cell (BBX 6 16 0 0, 16 bitmap lines): no offset moves anything.

Run from anywhere: python3 fonts/make-6x16.py
Installs pcf2bdf and xfonts-base with apt-get when they are missing (as root).
"""

import os
import shutil
import subprocess
import sys

PCF = "/usr/share/fonts/X11/misc/6x13-ISO8859-1.pcf.gz"
PACKAGES = ("xfonts-base", "pcf2bdf")
FONTS_DIR = os.path.dirname(os.path.abspath(__file__))
SOURCE_BDF = os.path.join(FONTS_DIR, "source", "6x13-ISO8859-1.bdf")
OUTPUT_BDF = os.path.join(FONTS_DIR, "6x16.bdf")

CELL_WIDTH = 6
CELL_HEIGHT = 16
TOP_PADDING = 2


def ensure_tools():
    if os.path.exists(PCF) and shutil.which("pcf2bdf"):
        return
    if os.geteuid() != 0:
        sys.exit("make-6x16: needs %s and pcf2bdf; run as root to install %s"
                 % (PCF, " ".join(PACKAGES)))
    subprocess.run(["apt-get", "update"], check=True)
    subprocess.run(["apt-get", "install", "-y", *PACKAGES], check=True)


def package_version(name):
    return subprocess.run(["dpkg-query", "-W", "-f=${Version}", name], check=True,
                          capture_output=True, text=True).stdout


def convert_source():
    os.makedirs(os.path.dirname(SOURCE_BDF), exist_ok=True)
    subprocess.run(["pcf2bdf", "-o", SOURCE_BDF, PCF], check=True)


def parse_bdf(path):
    """Returns (header lines, properties as (name, value text) pairs, bounding
    box, glyphs); each glyph a dict with name, encoding, swidth, dwidth, bbx and
    bitmap lines."""
    header, properties, glyphs = [], [], []
    box = None
    glyph = None
    section = "header"
    with open(path, encoding="latin-1") as source:
        for raw in source:
            line = raw.rstrip("\r\n")
            words = line.split()
            keyword = words[0] if words else ""
            if section == "header":
                if keyword == "FONTBOUNDINGBOX":
                    box = tuple(int(w) for w in words[1:5])
                elif keyword == "STARTPROPERTIES":
                    section = "properties"
                elif keyword in ("STARTFONT", "FONT", "SIZE"):
                    header.append(line)
            elif section == "properties":
                if keyword == "ENDPROPERTIES":
                    section = "glyphs"
                else:
                    properties.append((keyword, line[len(keyword):].strip()))
            elif keyword == "STARTCHAR":
                glyph = {"name": line[len("STARTCHAR"):].strip(), "bitmap": None}
            elif keyword == "ENCODING":
                glyph["encoding"] = int(words[1])
            elif keyword in ("SWIDTH", "DWIDTH"):
                glyph[keyword.lower()] = " ".join(words[1:])
            elif keyword == "BBX":
                glyph["bbx"] = tuple(int(w) for w in words[1:5])
            elif keyword == "BITMAP":
                glyph["bitmap"] = []
            elif keyword == "ENDCHAR":
                glyphs.append(glyph)
                glyph = None
            elif glyph is not None and glyph["bitmap"] is not None:
                glyph["bitmap"].append(line)
    return header, properties, box, glyphs


def cell_rows(glyph, box):
    """The glyph drawn into the 16-row cell: one integer per row, bit 7 the
    leftmost column."""
    font_width, font_height, font_x, font_y = box
    width, height, x, y = glyph["bbx"]
    rows = [0] * CELL_HEIGHT
    for j, line in enumerate(glyph["bitmap"]):
        bits = int(line, 16)
        line_width = 4 * len(line)
        for i in range(width):
            if not bits >> (line_width - 1 - i) & 1:
                continue
            column = x - font_x + i
            row = TOP_PADDING + font_height - 1 - (y - font_y + height - 1 - j)
            if not (0 <= column < CELL_WIDTH and TOP_PADDING <= row < TOP_PADDING + font_height):
                sys.exit("make-6x16: glyph %s reaches outside its cell" % glyph["name"])
            rows[row] |= 0x80 >> column
    return rows


def property_line(name, value, replaced):
    return "%s %s" % (name, replaced.get(name, value))


def write_font(properties, box, glyphs, version):
    glyphs = [g for g in glyphs if 0 <= g["encoding"] <= 255]
    glyphs.sort(key=lambda g: g["encoding"])
    replaced = {
        "PIXEL_SIZE": str(CELL_HEIGHT),
        "FONT_ASCENT": str(CELL_HEIGHT),
        "FONT_DESCENT": "0",
    }
    source_descent = -box[3]
    lines = [
        "STARTFONT 2.1",
        "COMMENT Console font for the device: 6x16 cells.",
        "COMMENT Derived from 6x13-ISO8859-1 (misc-fixed) of xfonts-base %s" % version,
        "COMMENT by fonts/make-6x16.py: each glyph is the whole 6x16 cell, the 13-row",
        "COMMENT source cell placed %d rows below the top; the text baseline lies %d rows"
        % (TOP_PADDING, CELL_HEIGHT - TOP_PADDING - box[1] + source_descent),
        "COMMENT above the bottom of the cell.",
        "FONT -Misc-Fixed-Medium-R-SemiCondensed--16-120-75-75-C-60-ISO8859-1",
        "SIZE 12 75 75",
        "FONTBOUNDINGBOX %d %d 0 0" % (CELL_WIDTH, CELL_HEIGHT),
        "STARTPROPERTIES %d" % len(properties),
    ]
    lines += [property_line(name, value, replaced) for name, value in properties]
    lines += ["ENDPROPERTIES", "CHARS %d" % len(glyphs)]
    for glyph in glyphs:
        lines += [
            "STARTCHAR %s" % glyph["name"],
            "ENCODING %d" % glyph["encoding"],
            "SWIDTH %s" % glyph["swidth"],
            "DWIDTH %s" % glyph["dwidth"],
            "BBX %d %d 0 0" % (CELL_WIDTH, CELL_HEIGHT),
            "BITMAP",
        ]
        lines += ["%02X" % row for row in cell_rows(glyph, box)]
        lines.append("ENDCHAR")
    lines.append("ENDFONT")
    with open(OUTPUT_BDF, "w", encoding="latin-1", newline="\n") as output:
        output.write("\n".join(lines) + "\n")
    return len(glyphs)


def main():
    ensure_tools()
    convert_source()
    _, properties, box, glyphs = parse_bdf(SOURCE_BDF)
    if box[0] != CELL_WIDTH or box[1] > CELL_HEIGHT - TOP_PADDING:
        sys.exit("make-6x16: unexpected source bounding box %s" % (box,))
    count = write_font(properties, box, glyphs, package_version("xfonts-base"))
    print("wrote %s: %d glyphs" % (os.path.relpath(OUTPUT_BDF), count))


if __name__ == "__main__":
    main()
