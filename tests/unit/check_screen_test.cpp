// The platform check's display decisions: the geometry verdict, the three
// write images and which of them a read-back shows, and the test picture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "build-paths.h"
#include "check-screen.h"
#include "drawing_state.h"

namespace {

fb_var_screeninfo screen(unsigned xres_virtual, unsigned yres, unsigned bits) {
  fb_var_screeninfo info{};
  info.xres = info.xres_virtual = xres_virtual;
  info.yres = info.yres_virtual = yres;
  info.bits_per_pixel = bits;
  return info;
}

TEST(CheckGeometry, OneBitWholeBytesAndSixteenRows) {
  struct example {
    fb_var_screeninfo info;
    bool holds;
    const char* detail;
    size_t bytes;
  };
  for (const example& e : {
           example{screen(128, 64, 1), true, "xres_virtual 128, yres 64, 1 bit per pixel", 1024},
           example{screen(8, 16, 1), true, "xres_virtual 8, yres 16, 1 bit per pixel", 16},
           example{screen(128, 64, 8), false, "8 bits per pixel (xres_virtual 128, yres 64)", 8192},
           example{screen(100, 64, 1), false,
                   "xres_virtual 100 is not a multiple of 8 (yres 64, 1 bit per pixel)", 800},
           example{screen(0, 64, 1), false,
                   "xres_virtual 0 is not a multiple of 8 (yres 64, 1 bit per pixel)", 0},
           example{screen(128, 15, 1), false,
                   "yres 15: fewer than 16 rows (xres_virtual 128, 1 bit per pixel)", 240},
           // 2^32 pixels of 32 bits: far beyond what the check writes, and no wrap.
           example{screen(65536, 65536, 32), false,
                   "32 bits per pixel (xres_virtual 65536, yres 65536)", 0},
       }) {
    item_result item{};
    judge_geometry(e.info, item);
    SCOPED_TRACE(e.detail);
    EXPECT_EQ(item.failed, !e.holds);
    EXPECT_EQ(std::string(item.detail, item.length), e.detail);
    EXPECT_EQ(image_bytes(e.info), e.bytes);
  }
}

class CheckWritesTest : public testing::Test {
 protected:
  static constexpr size_t kSize = 16;
  std::vector<uint8_t> picture = std::vector<uint8_t>(kSize, 0x3C);
  std::vector<uint8_t> before = std::vector<uint8_t>(3 * kSize, 0x00);
  write_images images{picture.data(), before.data(), before.size(), kSize};

  std::vector<uint8_t> image(int n) {
    std::vector<uint8_t> bytes(kSize);
    make_write_image(bytes.data(), images, n);
    return bytes;
  }
};

TEST_F(CheckWritesTest, AnyTwoImagesDifferInEveryByte) {
  for (int a = 1; a <= kWriteCount; ++a) {
    for (int b = a + 1; b <= kWriteCount; ++b) {
      const auto x = image(a);
      const auto y = image(b);
      for (size_t i = 0; i < kSize; ++i) EXPECT_NE(x[i], y[i]) << a << " " << b << " " << i;
    }
    EXPECT_EQ(first_difference(picture.data(), images, a), 0u) << "the picture itself is no write";
  }
}

TEST_F(CheckWritesTest, ReadBackNamesTheImageItShows) {
  EXPECT_EQ(shown_image(image(3).data(), images, 3), 3);
  EXPECT_EQ(shown_image(image(1).data(), images, 2), 1);   // write 2 landed elsewhere
  EXPECT_EQ(shown_image(image(2).data(), images, 1), -1);  // not yet written
  EXPECT_EQ(shown_image(before.data(), images, 1), 0);
  auto mixed = image(2);
  mixed[5] ^= 1;
  EXPECT_EQ(shown_image(mixed.data(), images, 2), -1);
  EXPECT_EQ(first_difference(mixed.data(), images, 2), 5u);
  images.before_size = kSize - 1;  // too little saved to compare with
  EXPECT_EQ(shown_image(before.data(), images, 1), -1);
}

// Drawn with the shipped font: the arrow points right (its tip is right of
// its tail on the middle rows) and the text lies right of the arrow.
TEST(CheckPicture, ArrowAtTheTopLeftPointingRightThenText) {
  reset_drawing_state();
  ASSERT_EQ(font_load(build_paths::kShippedFont), 0);
  std::vector<uint8_t> data(16 * 64, 0xFF);
  mmap_buffer bitmap{data.data(), 128, 64, 5, 5};
  draw_test_picture(bitmap);
  auto set = [&](int x, int y) { return (data[y * 16 + x / 8] & (0x80 >> (x % 8))) != 0; };
  std::string middle_row;
  for (int x = 0; x < 64; ++x) middle_row += set(x, 8) ? '#' : '.';
  EXPECT_EQ(middle_row.substr(0, 32), "..##########################....");
  EXPECT_FALSE(set(27, 0));  // the head narrows to its tip
  EXPECT_TRUE(set(20, 0));
  EXPECT_NE(middle_row.substr(32), std::string(32, '.')) << "LEFT is drawn after the arrow";
  for (size_t i = 16 * 16; i < data.size(); ++i) ASSERT_EQ(data[i], 0) << "below the first line";
  font_release();
  reset_drawing_state();
}

}  // namespace
