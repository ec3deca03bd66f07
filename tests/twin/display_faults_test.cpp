// The display mode on odd displays and with broken console fonts: geometries
// that display_test.cpp leaves out (one-character lines, partial text lines,
// every common pixel depth, images too large to address) and every class of
// malformed font, written here and installed as the device's font. The font
// reader's message comes first, then the run goes on with the console.
#include <array>
#include <cstdio>
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
    auto scenario = preset("success");
    scenario.geometry = g;
    const auto r = run(scenario);
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
    auto scenario = preset("factory-refused");
    scenario.geometry = {64, 32, depth};
    const auto r = run(scenario);
    expect_exit(r, 1);
    EXPECT_EQ(r.out, kBanner + "Error.\n");
    const auto frames = r.frames;
    ASSERT_EQ(frames.size(), 3u);
    const size_t size = 64 * 32 * depth / 8;
    for (const auto& frame : frames) {
      ASSERT_EQ(frame.bytes.size(), size);
      EXPECT_EQ(frame.bytes.substr(256), std::string(size - 256, '\0'));
    }
    EXPECT_EQ(frames[2].rows(), expected_screen(scenario.geometry, {kBannerLine, "Error."}));
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
    auto scenario = preset("success");
    scenario.geometry = geometry;
    const auto r = run(scenario);
    expect_exit(r, 1);
    EXPECT_EQ(r.out, kBanner + "Unsupported display geometry " + text + " bits per pixel.\n");
    EXPECT_EQ(r.log(), kDisplayLine);
    EXPECT_TRUE(r.frames.empty());
    EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kRemove, kStart}));
  }
}

// --- fonts -------------------------------------------------------------------

std::string header(const std::string& bounding_box = "FONTBOUNDINGBOX 6 16 0 0") {
  return "STARTFONT 2.1\nFONT -test-6x16\nSIZE 16 75 75\n" + bounding_box +
         "\nSTARTPROPERTIES 1\nFONT_ASCENT 16\nENDPROPERTIES\n";
}

// The test font's glyph of `code` as a 6 x 16 box. `junk_rows` are extra
// rows above the cell in a taller box; an overlong row carries six more
// digits in front of its byte, a value that still fits in a 32-bit long (a
// row beyond a long reads as LONG_MAX, whose low 16 bits differ between
// 32-bit and 64-bit machines).
struct glyph_flaws {
  int junk_rows = 0;
  bool overlong_rows = false;
  bool endchar = true;
};

std::string glyph(int code, glyph_flaws flaws = {}) {
  std::string text = "STARTCHAR c" + std::to_string(code) + "\nENCODING " + std::to_string(code) +
                     "\nBBX 6 " + std::to_string(16 + flaws.junk_rows) + " 0 0\nBITMAP\n";
  for (int row = 0; row < flaws.junk_rows; ++row) text += "FC\n";
  char line[32];
  for (int row = 0; row < 16; ++row) {
    const unsigned bits = test_glyph_row(code, row);
    if (flaws.overlong_rows) {
      snprintf(line, sizeof line, "7FFF00%02X\n", bits);
    } else {
      snprintf(line, sizeof line, "%02X\n", bits);
    }
    text += line;
  }
  return text + (flaws.endchar ? "ENDCHAR\n" : "");
}

std::string glyphs(int first, int last) {
  std::string text;
  for (int code = first; code <= last; ++code) text += glyph(code);
  return text;
}

std::string whole_font(const std::string& chars_line = "CHARS 256") {
  return header() + chars_line + "\n" + glyphs(0, 255) + "ENDFONT\n";
}

