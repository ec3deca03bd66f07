// Monochrome bitmap: pixel layout, clear, area operations and bit runs, checked
// byte for byte inside an image framed by guard bytes that must stay untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "guarded_image.h"
#include "mmap.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Point = std::pair<int32_t, int32_t>;

class MmapTest : public testing::Test {
 protected:
  void SetUp() override { mmap_clear_inverted(); }
  void TearDown() override { mmap_clear_inverted(); }
};

// --- pixel access -----------------------------------------------------------

TEST_F(MmapTest, PixelsAreMostSignificantBitFirstInRowMajorBytes) {
  GuardedImage image(16, 3);
  mmap_set_pixel(image.bitmap, 0, 0);
  mmap_set_pixel(image.bitmap, 9, 0);
  mmap_set_pixel(image.bitmap, 7, 1);
  mmap_set_pixel(image.bitmap, 15, 2);
  EXPECT_EQ(image.bytes(), (Bytes{0x80, 0x40, 0x01, 0x00, 0x00, 0x01}));

  mmap_clear_pixel(image.bitmap, 9, 0);
  mmap_clear_pixel(image.bitmap, 10, 0);  // already clear
  EXPECT_EQ(image.bytes(), (Bytes{0x80, 0x00, 0x01, 0x00, 0x00, 0x01}));
}

TEST_F(MmapTest, ClearPixelKeepsTheOtherBitsOfItsByte) {
  GuardedImage image(8, 1, 0xFF);
  mmap_clear_pixel(image.bitmap, 3, 0);
  EXPECT_EQ(image.bytes(), Bytes{0xEF});
}

TEST_F(MmapTest, PixelsOutsideTheImageAreIgnored) {
  GuardedImage image(16, 2);
  const Point outside[] = {{-1, 0}, {16, 0}, {0, 2}, {0, -1}, {1000000, 1000000}};
  for (auto [x, y] : outside) {
    mmap_set_pixel(image.bitmap, x, y);
  }
  EXPECT_EQ(image.bytes(), Bytes(4, 0x00));
  EXPECT_TRUE(image.guards_intact());
}

TEST_F(MmapTest, ImageWithoutMemoryOrSizeIsNeverWritten) {
  mmap_buffer none{nullptr, 16, 16, 0, 0};
  mmap_set_pixel(none, 0, 0);
  mmap_clear(none);
  mmap_clear_area(none, 8, 8);
  mmap_invert_area(none, 8, 8);
  const uint8_t bits[] = {0xFF};
  mmap_putb(none, bits, 8);
  EXPECT_EQ(none.x, 0);

  // Narrower than one byte: the image has no byte at all.
  GuardedImage tiny(4, 1);
  mmap_set_pixel(tiny.bitmap, 0, 0);
  mmap_clear(tiny.bitmap);
  mmap_invert_area(tiny.bitmap, 4, 1);
  EXPECT_TRUE(tiny.guards_intact());

  GuardedImage empty(0, 8);
  empty.bitmap.height = -8;
  mmap_set_inverted();
  mmap_clear(empty.bitmap);
  mmap_clear_area(empty.bitmap, 8, 8);
  EXPECT_TRUE(empty.guards_intact());
}

// --- whole-image clear ------------------------------------------------------

TEST_F(MmapTest, ClearFillsTheImageWithBackgroundAndHomesTheCursor) {
  GuardedImage image(24, 4, 0x3C);
  image.bitmap.x = 5;
  image.bitmap.y = 3;
  mmap_clear(image.bitmap);
  EXPECT_EQ(image.bytes(), Bytes(12, 0x00));
  EXPECT_EQ(image.bitmap.x, 0);
  EXPECT_EQ(image.bitmap.y, 0);

  mmap_set_inverted();
  image.bitmap.x = 7;
  mmap_clear(image.bitmap);
  EXPECT_EQ(image.bytes(), Bytes(12, 0xFF));
  EXPECT_EQ(image.bitmap.x, 0);
  EXPECT_TRUE(image.guards_intact());
}

// --- area operations --------------------------------------------------------

TEST_F(MmapTest, ClearAreaKeepsNeighbouringBitsOfItsEdgeBytes) {
  GuardedImage image(16, 3, 0xFF);
  image.bitmap.x = 3;
  image.bitmap.y = 1;
  mmap_clear_area(image.bitmap, 10, 1);  // columns 3 to 12
  EXPECT_EQ(image.bytes(), (Bytes{0xFF, 0xFF, 0xE0, 0x07, 0xFF, 0xFF}));
  EXPECT_EQ(image.bitmap.x, 3);
  EXPECT_EQ(image.bitmap.y, 1);
}

TEST_F(MmapTest, ClearAreaSetsPixelsInInvertedMode) {
  GuardedImage image(16, 3);
  image.bitmap.x = 3;
  image.bitmap.y = 1;
  mmap_set_inverted();
  mmap_clear_area(image.bitmap, 10, 2);
  EXPECT_EQ(image.bytes(), (Bytes{0x00, 0x00, 0x1F, 0xF8, 0x1F, 0xF8}));
}

TEST_F(MmapTest, InvertAreaTogglesExactlyTheAreaWhateverTheInvertedMode) {
  for (int inverted : {0, 1}) {
    GuardedImage image(16, 4, 0xA5);
    inverted != 0 ? mmap_set_inverted() : mmap_clear_inverted();
    image.bitmap.x = 3;
    image.bitmap.y = 1;
    mmap_invert_area(image.bitmap, 10, 2);
    // 0xA5 ^ 0x1F and 0xA5 ^ 0xF8 on rows 1 and 2.
    EXPECT_EQ(image.bytes(), (Bytes{0xA5, 0xA5, 0xBA, 0x5D, 0xBA, 0x5D, 0xA5, 0xA5}));
    EXPECT_EQ(image.bitmap.x, 3);

    mmap_invert_area(image.bitmap, 10, 2);
    EXPECT_EQ(image.bytes(), Bytes(8, 0xA5));
  }
}

