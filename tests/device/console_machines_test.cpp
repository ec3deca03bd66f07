// What the device's ARM machines do differently from the workstation, for
// the console: the screen information's layout, and bytes above 0x7F.
#include <cstddef>

#include "console_fixture.h"

namespace {

using console_test::Console;

// The driver fills the screen information as 40 32-bit fields on every
// machine (the request number carries no size), so the console's record must
// have that layout on 32-bit ARM as on 64-bit machines.
static_assert(sizeof(fb_var_screeninfo) == 160);
static_assert(offsetof(fb_var_screeninfo, xres_virtual) == 8);
static_assert(offsetof(fb_var_screeninfo, yres) == 4);
static_assert(offsetof(fb_var_screeninfo, bits_per_pixel) == 24);

TEST_F(Console, ImageSizeComesFromTheVirtualWidthRowsAndDepth) {
  set_geometry(136, 48, 2);
  ASSERT_EQ(start(), 0);
  lcd_clear();
  EXPECT_EQ(fs::file_size("/dev/fb0"), 136u * 48 * 2 / 8);
}

// A line of text is bytes, drawn by their value 0-255 whether char is signed
// (x86) or unsigned (ARM); the font file may hold bytes above 0x7F outside
// its numbers. Numbers beyond a long read as the machine's C library reads
// them (a long is 32 bits on armhf, 64 elsewhere).
TEST_F(Console, BytesAbove0x7FDrawTheirOwnGlyphsOnEveryMachine) {
  const char* const kHugeRow = "10000000C";  // 2^32 + 0x0C
  const long long kHugeEncoding = (1LL << 32) + 'A';
  std::vector<uint32_t> checkered;
  for (int r = 0; r < 16; ++r) checkered.push_back(r % 2 ? 0xA8 : 0x54);
  std::vector<std::string> huge_rows(8, kHugeRow);
  huge_rows.resize(16, "00");
  const std::vector<uint32_t> solid(16, 0xFC);
  install_font(test_fonts::FontBuilder()
                   .comment("\xA9 caf\xE9 \xFF")
                   .glyph(test_fonts::Glyph(164).name("currency \xA4").rows(checkered))
                   .glyph(test_fonts::Glyph(255).name("y\xFF").lines(huge_rows))
                   .glyph(test_fonts::Glyph(kHugeEncoding).name("huge").rows(solid)));
  ASSERT_EQ(start(), 0);
  lcd_clear();
  EXPECT_EQ(lcd_puts("\xA4\xFF"
                     "A"),
            0);

  // What this machine's C library makes of the two huge numbers: with a
  // 32-bit long both are LONG_MAX, then cut to the field's width.
  const auto row = static_cast<uint16_t>(strtol(kHugeRow, nullptr, 16));
  int encoding = 0;
  ASSERT_EQ(sscanf(std::to_string(kHugeEncoding).c_str(), "%d", &encoding), 1);
  if (sizeof(long) == 4) {
    EXPECT_EQ(row, 0xFFFF);
    EXPECT_NE(encoding, 'A');
  } else {
    EXPECT_EQ(row, 0x0C);
    EXPECT_EQ(encoding, 'A');
  }

  const auto f = frames();
  ASSERT_EQ(f.size(), 2u);
  for (int y = 48; y < 64; ++y) {
    for (int x = 0; x < 18; ++x) {
      const int bit = 0x80 >> (x % 6);
      bool set = false;
      if (x < 6) set = ((y % 2 ? 0xA8 : 0x54) & bit) != 0;
      if (x >= 6 && x < 12) set = y < 56 && (row & bit) != 0;
      if (x >= 12) set = encoding == 'A';
      EXPECT_EQ(pixel(f[1], x, y), set) << "x " << x << ", y " << y;
    }
  }
}

}  // namespace
