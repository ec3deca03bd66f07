// Glyph renderer attributes: double width, double height and inverted, alone
// and together, checked against cells drawn out by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bdf-reader.h"
#include "font.h"
#include "drawing_state.h"
#include "guarded_image.h"
#include "mmap.h"

namespace {

using Picture = std::vector<std::string>;

using Image = GuardedImage;

class FontAttributesTest : public testing::Test {
 protected:
  void SetUp() override { reset_drawing_state(); }
  void TearDown() override { reset_drawing_state(); }

  void use_glyph(int32_t width, std::initializer_list<uint16_t> rows) {
    glyph_ = {'G', {}};
    std::copy(rows.begin(), rows.end(), glyph_.rows);
    current_font = {static_cast<int32_t>(rows.size()), width, 0, 0, 1, &glyph_};
  }

  // The first row of 'G' drawn at (0, 0) of a fresh image.
  static std::string first_row(int32_t cell_width) {
    Image image(32, 2);
    font_putc(image.bitmap, 'G');
    return image.picture(0, 0, cell_width, 1)[0];
  }

  bdf_char glyph_{};
};

struct Combination {
  bool double_width;
  bool double_height;
  bool inverted;
  Picture cell;
};

// A 5-pixel glyph with stray bits left of bit 7 and right of the cell, which
// must never show:   #...#    .###.    #.#..
const std::vector<Combination>& combinations() {
  static const std::vector<Combination> kAll = {
      {false, false, false, {"#...#", ".###.", "#.#.."}},
      {false, false, true, {".###.", "#...#", ".#.##"}},
      {true, false, false, {"##......##", "..######..", "##..##...."}},
      {true, false, true, {"..######..", "##......##", "..##..####"}},
      {false, true, false, {"#...#", "#...#", ".###.", ".###.", "#.#..", "#.#.."}},
      {false, true, true, {".###.", ".###.", "#...#", "#...#", ".#.##", ".#.##"}},
      {true,
       true,
       false,
       {"##......##", "##......##", "..######..", "..######..", "##..##....", "##..##...."}},
      {true,
       true,
       true,
       {"..######..", "..######..", "##......##", "##......##", "..##..####", "..##..####"}},
  };
  return kAll;
}

TEST_F(FontAttributesTest, EveryCombinationDrawsItsCellAndLeavesTheRestAlone) {
  constexpr int32_t kX = 3;
  constexpr int32_t kY = 1;
  for (const Combination& combination : combinations()) {
    SCOPED_TRACE(testing::Message()
                 << "double width " << combination.double_width << ", double height "
                 << combination.double_height << ", inverted " << combination.inverted);
    reset_drawing_state();
    use_glyph(5, {0x018F, 0x0075, 0xF0A0});
    combination.double_width ? font_set_double_width() : font_clear_double_width();
    combination.double_height ? font_set_double_height() : font_clear_double_height();
    combination.inverted ? font_set_inverted() : font_clear_inverted();

    // A checkerboard background shows any pixel the cell should not touch.
    Image image(16, 8);
    for (size_t i = 0; i < image.size(); ++i) {
      image.byte(i) = (i / 2) % 2 == 0 ? 0x55 : 0xAA;
    }
    image.bitmap.x = kX;
    image.bitmap.y = kY;
    font_putc(image.bitmap, 'G');

    const auto cell_width = static_cast<int32_t>(combination.cell[0].size());
    const auto cell_height = static_cast<int32_t>(combination.cell.size());
    EXPECT_EQ(font_get_width(), cell_width);
    EXPECT_EQ(font_get_height(), cell_height);
    EXPECT_EQ(image.picture(kX, kY, cell_width, cell_height), combination.cell);
    for (int32_t r = 0; r < 8; ++r) {
      for (int32_t c = 0; c < 16; ++c) {
        const bool in_cell = c >= kX && c < kX + cell_width && r >= kY && r < kY + cell_height;
        if (!in_cell) {
          EXPECT_EQ(image.pixel(c, r), (c + r) % 2 == 1) << "pixel " << c << ", " << r;
        }
      }
    }
    EXPECT_EQ(image.bitmap.x, kX + cell_width);
    EXPECT_EQ(image.bitmap.y, kY);
  }
}

TEST_F(FontAttributesTest, DoubleWidthDoublesEveryFontWidthFromTheCellsLeftEdge) {
  font_set_double_width();
  use_glyph(4, {0x90});  // #..#
  EXPECT_EQ(first_row(8), "##....##");
  use_glyph(6, {0xB4});  // #.##.#
  EXPECT_EQ(first_row(12), "##..####..##");
  use_glyph(9, {0x8080});  // #.......#
  EXPECT_EQ(first_row(18), "##..............##");
  use_glyph(12, {0x8030});  // #.........##
  EXPECT_EQ(first_row(24), "##..................####");
  use_glyph(16, {0x8001});  // #..............#
  EXPECT_EQ(first_row(32), "##............................##");
}

TEST_F(FontAttributesTest, WideFontsStartAtBit15) {
  use_glyph(12, {0x8030});
  EXPECT_EQ(first_row(12), "#.........##");
  use_glyph(16, {0xC001});
  EXPECT_EQ(first_row(16), "##.............#");
  font_set_inverted();
  use_glyph(9, {0x8080});
  EXPECT_EQ(first_row(9), ".#######.");
}

TEST_F(FontAttributesTest, CellSizeFollowsTheAttributesOfTheMoment) {
  use_glyph(6, std::initializer_list<uint16_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(font_get_width(), 6);
  EXPECT_EQ(font_get_height(), 16);
  font_set_double_width();
  EXPECT_EQ(font_get_width(), 12);
  EXPECT_EQ(font_get_height(), 16);
  font_set_double_height();
  EXPECT_EQ(font_get_height(), 32);
  font_set_inverted();  // no effect on the size
  EXPECT_EQ(font_get_width(), 12);
  font_clear_double_width();
  EXPECT_EQ(font_get_width(), 6);
  EXPECT_EQ(font_get_height(), 32);

  // A double-height line break moves down by the doubled height.
  Image image(16, 64);
  font_putc(image.bitmap, 10);
  EXPECT_EQ(image.bitmap.y, 32);
  font_putc(image.bitmap, 10);
  EXPECT_EQ(image.bitmap.y, 0);
}

TEST_F(FontAttributesTest, SettersAndClearersReturnZero) {
  EXPECT_EQ(font_set_double_width(), 0);
  EXPECT_EQ(font_clear_double_width(), 0);
  EXPECT_EQ(font_set_double_height(), 0);
  EXPECT_EQ(font_clear_double_height(), 0);
  EXPECT_EQ(font_set_inverted(), 0);
  EXPECT_EQ(font_clear_inverted(), 0);
  EXPECT_EQ(mmap_set_inverted(), 0);
  EXPECT_EQ(mmap_clear_inverted(), 0);
}

}  // namespace
