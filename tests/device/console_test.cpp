// The frame-buffer console against a /dev/fb0 of the test's own: a plain file
// whose screen information the twin's preload library answers. Every push
// lands in the file after the one before, so the file holds every frame.
#include <dirent.h>
#include <linux/fb.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bdf-reader.h"
#include "control.h"
#include "font.h"
#include "mmap.h"
#include "restoremark.h"

#include "device_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kFontPath = "/usr/share/fonts/6x16.bdf";

// A font whose every glyph is a solid block of the given size.
std::string solid_font(int width, int height) {
  std::ostringstream out;
  const int digits = width > 8 ? 4 : 2;
  const unsigned row = ((1u << width) - 1) << (digits * 4 - width);
  out << "STARTFONT 2.1\nFONTBOUNDINGBOX " << width << " " << height
      << " 0 0\nSTARTPROPERTIES 0\nENDPROPERTIES\nCHARS 256\n";
  for (int code = 0; code < 256; ++code) {
    out << "STARTCHAR x\nENCODING " << code << "\nBBX " << width << " " << height
        << " 0 0\nBITMAP\n";
    char hex[16];
    snprintf(hex, sizeof hex, digits == 2 ? "%02X\n" : "%04X\n", row);
    for (int r = 0; r < height; ++r) out << hex;
    out << "ENDCHAR\n";
  }
  out << "ENDFONT\n";
  return out.str();
}

class Console : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    for (const char* path : {"/dev", "/usr/share/fonts"}) {
      fs::create_directories(path);
      ASSERT_EQ(mount("tmpfs", path, "tmpfs", 0, "mode=0755"), 0) << path;
    }
    std::ofstream("/dev/fb0").flush();
    set_geometry(128, 64, 1);
    install_font(solid_font(6, 16));
  }
  void TearDown() override {
    if (started_) lcd_term();
    font_release();
    current_font = {};
    mmap_clear_inverted();
    for (const char* path : {"/usr/share/fonts", "/dev"}) umount2(path, MNT_DETACH);
    DeviceTest::TearDown();
  }

  // A screen whose virtual size is its visible size.
  void set_geometry(unsigned width, unsigned height, unsigned bits_per_pixel) {
    settings.xres = settings.xres_virtual = width;
    settings.yres = settings.yres_virtual = height;
    settings.bits_per_pixel = bits_per_pixel;
    apply();
  }
  static void install_font(const std::string& text) { std::ofstream(kFontPath) << text; }

  int start() {
    const int result = lcd_init();
    started_ = result == 0;
    return result;
  }

  // Every push so far, split into images of `size` bytes.
  static std::vector<std::string> frames(size_t size = 1024) {
    std::ifstream in("/dev/fb0", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> out;
    for (size_t offset = 0; offset < all.size(); offset += size)
      out.push_back(all.substr(offset, size));
    return out;
  }

  // Pixel (x, y) of a 128-pixel-wide 1-bit image.
  static bool pixel(const std::string& frame, int x, int y) {
    return (static_cast<unsigned char>(frame.at(y * 16 + x / 8)) & (0x80 >> (x % 8))) != 0;
  }

  // The set pixels of a frame as a list of rectangles would be fragile; this
  // counts set pixels inside and outside a rectangle instead.
  static std::pair<int, int> inside_outside(const std::string& frame, int x0, int y0, int x1,
                                            int y1) {
    int inside = 0;
    int outside = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 128; ++x) {
        if (!pixel(frame, x, y)) continue;
        (x >= x0 && x < x1 && y >= y0 && y < y1 ? inside : outside)++;
      }
    }
    return {inside, outside};
  }

  bool started_ = false;
};

TEST_F(Console, StartsWithoutWritingAndKeepsOneDescriptor) {
  const int before = support::open_descriptors();
  EXPECT_EQ(stdout_of([&] { EXPECT_EQ(start(), 0); }), "");
  EXPECT_EQ(fs::file_size("/dev/fb0"), 0u);
  EXPECT_EQ(support::open_descriptors(), before + 1);
  lcd_term();
  started_ = false;
  EXPECT_EQ(support::open_descriptors(), before);
}

TEST_F(Console, StartFailuresSayWhyAndLeaveNoDescriptor) {
  const int before = support::open_descriptors();
  settings.fb_info_refused = true;
  apply();
  EXPECT_EQ(stdout_of([&] { EXPECT_EQ(start(), 1); }),
            "Failed to obtain the display information.\n");
  settings.fb_info_refused = false;
  set_geometry(100, 64, 1);
  EXPECT_EQ(stdout_of([&] { EXPECT_EQ(start(), 1); }),
            "Unsupported display geometry 100x64 at 1 bits per pixel.\n");
  unlink("/dev/fb0");
  EXPECT_EQ(stdout_of([&] { EXPECT_EQ(start(), 1); }), "Failed to open the display device.\n");
  EXPECT_EQ(support::open_descriptors(), before);
}

TEST_F(Console, ClearPushesTheBackgroundOfTheBitmapsMode) {
  ASSERT_EQ(start(), 0);
  EXPECT_EQ(lcd_clear(), 0);
  mmap_set_inverted();
  EXPECT_EQ(lcd_clear(), 0);
  // The scrolled-in line is cleared to 0 whatever the inverted mode.
  EXPECT_EQ(lcd_puts(""), 0);
  const auto f = frames();
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0], std::string(1024, '\0'));
  EXPECT_EQ(f[1], std::string(1024, '\xff'));
  EXPECT_EQ(f[2], std::string(768, '\xff') + std::string(256, '\0'));
}

