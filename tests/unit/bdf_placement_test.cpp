// BDF reader: how bitmap lines become cell rows, and how the font and glyph
// offsets place a glyph in its cell, one offset after another.
#include <array>
#include <climits>

#include "bdf_test_support.h"

namespace {

using bdf_test::font;
using bdf_test::glyph;
using bdf_test::rows;

class BdfPlacementTest : public bdf_test::BdfTest {
 protected:
  // Loads a one-glyph font and gives back the glyph's 16 cell rows.
  std::array<uint16_t, 16> placed(const std::string& box, const std::string& bbx,
                                  const std::vector<std::string>& lines) {
    std::array<uint16_t, 16> cell{};
    const auto outcome = load(font(box, "1", glyph(65, bbx, lines)));
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.output, "");
    const bdf_char* record = get_bdf_char(65);
    if (record != nullptr) std::copy_n(record->rows, cell.size(), cell.begin());
    return cell;
  }
};

// Sixteen bitmap lines 01 to 10 (hex), so every row can be told apart.
std::vector<std::string> numbered_lines() {
  std::vector<std::string> lines;
  for (int i = 1; i <= 16; ++i) {
    char line[3];
    snprintf(line, sizeof line, "%02X", i);
    lines.emplace_back(line);
  }
  return lines;
}

// The numbered glyph moved `up` rows (down when negative), rows that leave the
// cell lost, rows that come in blank.
std::array<uint16_t, 16> numbered_moved(int up) {
  std::array<uint16_t, 16> cell{};
  for (int r = 0; r < 16; ++r) {
    const int source = r + up;
    if (source >= 0 && source < 16) cell[r] = static_cast<uint16_t>(source + 1);
  }
  return cell;
}

std::array<uint16_t, 16> filled(uint16_t row) {
  std::array<uint16_t, 16> cell;
  cell.fill(row);
  return cell;
}

TEST_F(BdfPlacementTest, FontYOffsetDropsTopRowsBeforeGlyphOffsetBringsThemBack) {
  // The font offset moves the glyph up by 4 and loses its top rows; the glyph
  // offset moves it back down, leaving the cell's top four rows blank.
  auto expected = numbered_moved(0);
  for (int r = 0; r < 4; ++r) expected[r] = 0;
  EXPECT_EQ(placed("6 16 0 -4", "6 16 0 -4", numbered_lines()), expected);
}

TEST_F(BdfPlacementTest, SmallBoxLandsAtItsOffsets) {
  auto expected = filled(0);
  expected[10] = expected[11] = 0x30;
  EXPECT_EQ(placed("6 16 0 -4", "2 2 2 0", {"C0", "C0"}), expected);
}

TEST_F(BdfPlacementTest, VerticalOffsetsMoveRows) {
  struct move {
    const char* box;
    const char* bbx;
    int up;
  };
  for (const move& m : {move{"6 16 0 -3", "6 16 0 0", 3}, move{"6 16 0 3", "6 16 0 0", -3},
                        move{"6 16 0 0", "6 16 0 -3", -3}, move{"6 16 0 0", "6 16 0 3", 3},
                        // Beyond half the cell every row the move leaves is blank.
                        move{"6 16 0 0", "6 16 0 15", 15}, move{"6 16 0 -10", "6 16 0 0", 10},
                        move{"6 16 0 0", "6 16 0 -9", -9}, move{"6 16 0 9", "6 16 0 0", -9}}) {
    SCOPED_TRACE(std::string(m.box) + " / " + m.bbx);
    reset();
    EXPECT_EQ(placed(m.box, m.bbx, numbered_lines()), numbered_moved(m.up));
  }
}

TEST_F(BdfPlacementTest, MovesByTheWholeCellOrMoreLeaveRowsAsTheyAre) {
  for (const char* box : {"6 16 0 -16", "6 16 0 17", "6 16 0 -2147483648", "6 16 0 2147483647"}) {
    SCOPED_TRACE(box);
    reset();
    EXPECT_EQ(placed(box, "6 16 0 0", numbered_lines()), numbered_moved(0));
  }
  reset();
  EXPECT_EQ(placed("6 16 0 0", "6 16 0 -2147483648", numbered_lines()), numbered_moved(0));
}

