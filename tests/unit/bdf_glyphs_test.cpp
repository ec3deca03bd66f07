// BDF reader: the glyph section (records, short bitmaps, extra glyphs, early
// ends), lookups, release, and fonts outside the usual limits.
#include <algorithm>

#include "bdf_test_support.h"

namespace {

using bdf_test::font;
using bdf_test::glyph;
using bdf_test::rows;

class BdfGlyphsTest : public bdf_test::BdfTest {};

const char* const kTooManyForOne =
    "BDF-Font: Error more characters in font file than declared in header.\n"
    "\tMapped 1 characters\n";

bool blank(const bdf_char& record, int first = 0, int end = 60) {
  return std::all_of(record.rows + first, record.rows + end, [](uint16_t row) { return row == 0; });
}

TEST_F(BdfGlyphsTest, NothingIsFoundBeforeALoadOrAfterARelease) {
  EXPECT_EQ(current_font.chars, nullptr);
  EXPECT_EQ(get_bdf_char(0), nullptr);
  EXPECT_EQ(get_bdf_char(65), nullptr);

  ASSERT_EQ(load(font("6 16 0 0", "1", glyph(65, "6 16 0 0", rows(16, "FC")))).result, 0);
  release_bdf_font();
  EXPECT_EQ(current_font.chars, nullptr);
  EXPECT_EQ(get_bdf_char(65), nullptr);
  EXPECT_EQ(current_font.count, 1);
  EXPECT_EQ(current_font.width, 6);
}

TEST_F(BdfGlyphsTest, LookupFindsTheFirstMatchingRecordOnly) {
  const std::string glyphs =
      glyph(66, "6 16 0 0", rows(16, "01")) + glyph(65, "6 16 0 0", rows(16, "02")) +
      glyph(65, "6 16 0 0", rows(16, "03")) + glyph(-1, "6 16 0 0", rows(16, "04")) +
      glyph(300, "6 16 0 0", rows(16, "05"));
  ASSERT_EQ(load(font("6 16 0 0", "5", glyphs)).result, 0);
  EXPECT_EQ(get_bdf_char(65), &current_font.chars[1]);
  EXPECT_EQ(get_bdf_char(66), &current_font.chars[0]);
  EXPECT_EQ(get_bdf_char(65)->rows[0], 0x02);
  // 300 and -1 are outside 0-255; neither is found as 300 mod 256 or 255.
  EXPECT_EQ(get_bdf_char(44), nullptr);
  EXPECT_EQ(get_bdf_char(255), nullptr);
  EXPECT_EQ(get_bdf_char(0), nullptr);
}

TEST_F(BdfGlyphsTest, LinesOtherThanKeywordsChangeNothing) {
  const std::string decorated =
      "STARTCHAR A\nCOMMENT ENCODING 66\nENCODING 65\nSWIDTH 1 2\nDWIDTH 3 4\n"
      "COMMENT BBX 1 1 0 0\nBBX 6 2 0 0\nATTRIBUTES 0\nBITMAP\n30\n48\nENDCHAR\n";
  ASSERT_EQ(load(font("6 16 0 0", "1", decorated)).result, 0);
  const bdf_char* record = get_bdf_char(65);
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(blank(*record, 0, 14));
  EXPECT_EQ(record->rows[14], 0x30);
  EXPECT_EQ(record->rows[15], 0x48);
}

TEST_F(BdfGlyphsTest, ShortBitmapTakesEndcharAsItsLastRowAndEndcharStillActs) {
  // 15 lines for a 16-row box: ENDCHAR is read as the 16th row (its leading E
  // as the digit E) and still closes the glyph.
  std::string first = glyph(65, "6 16 0 0", rows(15, "FC"));
  const std::string glyphs = first + glyph(66, "6 16 0 0", rows(16, "30"));
  ASSERT_EQ(load(font("6 16 0 0", "2", glyphs)).result, 0);
  EXPECT_EQ(get_bdf_char(65)->rows[14], 0xFC);
  EXPECT_EQ(get_bdf_char(65)->rows[15], 0x0E);
  ASSERT_EQ(get_bdf_char(66), &current_font.chars[1]);
}

TEST_F(BdfGlyphsTest, ShortBitmapTakingEndfontEndsTheReading) {
  // The font ends "BITMAP\nFC\nENDFONT\n": ENDFONT is the box's second row.
  const auto outcome = load(font("6 16 0 0", "2", "ENCODING 65\nBBX 6 2 0 0\nBITMAP\nFC\n"));
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(get_bdf_char(65)->rows[14], 0xFC);
  EXPECT_EQ(get_bdf_char(65)->rows[15], 0x0E);
}

TEST_F(BdfGlyphsTest, GlyphsBeyondTheCountAreReadButNotKept) {
  // The lines after the extra glyph's ENDCHAR are never read: here they would
  // otherwise end the file without ENDFONT.
  const std::string glyphs =
      glyph(65, "6 16 0 0", rows(16, "FC")) + glyph(66, "6 16 0 0", rows(16, "30"));
  const std::string file = "FONTBOUNDINGBOX 6 16 0 0\nENDPROPERTIES\nCHARS 1\n" + glyphs +
                           "STARTCHAR unread\nENCODING 67\nBBX 6 16 0 0\nBITMAP\n";
  const auto outcome = load(file);
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.output, kTooManyForOne);
  EXPECT_EQ(current_font.count, 1);
  EXPECT_EQ(get_bdf_char(65), &current_font.chars[0]);
  EXPECT_EQ(get_bdf_char(66), nullptr);
}

