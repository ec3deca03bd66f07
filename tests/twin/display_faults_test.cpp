// The display mode on odd displays and with broken console fonts: geometries
// that display_test.cpp leaves out (one-character lines, partial text lines,
// every common pixel depth, images too large to address) and every class of malformed font, written here and installed as the device's font. The font
// reader's message comes first, then the run goes on with the console.
#include <array>
#include <functional>

#include "twin_fixture.h"

using namespace expect;

namespace {

using DisplayFaults = TwinTest;

// The screen after `lines`, computed on a screen 32 rows taller and cut to
// the display's bottom rows: the console scrolls whole images, so a line
// partly above the top shows its lower rows. A character for which
// `has_glyph` does not hold is a blank cell.
std::vector<std::string> expected_screen(
    const twin::Geometry& g, const std::vector<std::string>& lines,
    const std::function<bool(unsigned char)>& has_glyph = [](unsigned char) { return true; }) {
  const twin::Geometry taller{g.width, g.height + 32, g.bits_per_pixel};
  auto rows = screen(taller, lines);
  for (size_t k = 0; k < lines.size(); ++k) {
    const size_t top = taller.height - 16 * (lines.size() - k);
    const std::string text = lines[k].substr(0, g.width / 6);
    for (size_t i = 0; i < text.size(); ++i) {
      if (has_glyph(static_cast<unsigned char>(text[i]))) continue;
      for (size_t row = 0; row < 16; ++row) rows[top + row].replace(i * 6, 6, 6, '.');
    }
  }
  return {rows.end() - g.height, rows.end()};
}

// --- geometries --------------------------------------------------------------

TEST_F(DisplayFaults, OddGeometriesShowTheNewestLinesCutToTheirWidth) {
  const std::vector<twin::Geometry> odd = {
      {8, 64, 1},     // one character per line
      {16, 16, 1},    // two characters, one line
      {128, 40, 1},   // the banner line partly scrolled off after the outcome
      {128, 20, 1},   // less than two lines: the banner's bottom rows stay
      {1024, 16, 1},  // wide: nothing is cut
  };
  for (const auto& g : odd) {
    SCOPED_TRACE(std::to_string(g.width) + "x" + std::to_string(g.height));
    const auto r = run(on_display("success", g));
    expect_exit(r, 0);
    EXPECT_EQ(r.out, kBanner + "Success.\n");
    EXPECT_EQ(screens(r), (std::vector<std::vector<std::string>>{
                              blank(g), expected_screen(g, {kBannerLine}),
                              expected_screen(g, {kBannerLine, "Success."})}));
  }
}

TEST_F(DisplayFaults, EveryCommonPixelDepthPushesTheWholeImageWithTheRestBlank) {
  for (const uint32_t depth : {2u, 3u, 4u, 16u, 24u, 32u}) {
    SCOPED_TRACE(std::to_string(depth) + " bits per pixel");
    const twin::Geometry g{64, 32, depth};
    const auto r = run(on_display("factory-refused", g));
    expect_exit(r, 1);
    EXPECT_EQ(r.out, kBanner + "Error.\n");
    const auto frames = r.frames;
    ASSERT_EQ(frames.size(), 3u);
    const size_t size = 64 * 32 * depth / 8;
    for (const auto& frame : frames) {
      ASSERT_EQ(frame.bytes.size(), size);
      EXPECT_EQ(frame.bytes.substr(256), std::string(size - 256, '\0'));
    }
    EXPECT_EQ(frames[2].rows(), expected_screen(g, {kBannerLine, "Error."}));
  }
}

// Images of 512 MiB and more: their size does not fit 32 bits.
TEST_F(DisplayFaults, DisplaysTooLargeToAddressAreRefusedLikeADisplayThatCannotStart) {
  const std::vector<std::pair<twin::Geometry, std::string>> huge = {
      {{16384, 16384, 32}, "16384x16384 at 32"},
      {{32768, 32768, 4}, "32768x32768 at 4"},
      {{8, 16, 134217728}, "8x16 at 134217728"},
  };
  for (const auto& [geometry, text] : huge) {
    SCOPED_TRACE(text);
    expect_refused_display(run(on_display("success", geometry)), text);
  }
}

// --- fonts -------------------------------------------------------------------

using test_fonts::FontLine;
using test_fonts::Glyph;
using test_fonts::GlyphLine;

// The test font with `flawed` in place of the glyph of its code, or before
// every other glyph.
test_fonts::FontBuilder test_font_with(const Glyph& flawed, bool first = false) {
  auto font = test_font_header();
  if (first) font.glyph(flawed);
  for (int code = 0; code < 256; ++code) {
    if (code != flawed.encoding()) {
      font.glyph(test_glyph(code));
    } else if (!first) {
      font.glyph(flawed);
    }
  }
  return font;
}

// The glyph of K in a box 8 rows taller than the cell, the extra rows above.
Glyph junk_rows_above() {
  std::vector<uint32_t> rows(8, 0xFC);
  for (const uint32_t row : test_glyph_rows('K')) rows.push_back(row);
  return Glyph('K').box(6, 24).rows(rows);
}

// The glyph of K with six more digits in front of each row's byte, a value
// that still fits in a 32-bit long (a row beyond a long reads as LONG_MAX,
// whose low 16 bits differ between 32-bit and 64-bit machines).
Glyph overlong_rows() {
  std::vector<uint32_t> rows = test_glyph_rows('K');
  for (uint32_t& row : rows) row |= 0x7FFF0000;
  return Glyph('K').rows(rows);
}

TEST_F(DisplayFaults, FontsTheReaderRefusesLeaveBlankLinesAndTheRunGoesOn) {
  const std::string no_room = "BDF Font: could not allocate space for glyhs. Error - 12\n";
  const std::string dimensions = "BDF-Font: Invalid font dimensions\n";
  const std::string unreadable = "BDF-Font: Failed to read font file\n";
  const std::vector<std::tuple<const char*, std::string, std::string>> refused = {
      {"negative count", test_font().chars(-1).text(), no_room},
      {"huge count", test_font().chars(2147483647).text(), no_room},
      {"count beyond 32 bits", test_font().chars(99999999999).text(), no_room},
      {"no bounding box",
       test_font_header()
           .line(FontLine::bounding_box, "COMMENT none")
           .glyph(test_glyph('K'))
           .text(),
       "BDF-Font: Missing font bounding box\n"},
      {"bounding box without its height",
       test_font_header().line(FontLine::bounding_box, "FONTBOUNDINGBOX 6").text(), dimensions},
      {"width 0", test_font_header().cell(0, 16).text(), dimensions},
      {"height 0", test_font_header().cell(6, 0).text(), dimensions},
      {"negative width", test_font_header().cell(-6, 16).text(), dimensions},
      {"wider than 16", test_font_header().cell(17, 16).text(), dimensions},
      {"taller than 30", test_font_header().cell(6, 31).text(), dimensions},
      {"missing ENDFONT",
       test_font_header()
           .glyph(test_glyph('K'))
           .glyph(test_glyph('L'))
           .without(FontLine::endfont)
           .text(),
       unreadable},
      {"file ends inside a bitmap",
       test_font_header()
           .glyph(Glyph('K').name("K").rows({0xFC, 0xFC}).without(GlyphLine::endchar))
           .without(FontLine::endfont)
           .text(),
       unreadable},
      {"file ends after the properties",
       test_font_header().without(FontLine::chars).without(FontLine::endfont).text(), unreadable},
      {"no CHARS line", test_font_header().glyph(test_glyph('K')).without(FontLine::chars).text(),
       "BDF-Font: Font file is invalid format\n"},
      {"no ENDPROPERTIES",
       test_fonts::FontBuilder()
           .without(FontLine::properties)
           .glyph(test_glyph('K'))
           .without(FontLine::endfont)
           .text(),
       "BDF-Font: Failed to read font file header\n"},
      {"empty file", "", "BDF-Font: Failed to read font file header\n"},
  };
  const twin::Geometry g;
  for (const auto& [name, text, message] : refused) {
    SCOPED_TRACE(name);
    use_font(text);
    const auto r = run(preset("success"));
    expect_exit(r, 0);
    EXPECT_EQ(r.out, kBanner + message + "Success.\n");
    EXPECT_EQ(screens(r), (std::vector<std::vector<std::string>>(3, blank(g))));
  }
}

TEST_F(DisplayFaults, FontsLoadedDespiteTheirFlawsDrawTheGlyphsTheyHold) {
  auto all = [](unsigned char) { return true; };
  const std::vector<
      std::tuple<const char*, std::string, std::string, std::function<bool(unsigned char)>>>
      loaded = {
          // The rows above the cell are read and dropped.
          {"boxes taller than the cell", test_font_with(junk_rows_above()).text(), "", all},
          // Digits beyond a row's 16 bits are cut off.
          {"overlong rows", test_font_with(overlong_rows()).text(), "", all},
          // The next glyph takes the record of the one without ENDCHAR.
          {"missing ENDCHAR",
           test_font_with(test_glyph('X').without(GlyphLine::endchar), true).text(), "",
           [](unsigned char c) { return c != 'X'; }},
          {"more glyphs than declared", test_font().chars(100).text(),
           "BDF-Font: Error more characters in font file than declared in header.\n"
           "\tMapped 100 characters\n",
           [](unsigned char c) { return c < 100; }},
          {"fewer glyphs than declared", test_font().chars(300).text(),
           "BDF Font: Large number of chars to be read - 300\n", all},
          {"count without a number", test_font().line(FontLine::chars, "CHARS").text(),
           "BDF-Font: Error more characters in font file than declared in header.\n"
           "\tMapped 0 characters\n",
           [](unsigned char) { return false; }},
      };
  const twin::Geometry g;
  for (const auto& [name, text, message, has_glyph] : loaded) {
    SCOPED_TRACE(name);
    use_font(text);
    const auto r = run(preset("success"));
    expect_exit(r, 0);
    EXPECT_EQ(r.out, kBanner + message + "Success.\n");
    EXPECT_EQ(screens(r), (std::vector<std::vector<std::string>>{
                              blank(g), expected_screen(g, {kBannerLine}, has_glyph),
                              expected_screen(g, {kBannerLine, "Success."}, has_glyph)}));
  }
}

// A screen with the given rectangles set: {x, y, width, height}.
std::vector<std::string> filled(const twin::Geometry& g,
                                std::vector<std::array<uint32_t, 4>> areas) {
  auto rows = blank(g);
  for (const auto& [x, y, w, h] : areas) {
    for (uint32_t row = y; row < y + h; ++row) rows[row].replace(x, w, w, '#');
  }
  return rows;
}

// Cells larger than the console's 6 x 16 reach past the bottom line and the
// line's end; the console clips them to the image and the run goes on. The
// cells of a solid 16 x 30 font: a line's characters advance 16 columns; at
// the right edge the cursor goes 30 rows down, which is past the bottom, so
// to the top row (the renderer's wrap); cells are cut at the image's edges.
TEST_F(DisplayFaults, FontLargerThanTheConsoleCellIsClippedToTheImage) {
  use_font(test_fonts::solid_font(16, 30).text());
  const twin::Geometry wide;
  const twin::Geometry one_cell{16, 16, 1};
  const std::vector<std::pair<twin::Geometry, std::vector<std::vector<std::string>>>> cases = {
      // The banner's 21 characters: 8 on the bottom line, 8 from the top, 5
      // from row 30; then the screen scrolls 16 rows up and "Error." fills
      // 6 cells of the bottom line.
      {wide,
       {blank(wide), filled(wide, {{0, 0, 128, 30}, {0, 30, 80, 30}, {0, 48, 128, 16}}),
        filled(wide, {{0, 0, 128, 14}, {0, 14, 80, 30}, {0, 32, 128, 16}, {0, 48, 96, 16}})}},
      // Two characters per line, each covering the whole screen.
      {one_cell,
       {blank(one_cell), filled(one_cell, {{0, 0, 16, 16}}), filled(one_cell, {{0, 0, 16, 16}})}},
  };
  for (const auto& [g, expected] : cases) {
    SCOPED_TRACE(std::to_string(g.width) + "x" + std::to_string(g.height));
    const auto r = run(on_display("restore-refused", g));
    expect_exit(r, 1);
    EXPECT_EQ(r.out, kBanner + "Error.\n");
    EXPECT_EQ(r.log(), kRestoreLine);
    EXPECT_EQ(screens(r), expected);
    for (const auto& push : r.pushes) EXPECT_EQ(push.result, g.width * g.height / 8);
  }
}

}  // namespace