TEST_F(DisplayFaults, FontsTheReaderRefusesLeaveBlankLinesAndTheRunGoesOn) {
  const std::string no_room = "BDF Font: could not allocate space for glyhs. Error - 12\n";
  const std::string dimensions = "BDF-Font: Invalid font dimensions\n";
  const std::string unreadable = "BDF-Font: Failed to read font file\n";
  const std::vector<std::tuple<const char*, std::string, std::string>> refused = {
      {"negative count", whole_font("CHARS -1"), no_room},
      {"huge count", whole_font("CHARS 2147483647"), no_room},
      {"count beyond 32 bits", whole_font("CHARS 99999999999"), no_room},
      {"no bounding box", header("COMMENT none") + "CHARS 1\n" + glyph('K') + "ENDFONT\n",
       "BDF-Font: Missing font bounding box\n"},
      {"bounding box without its height", header("FONTBOUNDINGBOX 6") + "CHARS 0\nENDFONT\n",
       dimensions},
      {"width 0", header("FONTBOUNDINGBOX 0 16 0 0") + "CHARS 0\nENDFONT\n", dimensions},
      {"height 0", header("FONTBOUNDINGBOX 6 0 0 0") + "CHARS 0\nENDFONT\n", dimensions},
      {"negative width", header("FONTBOUNDINGBOX -6 16 0 0") + "CHARS 0\nENDFONT\n", dimensions},
      {"wider than 16", header("FONTBOUNDINGBOX 17 16 0 0") + "CHARS 0\nENDFONT\n", dimensions},
      {"taller than 30", header("FONTBOUNDINGBOX 6 31 0 0") + "CHARS 0\nENDFONT\n", dimensions},
      {"missing ENDFONT", header() + "CHARS 2\n" + glyphs('K', 'L'), unreadable},
      {"file ends inside a bitmap",
       header() + "CHARS 1\nSTARTCHAR K\nENCODING 75\nBBX 6 16 0 0\nBITMAP\nFC\nFC\n", unreadable},
      {"file ends after the properties", header(), unreadable},
      {"no CHARS line", header() + glyph('K') + "ENDFONT\n",
       "BDF-Font: Font file is invalid format\n"},
      {"no ENDPROPERTIES", "STARTFONT 2.1\nFONTBOUNDINGBOX 6 16 0 0\nCHARS 1\n" + glyph('K'),
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
          {"boxes taller than the cell",
           header() + "CHARS 256\n" + glyphs(0, 74) + glyph('K', {.junk_rows = 8}) +
               glyphs(76, 255) + "ENDFONT\n",
           "", all},
          // Digits beyond a row's 16 bits are cut off.
          {"overlong rows",
           header() + "CHARS 256\n" + glyphs(0, 74) + glyph('K', {.overlong_rows = true}) +
               glyphs(76, 255) + "ENDFONT\n",
           "", all},
          // The next glyph takes the record of the one without ENDCHAR.
          {"missing ENDCHAR",
           header() + "CHARS 256\n" + glyph('X', {.endchar = false}) + glyphs(0, 'X' - 1) +
               glyphs('X' + 1, 255) + "ENDFONT\n",
           "", [](unsigned char c) { return c != 'X'; }},
          {"more glyphs than declared", whole_font("CHARS 100"),
           "BDF-Font: Error more characters in font file than declared in header.\n"
           "\tMapped 100 characters\n",
           [](unsigned char c) { return c < 100; }},
          {"fewer glyphs than declared", whole_font("CHARS 300"),
           "BDF Font: Large number of chars to be read - 300\n", all},
          {"count without a number", whole_font("CHARS"),
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
  std::string text = header("FONTBOUNDINGBOX 16 30 0 0") + "CHARS 256\n";
  for (int code = 0; code < 256; ++code) {
    text += "STARTCHAR c\nENCODING " + std::to_string(code) + "\nBBX 16 30 0 0\nBITMAP\n";
    for (int row = 0; row < 30; ++row) text += "FFFF\n";
    text += "ENDCHAR\n";
  }
  use_font(text + "ENDFONT\n");
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
    auto scenario = preset("restore-refused");
    scenario.geometry = g;
    const auto r = run(scenario);
    expect_exit(r, 1);
    EXPECT_EQ(r.out, kBanner + "Error.\n");
    EXPECT_EQ(r.log(), kRestoreLine);
    EXPECT_EQ(screens(r), expected);
    for (const auto& push : r.pushes) EXPECT_EQ(push.result, g.width * g.height / 8);
  }
}

}  // namespace
