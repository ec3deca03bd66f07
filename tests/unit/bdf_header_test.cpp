// BDF reader: header, cell limits, glyph count, and the failures before the
// glyph section with the state each one leaves.
#include <cerrno>

#include "bdf_test_support.h"

namespace {

using bdf_test::font;
using bdf_test::glyph;
using bdf_test::rows;

class BdfHeaderTest : public bdf_test::BdfTest {};

const std::string kOneGlyph = glyph(65, "6 16 0 0", rows(16, "FC"));

// A loaded 6x16 font with one glyph, as a previous load would leave it.
void expect_first_font_kept(const bdf_char* table) {
  EXPECT_EQ(current_font.count, 1);
  EXPECT_EQ(current_font.chars, table);
}

TEST_F(BdfHeaderTest, ReadsBoundingBoxAndCount) {
  const auto outcome = load(font("6 16 0 -4", "1", kOneGlyph));
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.output, "");
  EXPECT_EQ(current_font.width, 6);
  EXPECT_EQ(current_font.height, 16);
  EXPECT_EQ(current_font.x_offset, 0);
  EXPECT_EQ(current_font.y_offset, -4);
  EXPECT_EQ(current_font.count, 1);
  ASSERT_NE(current_font.chars, nullptr);
  EXPECT_EQ(current_font.chars[0].encoding, 65);
}

TEST_F(BdfHeaderTest, LargestCellIsAccepted) {
  EXPECT_EQ(load(font("16 30 0 0", "0", "")).result, 0);
  EXPECT_EQ(current_font.width, 16);
  EXPECT_EQ(current_font.height, 30);
}

TEST_F(BdfHeaderTest, CellSizesOutsideLimitsAreRefusedAndStay) {
  struct refused {
    const char* box;
    int32_t width, height, x_offset, y_offset;
  };
  for (const refused& c : {refused{"17 16 1 2", 17, 16, 1, 2}, refused{"6 31 -1 -2", 6, 31, -1, -2},
                           refused{"0 16 0 0", 0, 16, 0, 0}, refused{"6 -1 0 0", 6, -1, 0, 0}}) {
    SCOPED_TRACE(c.box);
    // A table from an earlier load is neither freed nor replaced.
    reset();
    ASSERT_EQ(load(font("6 16 0 0", "1", kOneGlyph)).result, 0);
    bdf_char* const table = current_font.chars;
    const auto outcome = load(font(c.box, "1", kOneGlyph));
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.output, "BDF-Font: Invalid font dimensions\n");
    EXPECT_EQ(current_font.width, c.width);
    EXPECT_EQ(current_font.height, c.height);
    EXPECT_EQ(current_font.x_offset, c.x_offset);
    EXPECT_EQ(current_font.y_offset, c.y_offset);
    expect_first_font_kept(table);
  }
}

TEST_F(BdfHeaderTest, EveryBoundingBoxLineIsCheckedAndTheLastStands) {
  const std::string two_boxes = "FONTBOUNDINGBOX 8 8 0 0\nFONTBOUNDINGBOX 6 16 1 -3\n";
  EXPECT_EQ(load("STARTFONT 2.1\n" + two_boxes + "ENDPROPERTIES\nCHARS 0\nENDFONT\n").result, 0);
  EXPECT_EQ(current_font.width, 6);
  EXPECT_EQ(current_font.height, 16);
  EXPECT_EQ(current_font.x_offset, 1);
  EXPECT_EQ(current_font.y_offset, -3);

  reset();
  const auto outcome =
      load("FONTBOUNDINGBOX 6 40 0 0\nFONTBOUNDINGBOX 6 16 0 0\nENDPROPERTIES\nCHARS 0\nENDFONT\n");
  EXPECT_EQ(outcome.output, "BDF-Font: Invalid font dimensions\n");
}

TEST_F(BdfHeaderTest, BoundingBoxWithTwoNumbersKeepsOffsets) {
  EXPECT_EQ(load(font("6 16", "0", "")).result, 0);
  EXPECT_EQ(current_font.x_offset, 0);
  EXPECT_EQ(current_font.y_offset, 0);

  release_bdf_font();
  ASSERT_EQ(load(font("8 8 2 -3", "0", "")).result, 0);
  release_bdf_font();
  EXPECT_EQ(load(font("6 16", "0", "")).result, 0);
  EXPECT_EQ(current_font.width, 6);
  EXPECT_EQ(current_font.x_offset, 2);
  EXPECT_EQ(current_font.y_offset, -3);
}

// The cell size must come from the file itself, not from an earlier font.
TEST_F(BdfHeaderTest, FontWithoutBoundingBoxIsRefused) {
  const std::string no_box = "STARTFONT 2.1\nENDPROPERTIES\nCHARS 0\nENDFONT\n";
  auto outcome = load(no_box);
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(outcome.output, "BDF-Font: Missing font bounding box\n");
  EXPECT_EQ(current_font.chars, nullptr);

  ASSERT_EQ(load(font("6 16 0 0", "0", "")).result, 0);
  release_bdf_font();
  outcome = load(no_box);
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(outcome.output, "BDF-Font: Missing font bounding box\n");
  outcome = load("FONTBOUNDINGBOX 6\n" + no_box);
  EXPECT_EQ(outcome.output, "BDF-Font: Missing font bounding box\n");
  EXPECT_EQ(current_font.chars, nullptr);
}

