// A console font made up for the tests, and the screen the console must show
// with it, computed here from the font's rule and the text alone.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "result.h"
#include "scenario.h"

namespace expect {

// Row r of the glyph of code c: a 6-pixel pattern in the top bits of a byte,
// different for every code and row, so that any misplaced pixel shows.
inline uint8_t test_glyph_row(int code, int row) {
  return static_cast<uint8_t>(((code * 37 + row * 11 + 5) & 0x3F) << 2);
}

// Writes the made-up font as a BDF file: 6 x 16 cells, codes 0-255, every
// glyph a full 6 x 16 box.
inline std::filesystem::path write_test_font(const std::filesystem::path& dir) {
  const auto path = dir / "test-6x16.bdf";
  std::ofstream out(path);
  out << "STARTFONT 2.1\nFONT -test-6x16\nSIZE 16 75 75\nFONTBOUNDINGBOX 6 16 0 0\n"
         "STARTPROPERTIES 1\nFONT_ASCENT 16\nENDPROPERTIES\nCHARS 256\n";
  char hex[16];
  for (int code = 0; code < 256; ++code) {
    out << "STARTCHAR c" << code << "\nENCODING " << code << "\nBBX 6 16 0 0\nBITMAP\n";
    for (int row = 0; row < 16; ++row) {
      snprintf(hex, sizeof hex, "%02X\n", test_glyph_row(code, row));
      out << hex;
    }
    out << "ENDCHAR\n";
  }
  out << "ENDFONT\n";
  return path;
}

// The screen after the console showed `lines` (oldest first): the newest on
// the bottom 16 rows, each earlier one 16 rows higher, each cut to
// xres_virtual / 6 characters, of which the screen shows xres columns.
// Returned as '#'/'.' rows.
inline std::vector<std::string> screen(const twin::Geometry& g,
                                       const std::vector<std::string>& lines) {
  std::vector<std::string> rows(g.height, std::string(g.xres_virtual(), '.'));
  const size_t capacity = g.xres_virtual() / 6;
  for (size_t k = 0; k < lines.size(); ++k) {
    const long top = static_cast<long>(g.height) - 16L * static_cast<long>(lines.size() - k);
    if (top < 0) continue;  // scrolled off the screen
    const std::string text = lines[k].substr(0, capacity);
    for (size_t i = 0; i < text.size(); ++i) {
      for (int row = 0; row < 16; ++row) {
        const uint8_t bits = test_glyph_row(static_cast<unsigned char>(text[i]), row);
        for (int column = 0; column < 6; ++column) {
          if (bits & (0x80 >> column)) rows[top + row][i * 6 + column] = '#';
        }
      }
    }
  }
  for (auto& row : rows) row.resize(g.width, '.');
  return rows;
}

inline std::vector<std::string> blank(const twin::Geometry& g) { return screen(g, {}); }

}  // namespace expect