TEST_F(Console, EachLineGoesOnTheBottomAndPushesTheOthersUp) {
  ASSERT_EQ(start(), 0);
  lcd_clear();
  EXPECT_EQ(lcd_puts("AB"), 0);
  EXPECT_EQ(lcd_puts("C"), 0);
  EXPECT_EQ(lcd_puts(""), 0);
  const auto f = frames();
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(inside_outside(f[1], 0, 48, 12, 64), std::make_pair(12 * 16, 0));
  EXPECT_EQ(inside_outside(f[2], 0, 32, 12, 48).first, 12 * 16);
  EXPECT_EQ(inside_outside(f[2], 0, 48, 6, 64), std::make_pair(6 * 16, 12 * 16));
  EXPECT_EQ(inside_outside(f[3], 0, 16, 12, 32).first, 12 * 16);
  EXPECT_EQ(inside_outside(f[3], 0, 32, 6, 48), std::make_pair(6 * 16, 12 * 16));
}

TEST_F(Console, LongLineIsCutAtTheScreensCapacity) {
  ASSERT_EQ(start(), 0);
  lcd_clear();
  lcd_puts("0123456789012345678901234567890");  // 31 characters, 21 fit
  const auto f = frames();
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(inside_outside(f[1], 0, 48, 126, 64), std::make_pair(21 * 6 * 16, 0));
}

TEST_F(Console, PushThatTakesSomeBytesCountsAsDoneOneThatTakesNoneDoesNot) {
  ASSERT_EQ(start(), 0);
  settings.fb_takes = 100;
  apply();
  EXPECT_EQ(stdout_of([] { EXPECT_EQ(lcd_update(), 0); }), "");
  settings.fb_takes = 0;
  apply();
  EXPECT_EQ(stdout_of([] {
              EXPECT_EQ(lcd_update(), 1);
              EXPECT_EQ(lcd_clear(), 1);
              EXPECT_EQ(lcd_puts("x"), 1);
            }),
            "Failed to update the display.\nFailed to update the display.\n"
            "Failed to update the display.\n");
  EXPECT_EQ(fs::file_size("/dev/fb0"), 100u);
}

TEST_F(Console, SmallerFontKeepsTheLineHeightAndCapacity) {
  install_font(solid_font(4, 8));
  ASSERT_EQ(start(), 0);
  lcd_clear();
  lcd_puts("0123456789012345678901234567890");
  const auto f = frames();
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(inside_outside(f[1], 0, 48, 84, 56), std::make_pair(21 * 4 * 8, 0));
}

TEST_F(Console, LargerFontDrawsNothingOutsideTheImage) {
  install_font(solid_font(16, 30));
  ASSERT_EQ(start(), 0);
  lcd_clear();
  lcd_puts("AB");
  const auto f = frames();
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(fs::file_size("/dev/fb0"), 2048u);
  // Two 16 x 30 cells at the bottom line, cut off by the bottom edge.
  EXPECT_EQ(inside_outside(f[1], 0, 48, 32, 64), std::make_pair(32 * 16, 0));
}

TEST_F(Console, MissingFontDoesNotStopTheConsole) {
  unlink(kFontPath);
  EXPECT_EQ(stdout_of([&] { EXPECT_EQ(start(), 0); }),
            "Failed to open font file - /usr/share/fonts/6x16.bdf\n");
  EXPECT_EQ(lcd_puts("AB"), 0);
  EXPECT_EQ(frames(), (std::vector<std::string>{std::string(1024, '\0')}));
}

TEST_F(Console, DeeperPixelsPushTheWholeImage) {
  set_geometry(128, 64, 8);
  ASSERT_EQ(start(), 0);
  lcd_puts("A");
  const auto f = frames(8192);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].size(), 8192u);
  EXPECT_EQ(inside_outside(f[0].substr(0, 1024), 0, 48, 6, 64), std::make_pair(6 * 16, 0));
  EXPECT_EQ(f[0].substr(1024), std::string(8192 - 1024, '\0'));
}

// --- what the device's ARM machines do differently from the workstation ---

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
  const char* const kHugeRow = "10000000C";                 // 2^32 + 0x0C
  const char* const kHugeEncoding = "ENCODING 4294967361";  // 2^32 + 'A'
  std::ostringstream font;
  font << "STARTFONT 2.1\nCOMMENT \xA9 caf\xE9 \xFF\nFONTBOUNDINGBOX 6 16 0 0\n"
          "STARTPROPERTIES 0\nENDPROPERTIES\nCHARS 3\n"
          "STARTCHAR currency \xA4\nENCODING 164\nBBX 6 16 0 0\nBITMAP\n";
  for (int r = 0; r < 16; ++r) font << (r % 2 ? "A8\n" : "54\n");
  font << "ENDCHAR\nSTARTCHAR y\xFF\nENCODING 255\nBBX 6 16 0 0\nBITMAP\n";
  for (int r = 0; r < 16; ++r) font << (r < 8 ? kHugeRow : "00") << "\n";
  font << "ENDCHAR\nSTARTCHAR huge\n" << kHugeEncoding << "\nBBX 6 16 0 0\nBITMAP\n";
  for (int r = 0; r < 16; ++r) font << "FC\n";
  font << "ENDCHAR\nENDFONT\n";
  install_font(font.str());
  ASSERT_EQ(start(), 0);
  lcd_clear();
  EXPECT_EQ(lcd_puts("\xA4\xFF"
                     "A"),
            0);

  // What this machine's C library makes of the two huge numbers: with a
  // 32-bit long both are LONG_MAX, then cut to the field's width.
  const auto row = static_cast<uint16_t>(strtol(kHugeRow, nullptr, 16));
  int encoding = 0;
  ASSERT_EQ(sscanf(kHugeEncoding, "%*s %d", &encoding), 1);
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