TEST_F(MmapTest, AreaOfNoWidthOrHeightChangesNothing) {
  GuardedImage image(16, 2, 0xFF);
  const Point sizes[] = {{0, 2}, {8, 0}, {-5, 2}, {8, -1}};
  for (auto [w, h] : sizes) {
    mmap_clear_area(image.bitmap, w, h);
    mmap_invert_area(image.bitmap, w, h);
  }
  EXPECT_EQ(image.bytes(), Bytes(4, 0xFF));
}

TEST_F(MmapTest, AreasAreClippedToTheImage) {
  GuardedImage image(16, 4, 0xFF);
  image.bitmap.x = 12;
  image.bitmap.y = 2;
  mmap_clear_area(image.bitmap, 100, 100);
  EXPECT_EQ(image.bytes(), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xF0}));

  image.bitmap.x = -3;
  image.bitmap.y = -1;
  mmap_invert_area(image.bitmap, 5, 2);  // visible part: columns 0-1 of row 0
  EXPECT_EQ(image.bytes(), (Bytes{0x3F, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xF0}));

  image.bitmap.x = 16;
  image.bitmap.y = 0;
  mmap_clear_area(image.bitmap, 2147483647, 2147483647);
  image.bitmap.x = -2147483647 - 1;
  mmap_invert_area(image.bitmap, 2147483647, 1);  // ends just left of column 0
  EXPECT_EQ(image.bytes(), (Bytes{0x3F, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xF0}));
  EXPECT_TRUE(image.guards_intact());
}

// --- bit runs ---------------------------------------------------------------

TEST_F(MmapTest, PutbWritesBitsMostSignificantFirstAndMovesTheCursor) {
  const uint8_t bits[] = {0xF0, 0xA0};
  GuardedImage image(16, 1, 0x0F);
  image.bitmap.data[1] = 0x0F;
  mmap_putb(image.bitmap, bits, 12);
  EXPECT_EQ(image.bytes(), (Bytes{0xF0, 0xAF}));  // pixels 12-15 keep their bits
  EXPECT_EQ(image.bitmap.x, 12);
  EXPECT_EQ(image.bitmap.y, 0);

  GuardedImage inverted(16, 1, 0x0F);
  mmap_set_inverted();
  mmap_putb(inverted.bitmap, bits, 12);
  EXPECT_EQ(inverted.bytes(), (Bytes{0x0F, 0x5F}));
}

TEST_F(MmapTest, PutbStartsAtTheCursorColumnWithoutByteAlignment) {
  const uint8_t bits[] = {0x81, 0xC0};
  GuardedImage image(16, 1);
  image.bitmap.x = 3;
  mmap_putb(image.bitmap, bits, 10);  // pixels 3, 10, 11 and 12
  EXPECT_EQ(image.bytes(), (Bytes{0x10, 0x38}));
  EXPECT_EQ(image.bitmap.x, 13);
}

TEST_F(MmapTest, PutbWrapsToTheNextRowAndFromTheLastPixelToTheFirst) {
  const uint8_t bits[] = {0xC0};
  GuardedImage image(16, 2);
  image.bitmap.x = 15;
  mmap_putb(image.bitmap, bits, 2);
  EXPECT_EQ(image.bytes(), (Bytes{0x00, 0x01, 0x80, 0x00}));
  EXPECT_EQ(image.bitmap.x, 1);
  EXPECT_EQ(image.bitmap.y, 1);

  image.bitmap.x = 15;
  image.bitmap.y = 1;
  mmap_putb(image.bitmap, bits, 2);
  EXPECT_EQ(image.bytes(), (Bytes{0x80, 0x01, 0x80, 0x01}));
  EXPECT_EQ(image.bitmap.x, 1);
  EXPECT_EQ(image.bitmap.y, 0);
}

TEST_F(MmapTest, PutbLongerThanTheImageWrapsOverItsOwnPixels) {
  const uint8_t bits[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x00};
  GuardedImage image(16, 2);
  mmap_putb(image.bitmap, bits, 40);
  EXPECT_EQ(image.bytes(), (Bytes{0x00, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(image.bitmap.x, 8);
  EXPECT_EQ(image.bitmap.y, 0);
  EXPECT_TRUE(image.guards_intact());
}

TEST_F(MmapTest, PutbWithNothingToWriteChangesNothing) {
  const uint8_t bits[] = {0xFF};
  GuardedImage image(16, 2);
  image.bitmap.x = 4;
  image.bitmap.y = 1;
  mmap_putb(image.bitmap, bits, 0);
  mmap_putb(image.bitmap, bits, -8);
  mmap_putb(image.bitmap, nullptr, 8);
  EXPECT_EQ(image.bitmap.x, 4);
  EXPECT_EQ(image.bitmap.y, 1);

  // A cursor outside the image gives the run no place to start.
  const Point outside[] = {{16, 0}, {-1, 0}, {0, 2}, {0, -1}};
  for (auto [x, y] : outside) {
    image.bitmap.x = x;
    image.bitmap.y = y;
    mmap_putb(image.bitmap, bits, 8);
    EXPECT_EQ(image.bitmap.x, x);
    EXPECT_EQ(image.bitmap.y, y);
  }
  EXPECT_EQ(image.bytes(), Bytes(4, 0x00));
  EXPECT_TRUE(image.guards_intact());
}

}  // namespace
