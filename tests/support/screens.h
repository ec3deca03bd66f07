// A console font made up for the tests, and the screen the console must show
// with it, computed here from the font's rule and the text alone.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "font_builder.h"
#include "result.h"
#include "scenario.h"

namespace expect {

// Row r of the glyph of code c: a 6-pixel pattern in the top bits of a byte,
// different for every code and row, so that any misplaced pixel shows.
inline uint8_t test_glyph_row(int code, int row) {
  return static_cast<uint8_t>(((code * 37 + row * 11 + 5) & 0x3F) << 2);
}

inline std::vector<uint32_t> test_glyph_rows(int code) {
  std::vector<uint32_t> rows;
  for (int row = 0; row < 16; ++row) rows.push_back(test_glyph_row(code, row));
  return rows;
}

inline test_fonts::Glyph test_glyph(int code) {
  return test_fonts::Glyph(code).rows(test_glyph_rows(code));
}

// The made-up font's header, 6 x 16 cells, before any glyph.
inline test_fonts::FontBuilder test_font_header() {
  return test_fonts::FontBuilder().name("-test-6x16").size(16, 75, 75).property("FONT_ASCENT 16");
}

// The made-up font: codes 0-255, every glyph a full 6 x 16 box.
inline test_fonts::FontBuilder test_font() {
  auto font = test_font_header();
  for (int code = 0; code < 256; ++code) font.glyph(test_glyph(code));
  return font;
}

inline std::filesystem::path write_test_font(const std::filesystem::path& dir) {
  return test_font().write(dir / "test-6x16.bdf");
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