TEST_F(BdfPlacementTest, HorizontalOffsetsShiftRows) {
  struct shift {
    const char* box;
    const char* bbx;
    uint16_t row;
  };
  for (const shift& s :
       {shift{"6 16 -2 0", "6 16 0 0", 0x3C >> 2},
        shift{"6 16 2 0", "6 16 0 0", 0x3C << 2},  // kept beyond the cell
        shift{"6 16 0 0", "6 16 -2 0", 0x3C << 2}, shift{"6 16 0 0", "6 16 2 0", 0x3C >> 2},
        shift{"6 16 12 0", "6 16 0 0", 0xC000}, shift{"6 16 16 0", "6 16 0 0", 0},
        shift{"6 16 -16 0", "6 16 0 0", 0}, shift{"6 16 0 0", "6 16 -16 0", 0},
        shift{"6 16 0 0", "6 16 16 0", 0}, shift{"6 16 -2147483648 0", "6 16 0 0", 0},
        shift{"6 16 0 0", "6 16 -2147483648 0", 0}}) {
    SCOPED_TRACE(std::string(s.box) + " / " + s.bbx);
    reset();
    EXPECT_EQ(placed(s.box, s.bbx, rows(16, "3C")), filled(s.row));
  }
}

TEST_F(BdfPlacementTest, PixelsPushedOutByOneOffsetAreLost) {
  // The font x offset pushes the two leftmost columns out of the 16-bit row
  // before the glyph x offset shifts the row back.
  EXPECT_EQ(placed("16 16 2 0", "16 16 2 0", rows(16, "FFFF")), filled(0x3FFF));
  // The font y offset moves the bottom rows out before the glyph y offset
  // moves the glyph back up.
  reset();
  auto expected = numbered_moved(0);
  for (int r = 13; r < 16; ++r) expected[r] = 0;
  EXPECT_EQ(placed("6 16 0 3", "6 16 0 3", numbered_lines()), expected);
}

TEST_F(BdfPlacementTest, BitmapLineWidths) {
  struct line_case {
    int width;
    std::string line;
    uint16_t row;
  };
  for (const line_case& c : {
           line_case{6, "FC", 0xFC},
           line_case{6, "F", 0xF0},       // one digit: brought to the row's top bits
           line_case{6, "FC\r", 0xFC},    // the carriage return counts as a digit
           line_case{6, "FFFF", 0xFFFF},  // wider than the cell: stored as read
           line_case{6, "", 0},
           line_case{6, "12345", 0x2345},  // cut to 16 bits
           line_case{6, "-1", 0xFFFF},
           line_case{6, "0x3c", 0x3C},
           line_case{6, "1G", 0x01},  // reading stops at the first non-digit
           line_case{6, std::string(300, 'F'), 0xFFFF},
           line_case{6, std::string("F\0FF", 4), 0x0F},  // every byte counts toward the width
           line_case{12, "FC", 0xFC00},
           line_case{12, "FFF0", 0xFFF0},
           line_case{12, "FC\r", 0xFC},
           line_case{12, "F", 0xF000},
           line_case{16, "FF", 0xFF00},
       }) {
    SCOPED_TRACE(std::to_string(c.width) + " wide, line '" + c.line + "'");
    reset();
    const auto cell = placed(std::to_string(c.width) + " 16 0 0", "16 1 0 0", {c.line});
    EXPECT_EQ(cell[15], c.row);
    EXPECT_EQ(cell[14], 0);
  }
}

TEST_F(BdfPlacementTest, TwelveWideFontWithCarriageReturnsEverywhere) {
  std::string text = font("12 16 0 0", "1", glyph(65, "12 16 0 0", rows(16, "FC")));
  for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
    text.insert(at, "\r");
  }
  EXPECT_EQ(load(text).result, 0);
  ASSERT_NE(get_bdf_char(65), nullptr);
  EXPECT_EQ(get_bdf_char(65)->rows[0], 0xFC);
}

}  // namespace
