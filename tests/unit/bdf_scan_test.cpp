// BDF reader: the numbers it takes from a line are exactly those the C
// library's sscanf ("%*s %d %d %d %d", "%*s %d", "%*s %i") and strtol (base 16)
// take from it. Each case is a line built from pieces that stress the number
// syntax (signs, white space of every kind, missing numbers, leading zeros and
// prefixes, values at and past the limits of int and long); the reader loads
// it and its result is compared with the library's on the same bytes.
#include <cstdint>
#include <random>

#include "bdf_test_support.h"

namespace {

using namespace std::string_literals;

class BdfScanTest : public bdf_test::BdfTest {};

// Pieces of a line after its keyword.
const std::vector<std::string> kPieces = {"",
                                          " ",
                                          "  ",
                                          "\t",
                                          "\v",
                                          "\f",
                                          "\r",
                                          "+",
                                          "-",
                                          "0",
                                          "00",
                                          "1",
                                          "7",
                                          "8",
                                          "9",
                                          "10",
                                          "010",
                                          "077",
                                          "08",
                                          "0x",
                                          "0X",
                                          "x",
                                          "0x1f",
                                          "0XfF",
                                          "0x-1",
                                          "-0x10",
                                          "+0X7",
                                          "0xg",
                                          "a",
                                          "F",
                                          "g",
                                          "12",
                                          "-12",
                                          "+12",
                                          "--1",
                                          "+-1",
                                          "- 1",
                                          "2147483647",
                                          "2147483648",
                                          "-2147483648",
                                          "-2147483649",
                                          "4294967295",
                                          "4294967296",
                                          "4294967297",
                                          "9223372036854775807",
                                          "9223372036854775808",
                                          "-9223372036854775808",
                                          "-9223372036854775809",
                                          "18446744073709551615",
                                          "18446744073709551616",
                                          "99999999999999999999999",
                                          "0x7fffffff",
                                          "0x80000000",
                                          "0xffffffff",
                                          "0x100000001",
                                          "0x7fffffffffffffff",
                                          "0x8000000000000000",
                                          "-0x8000000000000001",
                                          "0xffffffffffffffffff",
                                          "037777777777",
                                          "01777777777777777777777",
                                          "0000000000000000000000017",
                                          "FC",
                                          "fc00",
                                          "C0C0",
                                          "ffff",
                                          "1ffff",
                                          "\xa0",
                                          "\x85",
                                          ",",
                                          "5,6",
                                          "6x16",
                                          "1e3",
                                          "\0 5"s,
                                          "ENCODING"};

// Lines of up to five pieces, each piece followed by nothing, a space or a
// tab; the same lines on every run.
std::vector<std::string> generated_rests(size_t count) {
  std::mt19937 random(20261207);
  std::uniform_int_distribution<size_t> piece(0, kPieces.size() - 1);
  std::uniform_int_distribution<int> pieces(1, 5);
  std::uniform_int_distribution<int> separator(0, 2);
  std::vector<std::string> rests;
  // Every piece alone, after a space and straight after the keyword.
  for (const std::string& p : kPieces) {
    rests.push_back(" " + p);
    rests.push_back(p);
  }
  while (rests.size() < count) {
    std::string rest;
    for (int i = pieces(random); i > 0; --i) {
      rest += kPieces[piece(random)];
      rest += std::array<const char*, 3>{"", " ", "\t"}[separator(random)];
    }
    rests.push_back(rest);
  }
  return rests;
}

constexpr size_t kCases = 3000;

// What a load left, with the line it was given.
struct header_outcome {
  std::string line;
  int32_t result;
  bdf_font font;
};

TEST_F(BdfScanTest, BoundingBoxNumbersAreReadAsSscanfReadsThem) {
  std::vector<header_outcome> outcomes;
  // The reader prints a message for most of these boxes; it is not looked at.
  support::capture_stdout([&] {
    for (const std::string& rest : generated_rests(kCases)) {
      const std::string line = "FONTBOUNDINGBOX" + rest + "\n";
      reset();
      current_font = {21, 5, -7, 9, 0, nullptr};
      const int32_t result = load_font(
          write_file("STARTFONT 2.1\n" + line + "ENDPROPERTIES\nCHARS 0\nENDFONT\n").c_str());
      outcomes.push_back({line, result, current_font});
    }
  });
  ASSERT_EQ(outcomes.size(), kCases);
  for (const header_outcome& o : outcomes) {
    // The values an earlier font left stand where the line has no number.
    int width = 5, height = 21, x_offset = -7, y_offset = 9;
    const int numbers =
        sscanf(o.line.c_str(), "%*s %d %d %d %d", &width, &height, &x_offset, &y_offset);
    SCOPED_TRACE(testing::PrintToString(o.line));
    EXPECT_EQ(o.font.width, width);
    EXPECT_EQ(o.font.height, height);
    EXPECT_EQ(o.font.x_offset, x_offset);
    EXPECT_EQ(o.font.y_offset, y_offset);
    // A box line with fewer than two numbers gives the font no cell.
    const bool cell = numbers >= 2 && width >= 1 && width <= 16 && height >= 1 && height <= 30;
    EXPECT_EQ(o.result, cell ? 0 : 1);
  }
}

TEST_F(BdfScanTest, GlyphCountIsReadAsSscanfReadsPercentI) {
  std::vector<header_outcome> outcomes;
  support::capture_stdout([&] {
    for (const std::string& rest : generated_rests(kCases)) {
      const std::string line = "CHARS" + rest + "\n";
      reset();
      current_font.count = 3;
      const int32_t result = load_font(
          write_file("FONTBOUNDINGBOX 6 16 0 0\nENDPROPERTIES\n" + line + "ENDFONT\n").c_str());
      outcomes.push_back({line, result, current_font});
    }
  });
  ASSERT_EQ(outcomes.size(), kCases);
  for (const header_outcome& o : outcomes) {
    int count = 3;
    sscanf(o.line.c_str(), "%*s %i", &count);
    // The count stays as read whether or not a table could be had for it.
    EXPECT_EQ(o.font.count, count) << testing::PrintToString(o.line);
  }
}

TEST_F(BdfScanTest, EncodingsAreReadAsSscanfReadsThem) {
  const auto rests = generated_rests(kCases);
  std::string glyphs;
  for (const std::string& rest : rests) {
    glyphs += "STARTCHAR g\nENCODING" + rest + "\nBBX 6 1 0 0\nBITMAP\nFC\nENDCHAR\n";
  }
  ASSERT_EQ(load(bdf_test::font("6 16 0 0", std::to_string(rests.size()), glyphs)).result, 0);
  for (size_t i = 0; i < rests.size(); ++i) {
    const std::string line = "ENCODING" + rests[i] + "\n";
    // A glyph whose line gives no number keeps the encoding no code finds.
    int encoding = -1;
    sscanf(line.c_str(), "%*s %d", &encoding);
    EXPECT_EQ(current_font.chars[i].encoding, encoding) << testing::PrintToString(line);
  }
}

// In a 16-pixel-wide cell a bitmap line of four or more characters is stored
// as strtol reads it, so the row shows the value read and nothing else.
TEST_F(BdfScanTest, BitmapRowsAreReadAsStrtolReadsThemInBase16) {
  auto rests = generated_rests(kCases);
  std::string glyphs;
  for (std::string& rest : rests) {
    rest += "    ";
    glyphs += "STARTCHAR g\nENCODING 1\nBBX 16 1 0 0\nBITMAP\n" + rest + "\nENDCHAR\n";
  }
  ASSERT_EQ(load(bdf_test::font("16 1 0 0", std::to_string(rests.size()), glyphs)).result, 0);
  for (size_t i = 0; i < rests.size(); ++i) {
    const auto row = static_cast<uint16_t>(strtol(rests[i].c_str(), nullptr, 16));
    EXPECT_EQ(current_font.chars[i].rows[0], row) << testing::PrintToString(rests[i]);
  }
}

// The cases that matter most, spelled out.
TEST_F(BdfScanTest, NumberSyntaxExamples) {
  struct example {
    const char* count_line;
    int32_t count;
  };
  for (const example& e :
       {example{"CHARS 0x10\n", 16}, example{"CHARS 010\n", 8}, example{"CHARS 0x\n", 0},
        example{"CHARS 09\n", 0}, example{"CHARS\t+0X1F junk\n", 31}, example{"CHARS -0\n", 0}}) {
    reset();
    current_font.count = 77;
    load(std::string("FONTBOUNDINGBOX 6 16 0 0\nENDPROPERTIES\n") + e.count_line + "ENDFONT\n");
    EXPECT_EQ(current_font.count, e.count) << e.count_line;
  }

  // The first word is skipped whole: "FONTBOUNDINGBOX6" is one word, so 16 is
  // the width. A sign without digits stops the reading.
  reset();
  load("FONTBOUNDINGBOX6 16 8 1 2\nENDPROPERTIES\nCHARS 0\nENDFONT\n");
  EXPECT_EQ(current_font.width, 16);
  EXPECT_EQ(current_font.height, 8);
  EXPECT_EQ(current_font.x_offset, 1);
  EXPECT_EQ(current_font.y_offset, 2);
  reset();
  load("FONTBOUNDINGBOX 6\t16 - 3\nENDPROPERTIES\nCHARS 0\nENDFONT\n");
  EXPECT_EQ(current_font.width, 6);
  EXPECT_EQ(current_font.height, 16);
  EXPECT_EQ(current_font.x_offset, 0);
}

}  // namespace