TEST_F(BdfGlyphsTest, EarlyEndfontLeavesTheOtherRecordsUnfindableAndBlank) {
  ASSERT_EQ(load(font("6 16 0 0", "3", glyph(65, "6 16 0 0", rows(16, "FC")))).result, 0);
  for (int i = 1; i < 3; ++i) {
    EXPECT_EQ(current_font.chars[i].encoding, -1);
    EXPECT_TRUE(blank(current_font.chars[i]));
  }
  EXPECT_EQ(get_bdf_char(0), nullptr);
}

TEST_F(BdfGlyphsTest, GlyphWithoutEncodingOrBitmapIsUnfindableAndBlank) {
  std::string glyphs = "STARTCHAR none\nBBX 6 16 0 0\nBITMAP\n";
  for (int i = 0; i < 16; ++i) glyphs += "FC\n";
  glyphs += "ENDCHAR\nSTARTCHAR empty\nENCODING 66\nENDCHAR\n";
  ASSERT_EQ(load(font("6 16 0 0", "2", glyphs)).result, 0);
  EXPECT_EQ(current_font.chars[0].encoding, -1);
  EXPECT_EQ(current_font.chars[0].rows[0], 0xFC);
  EXPECT_EQ(get_bdf_char(0), nullptr);
  ASSERT_EQ(get_bdf_char(66), &current_font.chars[1]);
  EXPECT_TRUE(blank(current_font.chars[1]));
}

TEST_F(BdfGlyphsTest, GlyphWithoutBbxUsesThePreviousBox) {
  const std::string glyphs =
      glyph(65, "6 2 1 0", {"F0", "F0"}) + "STARTCHAR B\nENCODING 66\nBITMAP\nC0\nC0\nENDCHAR\n";
  ASSERT_EQ(load(font("6 16 0 0", "2", glyphs)).result, 0);
  EXPECT_EQ(get_bdf_char(66)->rows[14], 0x60);
  EXPECT_EQ(get_bdf_char(66)->rows[15], 0x60);
}

TEST_F(BdfGlyphsTest, EmptyBoxOrBitmapBeforeAnyBbxHasNoRows) {
  // Before any BBX the box is empty: ENDCHAR right after BITMAP is not a row.
  const std::string glyphs = "STARTCHAR A\nENCODING 65\nBITMAP\nENDCHAR\n" +
                             glyph(66, "0 0 0 0", {}) + glyph(67, "6 -3 0 0", {});
  ASSERT_EQ(load(font("6 16 0 0", "3", glyphs)).result, 0);
  for (int code : {65, 66, 67}) {
    ASSERT_NE(get_bdf_char(code), nullptr);
    EXPECT_TRUE(blank(*get_bdf_char(code)));
  }
}

