// Glyph renderer: cells, cursor movement, character codes, missing glyphs,
// clipping and the currency symbol, drawn with hand-made glyph tables.
// The three attributes are covered in font_attributes_test.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "bdf-reader.h"
#include "font.h"
#include "drawing_state.h"
#include "guarded_image.h"
#include "mmap.h"

namespace {

using Canvas = GuardedImage;

using Picture = std::vector<std::string>;

class FontTest : public testing::Test {
 protected:
  void SetUp() override { reset_drawing_state(); }
  void TearDown() override { reset_drawing_state(); }

  // Adds a glyph record; call use_font once all glyphs are added.
  void add_glyph(int32_t encoding, std::initializer_list<uint16_t> rows) {
    bdf_char glyph{encoding, {}};
    std::copy(rows.begin(), rows.end(), glyph.rows);
    glyphs_.push_back(glyph);
  }

  void use_font(int32_t width, int32_t height) {
    current_font = {height, width, 0, 0, static_cast<int32_t>(glyphs_.size()), glyphs_.data()};
  }

  std::vector<bdf_char> glyphs_;
};

// A 3 x 2 font with a few distinct glyphs.
class SmallFontTest : public FontTest {
 protected:
  void SetUp() override {
    FontTest::SetUp();
    add_glyph('A', {0xA0, 0x40});   // #.#  .#.
    add_glyph('B', {0xC0, 0x20});   // ##.  ..#
    add_glyph(10, {0xE0, 0x00});    // ###  ...
    add_glyph(13, {0x20, 0x20});    // ..#  ..#
    add_glyph(0xA4, {0x40, 0xE0});  // .#.  ###
    use_font(3, 2);
  }
};

// --- cells and cursor -------------------------------------------------------

TEST_F(SmallFontTest, DrawsAnOpaqueCellAtTheCursorAndMovesOneCellOn) {
  Canvas canvas(8, 4, 0xFF);
  canvas.bitmap.x = 2;
  canvas.bitmap.y = 1;
  EXPECT_EQ(font_putc(canvas.bitmap, 'A'), 0);
  EXPECT_EQ(canvas.picture(0, 0, 8, 4), (Picture{"########",  //
                                                 "###.####",  //
                                                 "##.#.###",  //
                                                 "########"}));
  EXPECT_EQ(canvas.bitmap.x, 5);
  EXPECT_EQ(canvas.bitmap.y, 1);
}

TEST_F(SmallFontTest, ALaterCharacterReplacesTheWholeCell) {
  Canvas canvas(8, 2);
  font_putc(canvas.bitmap, 'A');
  canvas.bitmap.x = 0;
  font_putc(canvas.bitmap, 'B');
  EXPECT_EQ(canvas.picture(0, 0, 3, 2), (Picture{"##.", "..#"}));
}

TEST_F(FontTest, CursorWrapsWhenTheNextCellWouldStartAtTheRightEdge) {
  add_glyph('x', {});
  use_font(6, 16);
  Canvas canvas(120, 64);
  for (int i = 0; i < 19; ++i) {
    font_putc(canvas.bitmap, 'x');
  }
  EXPECT_EQ(canvas.bitmap.x, 114);
  EXPECT_EQ(canvas.bitmap.y, 0);
  font_putc(canvas.bitmap, 'x');  // ends exactly at the right edge
  EXPECT_EQ(canvas.bitmap.x, 0);
  EXPECT_EQ(canvas.bitmap.y, 16);

  // The same at the bottom text line goes back to the top.
  canvas.bitmap.x = 114;
  canvas.bitmap.y = 48;
  font_putc(canvas.bitmap, 'x');
  EXPECT_EQ(canvas.bitmap.x, 0);
  EXPECT_EQ(canvas.bitmap.y, 0);
}

TEST_F(SmallFontTest, WrapsWhenTheNextCellStartsPastTheEdgeNotWhenItMerelyDoesNotFit) {
  Canvas canvas(8, 4);
  font_putc(canvas.bitmap, 'A');
  font_putc(canvas.bitmap, 'A');
  EXPECT_EQ(canvas.bitmap.x, 6);  // the next cell would stick out, yet it starts here
  EXPECT_EQ(canvas.bitmap.y, 0);
  font_putc(canvas.bitmap, 'A');
  EXPECT_EQ(canvas.bitmap.x, 0);
  EXPECT_EQ(canvas.bitmap.y, 2);
}

// --- character codes --------------------------------------------------------

TEST_F(SmallFontTest, LineBreakMovesTheCursorAndDrawsNothing) {
  Canvas canvas(8, 4, 0x5A);
  canvas.bitmap.x = 4;
  font_putc(canvas.bitmap, 10);
  EXPECT_EQ(canvas.bytes(), std::vector<uint8_t>(4, 0x5A));
  EXPECT_EQ(canvas.bitmap.x, 0);
  EXPECT_EQ(canvas.bitmap.y, 2);

  canvas.bitmap.x = 4;
  font_putc(canvas.bitmap, 10);  // the next line would start at the bottom
  EXPECT_EQ(canvas.bitmap.x, 0);
  EXPECT_EQ(canvas.bitmap.y, 0);
  EXPECT_EQ(canvas.bytes(), std::vector<uint8_t>(4, 0x5A));
}

TEST_F(SmallFontTest, OnlyTheLowEightBitsSelectTheGlyph) {
  Canvas canvas(16, 2);
  font_putc(canvas.bitmap, 266);    // low bits 10, but not a line break
  font_putc(canvas.bitmap, 0x141);  // 'A'
  font_putc(canvas.bitmap, -0xBF);  // ...0x41 as well
  font_putc(canvas.bitmap, 13);     // control codes are drawn like others
  EXPECT_EQ(canvas.picture(0, 0, 12, 2), (Picture{"####.##.#..#",  //
                                                  "....#..#...#"}));
  EXPECT_EQ(canvas.bitmap.x, 12);
  EXPECT_EQ(canvas.bitmap.y, 0);
}

TEST_F(SmallFontTest, PutsDrawsEveryByteAndBreaksLinesAtByte10) {
  Canvas canvas(8, 4);
  EXPECT_EQ(font_puts(canvas.bitmap, "AB\n\xA4"), 0);
  EXPECT_EQ(canvas.picture(0, 0, 6, 4), (Picture{"#.###.",  //
                                                 ".#...#",  //
                                                 ".#....",  //
                                                 "###..."}));
  EXPECT_EQ(canvas.bitmap.x, 3);
  EXPECT_EQ(canvas.bitmap.y, 2);
  EXPECT_EQ(font_puts(canvas.bitmap, nullptr), 0);
}

TEST_F(SmallFontTest, BitmapInvertedModeDoesNotChangeWhatIsDrawn) {
  Canvas plain(8, 2, 0x81);
  font_puts(plain.bitmap, "AB");
  Canvas inverted(8, 2, 0x81);
  mmap_set_inverted();
  font_puts(inverted.bitmap, "AB");
  EXPECT_EQ(inverted.bytes(), plain.bytes());
  EXPECT_EQ(inverted.bytes(), (std::vector<uint8_t>{0xB9, 0x45}));
}

// --- missing glyphs and missing fonts ---------------------------------------

TEST_F(SmallFontTest, MissingGlyphDrawsABlankCellAndAdvances) {
  Canvas canvas(8, 2, 0xFF);
  font_putc(canvas.bitmap, 'Z');
  EXPECT_EQ(canvas.picture(0, 0, 8, 2), (Picture{"...#####", "...#####"}));
  font_set_inverted();
  Canvas cleared(8, 2);
  font_putc(cleared.bitmap, 'Z');
  EXPECT_EQ(cleared.picture(0, 0, 8, 2), (Picture{"###.....", "###....."}));
  EXPECT_EQ(cleared.bitmap.x, 3);
}

TEST_F(FontTest, WithoutAFontNothingIsDrawnAndTheCursorStays) {
  Canvas canvas(8, 2, 0x3C);
  canvas.bitmap.x = 2;
  font_puts(canvas.bitmap, "AB\xA4");
  font_set_double_width();
  font_set_double_height();
  font_putc(canvas.bitmap, 'A');
  EXPECT_EQ(canvas.bitmap.x, 2);
  EXPECT_EQ(canvas.bitmap.y, 0);
  EXPECT_EQ(font_get_width(), 0);
  EXPECT_EQ(font_get_height(), 0);
  EXPECT_EQ(canvas.bytes(), std::vector<uint8_t>(2, 0x3C));
}

TEST_F(FontTest, WithoutAGlyphTableCellsOfTheRecordedSizeAreBlank) {
  // What a load refused after reading the bounding box leaves behind.
  current_font = {2, 3, 0, 0, 5, nullptr};
  Canvas canvas(8, 2, 0xFF);
  font_putc(canvas.bitmap, 'A');
  EXPECT_EQ(canvas.picture(0, 0, 8, 2), (Picture{"...#####", "...#####"}));
  EXPECT_EQ(canvas.bitmap.x, 3);
}

// --- clipping ---------------------------------------------------------------

TEST_F(SmallFontTest, CellsCrossingTheEdgesAreClippedAndTheCursorMovesOn) {
  Canvas canvas(8, 4);
  canvas.bitmap.x = 6;
  canvas.bitmap.y = 3;
  font_putc(canvas.bitmap, 'B');
  EXPECT_EQ(canvas.picture(0, 0, 8, 4), (Picture{"........",  //
                                                 "........",  //
                                                 "........",  //
                                                 "......##"}));
  EXPECT_EQ(canvas.bitmap.x, 0);
  EXPECT_EQ(canvas.bitmap.y, 0);  // y 5 is past the bottom

  canvas.bitmap.x = -1;
  canvas.bitmap.y = -1;
  font_putc(canvas.bitmap, 'B');  // only the glyph's bottom right two pixels show
  EXPECT_EQ(canvas.picture(0, 0, 8, 1), Picture{".#......"});
  EXPECT_EQ(canvas.bitmap.x, 2);
  EXPECT_EQ(canvas.bitmap.y, -1);
  EXPECT_TRUE(canvas.guards_intact());
}

TEST_F(FontTest, OversizedFontsStayInsideTheImageAndTheGlyphRecord) {
  // Height 62: the record has 60 rows; the two after them are drawn blank,
  // not taken from the next record in the table.
  add_glyph('A', {});
  add_glyph(-1, {});
  std::fill(std::begin(glyphs_[0].rows), std::end(glyphs_[0].rows), 0xFFFF);
  std::fill(std::begin(glyphs_[1].rows), std::end(glyphs_[1].rows), 0xFFFF);
  use_font(20, 62);  // 20 wide: the row's 16 bits, then background
  Canvas canvas(24, 64);
  font_putc(canvas.bitmap, 'A');
  EXPECT_EQ(
      canvas.picture(0, 58, 24, 5),
      (Picture{"################........", "################........", "........................",
               "........................", "........................"}));
  EXPECT_EQ(canvas.bitmap.x, 20);
  EXPECT_TRUE(canvas.guards_intact());

  // Inverted, the columns past the row's 16 bits show the cell's background.
  font_set_inverted();
  canvas.bitmap.x = 0;
  canvas.bitmap.y = 2;
  font_putc(canvas.bitmap, 'A');
  EXPECT_EQ(canvas.picture(0, 2, 24, 1), Picture{"................####...."});

  // A font of absurd size draws only what the image holds and cannot overflow.
  current_font.width = 2147483647;
  font_set_double_width();
  EXPECT_EQ(font_get_width(), 2147483647);
  canvas.bitmap.x = 8;
  canvas.bitmap.y = 0;
  font_putc(canvas.bitmap, 'A');  // its first 32 columns are the glyph's, drawn clear
  EXPECT_EQ(canvas.bitmap.x, 0);
  EXPECT_EQ(canvas.bitmap.y, 62);
  EXPECT_EQ(canvas.picture(0, 0, 24, 1), Picture{"########................"});
  EXPECT_TRUE(canvas.guards_intact());
}

TEST_F(SmallFontTest, FontOfNoSizeOrAnImageWithoutMemoryNeverLoops) {
  current_font.width = -3;
  current_font.height = 0;
  Canvas canvas(8, 2, 0x0F);
  font_puts(canvas.bitmap, "AAAA\n");
  EXPECT_EQ(canvas.bytes(), std::vector<uint8_t>(2, 0x0F));
  EXPECT_EQ(canvas.bitmap.x, 0);
  EXPECT_EQ(canvas.bitmap.y, 0);

  use_font(3, 2);
  mmap_buffer none{nullptr, 8, 4, 0, 0};
  font_puts(none, "AAA");
  EXPECT_EQ(none.x, 0);
  EXPECT_EQ(none.y, 2);
}

// --- currency symbol --------------------------------------------------------

TEST_F(FontTest, CurrencySymbolTakesTheRowsOfTheGivenGlyph) {
  add_glyph('$', {0x40, 0xE0, 0x40});
  add_glyph(0xA4, {0xA0, 0x40, 0xA0, 0xFF});  // row 3 lies past the font's height
  use_font(3, 3);
  EXPECT_EQ(font_set_currency_symbol(0x124), 0);  // low bits 0x24

  Canvas dollar(8, 3);
  font_putc(dollar.bitmap, '$');
  Canvas currency(8, 3);
  font_putc(currency.bitmap, 0xA4);
  EXPECT_EQ(currency.bytes(), dollar.bytes());
  EXPECT_EQ(glyphs_[1].encoding, 0xA4);
  EXPECT_EQ(glyphs_[1].rows[3], 0xFF);
  EXPECT_EQ(glyphs_[0].rows[1], 0xE0);
}

TEST_F(FontTest, CurrencySymbolOfItselfOrOfAMissingGlyphChangesNothing) {
  add_glyph('$', {0x40, 0xE0, 0x40});
  add_glyph(0xA4, {0xA0, 0x40, 0xA0});
  const std::vector<bdf_char> before = glyphs_;
  use_font(3, 3);
  font_set_currency_symbol(0xA4);
  font_set_currency_symbol(0x1A4);
  font_set_currency_symbol('Q');
  for (size_t i = 0; i < glyphs_.size(); ++i) {
    EXPECT_EQ(glyphs_[i].encoding, before[i].encoding);
    EXPECT_TRUE(std::equal(std::begin(glyphs_[i].rows), std::end(glyphs_[i].rows),
                           std::begin(before[i].rows)));
  }

  glyphs_.pop_back();  // a font without 164
  use_font(3, 3);
  EXPECT_EQ(font_set_currency_symbol('$'), 0);
  EXPECT_EQ(glyphs_[0].rows[1], 0xE0);

  current_font = {};
  EXPECT_EQ(font_set_currency_symbol('$'), 0);
}

}  // namespace
