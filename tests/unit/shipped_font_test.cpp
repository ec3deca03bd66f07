// The console font shipped as fonts/6x16.bdf: it loads through the reader as
// 6x16 cells, and every glyph's cell shows exactly its source glyph from the
// misc-fixed 6x13 font, drawn here by a separate small parser and set 2 rows
// below the top of the 16-row cell.
#include <array>
#include <fstream>
#include <map>
#include <sstream>

#include "bdf_test_support.h"
#include "build-paths.h"

namespace {

constexpr int kTopPadding = 2;

using cell = std::array<uint16_t, 16>;

// Reads the 6x13 source font: each glyph drawn into a 16-row cell, bit 7 the
// leftmost column.
std::map<int, cell> source_cells(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in) << path;
  std::map<int, cell> cells;
  int font_height = 0, font_x = 0, font_y = 0;
  int encoding = -1, width = 0, height = 0, x = 0, y = 0;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    if (keyword == "FONTBOUNDINGBOX") {
      int font_width;
      words >> font_width >> font_height >> font_x >> font_y;
    } else if (keyword == "ENCODING") {
      words >> encoding;
    } else if (keyword == "BBX") {
      words >> width >> height >> x >> y;
    } else if (keyword == "BITMAP") {
      cell& glyph = cells[encoding];
      glyph.fill(0);
      for (int j = 0; j < height && std::getline(in, line); ++j) {
        const unsigned long bits = std::stoul(line, nullptr, 16);
        const int line_bits = 4 * static_cast<int>(line.size());
        // Box row j lies (y - font_y) + (height - 1 - j) rows above the 13-row
        // cell's bottom row.
        const int row = kTopPadding + font_height - 1 - (y - font_y + height - 1 - j);
        for (int i = 0; i < width; ++i) {
          if ((bits >> (line_bits - 1 - i) & 1) == 0) continue;
          const int column = x - font_x + i;
          EXPECT_TRUE(column >= 0 && column < 6 && row >= kTopPadding && row < kTopPadding + 13)
              << "glyph " << encoding << " leaves its source cell";
          if (column >= 0 && column < 8 && row >= 0 && row < 16) glyph[row] |= 0x80 >> column;
        }
      }
    }
  }
  return cells;
}

class ShippedFontTest : public bdf_test::BdfTest {};

TEST_F(ShippedFontTest, EveryGlyphMatchesItsSource) {
  const auto outcome = load_path(build_paths::kShippedFont);
  ASSERT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.output, "");
  EXPECT_EQ(current_font.width, 6);
  EXPECT_EQ(current_font.height, 16);

  const auto expected =
      source_cells(std::string(build_paths::kSourceDir) + "/fonts/source/6x13-ISO8859-1.bdf");
  ASSERT_GE(expected.size(), 191u);
  for (int code = 0; code < 256; ++code) {
    const bool required = (code >= 32 && code <= 126) || code >= 160;
    const auto source = expected.find(code);
    const bdf_char* record = get_bdf_char(static_cast<uint8_t>(code));
    if (source == expected.end()) {
      EXPECT_FALSE(required) << "the source font lacks " << code;
      EXPECT_EQ(record, nullptr) << code;
      continue;
    }
    ASSERT_NE(record, nullptr) << "code " << code;
    for (int row = 0; row < 16; ++row) {
      // Only the cell's six columns are compared; nothing draws the others.
      EXPECT_EQ(record->rows[row] & 0xFC, source->second[row]) << "code " << code << " row " << row;
    }
  }
}

}  // namespace