TEST_F(BdfGlyphsTest, BboxWithoutNumbersKeepsTheBox) {
  const std::string glyphs =
      glyph(65, "6 1 0 0", {"F0"}) + "STARTCHAR B\nENCODING 66\nBBX\nBITMAP\nC0\nENDCHAR\n";
  ASSERT_EQ(load(font("6 16 0 0", "2", glyphs)).result, 0);
  EXPECT_EQ(get_bdf_char(66)->rows[15], 0xC0);
}

// A box taller than the cell: its top lines are read but dropped, nothing is
// written past the cell's rows.
TEST_F(BdfGlyphsTest, BoxTallerThanTheCellKeepsItsBottomRows) {
  std::vector<std::string> lines;
  for (int i = 0; i < 20; ++i) lines.push_back(i < 4 ? "FF" : "3C");
  ASSERT_EQ(load(font("6 16 0 0", "2",
                      glyph(65, "6 20 0 0", lines) + glyph(66, "6 16 0 0", rows(16, "30"))))
                .result,
            0);
  const bdf_char& record = *get_bdf_char(65);
  EXPECT_TRUE(std::all_of(record.rows, record.rows + 16, [](uint16_t r) { return r == 0x3C; }));
  EXPECT_TRUE(blank(record, 16));
  EXPECT_EQ(get_bdf_char(66)->rows[0], 0x30);

  reset();
  EXPECT_EQ(load(font("6 16 0 0", "1", glyph(65, "6 2147483647 0 0", rows(16, "FF")))).output,
            "BDF-Font: Failed to read font file\n");
}

TEST_F(BdfGlyphsTest, EndOfFileInTheGlyphSectionFreesTheTable) {
  const std::string box = "FONTBOUNDINGBOX 6 16 0 0\nENDPROPERTIES\nCHARS 2\n";
  const std::string complete = glyph(65, "6 16 0 0", rows(16, "FC"));
  for (const std::string& glyphs : {complete, complete + "STARTCHAR B\nBBX 6 16 0 0\nBITMAP\nFC\n",
                                    std::string("ENCODING 65\n")}) {
    SCOPED_TRACE(glyphs.size());
    reset();
    const auto outcome = load(box + glyphs);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.output, "BDF-Font: Failed to read font file\n");
    EXPECT_EQ(current_font.chars, nullptr);
    EXPECT_EQ(current_font.count, 2);
    EXPECT_EQ(get_bdf_char(65), nullptr);
  }
}

TEST_F(BdfGlyphsTest, LongLinesAndEmbeddedNulsAreHarmless) {
  const std::string glyphs = "STARTCHAR " + std::string(5000, 'x') + "\nENCODING 65\n" +
                             std::string("COMMENT \0 ENDFONT\n", 18) + "BBX 6 1 0 0\nBITMAP\n" +
                             std::string(2000, '7') + "\nENDCHAR\n";
  ASSERT_EQ(load(font("6 16 0 0", "1", glyphs)).result, 0);
  EXPECT_EQ(get_bdf_char(65)->rows[15], 0xFFFF);
}

TEST_F(BdfGlyphsTest, ASecondFontLoadsAfterRelease) {
  ASSERT_EQ(load(font("6 16 0 0", "1", glyph(65, "6 16 0 0", rows(16, "FC")))).result, 0);
  release_bdf_font();
  ASSERT_EQ(load(font("8 8 0 0", "1", glyph(66, "8 8 0 0", rows(8, "81")))).result, 0);
  EXPECT_EQ(current_font.height, 8);
  EXPECT_EQ(get_bdf_char(65), nullptr);
  EXPECT_EQ(get_bdf_char(66)->rows[7], 0x81);
}

}  // namespace