TEST_F(BdfHeaderTest, CountIsReadAsDecimalHexOrOctal) {
  for (const auto& [text, count] :
       {std::pair{"0x10", 16}, std::pair{"010", 8}, std::pair{"256", 256}, std::pair{"  7", 7}}) {
    SCOPED_TRACE(text);
    reset();
    const auto outcome = load(font("6 16 0 0", text, ""));
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.output, "");
    EXPECT_EQ(current_font.count, count);
  }
}

TEST_F(BdfHeaderTest, MoreThan256GlyphsWarnsAndLoads) {
  const auto outcome = load(font("6 16 0 0", "257", kOneGlyph));
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.output, "BDF Font: Large number of chars to be read - 257\n");
  EXPECT_EQ(current_font.count, 257);
  EXPECT_NE(get_bdf_char(65), nullptr);
}

TEST_F(BdfHeaderTest, NegativeOrHugeCountFailsAsAllocation) {
  for (const char* count : {"-1", "0x7fffffff", "65537", "-2147483648"}) {
    SCOPED_TRACE(count);
    reset();
    const auto outcome = load(font("6 16 0 0", count, kOneGlyph));
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.output, "BDF Font: could not allocate space for glyhs. Error - " +
                                  std::to_string(ENOMEM) + "\n");
    EXPECT_EQ(current_font.chars, nullptr);
    EXPECT_EQ(current_font.count, static_cast<int32_t>(strtol(count, nullptr, 0)));
  }
}

TEST_F(BdfHeaderTest, LargestCountLoads) {
  const auto outcome = load(font("6 16 0 0", "65536", kOneGlyph));
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.output, "BDF Font: Large number of chars to be read - 65536\n");
  EXPECT_EQ(get_bdf_char(65), &current_font.chars[0]);
  EXPECT_EQ(get_bdf_char(0), nullptr);
}

TEST_F(BdfHeaderTest, ZeroCountIsAnEmptyFont) {
  auto outcome = load(font("6 16 0 0", "0", ""));
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.output, "");
  EXPECT_NE(current_font.chars, nullptr);
  for (int code = 0; code < 256; ++code) EXPECT_EQ(get_bdf_char(code), nullptr);

  reset();
  outcome = load(font("6 16 0 0", "0", kOneGlyph));
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.output,
            "BDF-Font: Error more characters in font file than declared in header.\n"
            "\tMapped 0 characters\n");
  EXPECT_EQ(get_bdf_char(65), nullptr);
}

TEST_F(BdfHeaderTest, CharsLineWithoutNumberKeepsTheEarlierCount) {
  ASSERT_EQ(load(font("6 16 0 0", "3", "")).result, 0);
  release_bdf_font();
  EXPECT_EQ(load(font("6 16 0 0", "", kOneGlyph)).result, 0);
  EXPECT_EQ(current_font.count, 3);
  EXPECT_EQ(get_bdf_char(65), &current_font.chars[0]);
}

TEST_F(BdfHeaderTest, NullPathFailsAndChangesNothing) {
  const auto outcome = load_path(nullptr);
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(outcome.output, "Invalid font file name\n");
  EXPECT_EQ(current_font.width, 0);
}

TEST_F(BdfHeaderTest, MissingFileFailsAndKeepsTheLoadedFont) {
  ASSERT_EQ(load(font("6 16 0 0", "1", kOneGlyph)).result, 0);
  bdf_char* const table = current_font.chars;
  const auto outcome = load_path("/nonexistent/6x16.bdf");
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(outcome.output, "Failed to open font file - /nonexistent/6x16.bdf\n");
  expect_first_font_kept(table);
  EXPECT_EQ(current_font.width, 6);
}

TEST_F(BdfHeaderTest, HeaderFailuresKeepTableAndCount) {
  struct failure {
    std::string text;
    const char* message;
  };
  const std::string box = "STARTFONT 2.1\nFONTBOUNDINGBOX 8 12 1 -2\n";
  for (const failure& f : {
           failure{box + "STARTPROPERTIES 1\nFONT_ASCENT 10\n",
                   "BDF-Font: Failed to read font file header\n"},
           failure{box + "ENDPROPERTIES\n", "BDF-Font: Failed to read font file\n"},
           failure{
               box + "ENDPROPERTIES\nCOMMENT glyphs follow\nCHARS 1\n" + kOneGlyph + "ENDFONT\n",
               "BDF-Font: Font file is invalid format\n"},
       }) {
    SCOPED_TRACE(f.message);
    reset();
    ASSERT_EQ(load(font("6 16 0 0", "1", kOneGlyph)).result, 0);
    bdf_char* const table = current_font.chars;
    const auto outcome = load(f.text);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.output, f.message);
    // The box lines read before the failure have been taken.
    EXPECT_EQ(current_font.width, 8);
    EXPECT_EQ(current_font.height, 12);
    EXPECT_EQ(current_font.x_offset, 1);
    EXPECT_EQ(current_font.y_offset, -2);
    expect_first_font_kept(table);
  }
}

}  // namespace
