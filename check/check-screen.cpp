// Display decisions and the test picture. The picture is drawn with the
// program's own bitmap and renderer, so "LEFT" looks as the console's text
// would.
#include "check-screen.h"

#include <cstring>

#include "font.h"

namespace {

constexpr uint32_t kConsoleRows = 16;
// Any two XOR to a byte that is not 0, and none is 0: the images of two
// writes differ in every byte, and none is the picture itself.
constexpr uint8_t kWritePatterns[kWriteCount] = {0x55, 0xAA, 0xFF};

// Arrow: a shaft along the middle of the first text line, a head whose tip is its rightmost pixel.
constexpr int kShaftLeft = 2;
constexpr int kShaftTop = 6;
constexpr int kShaftRows = 4;
constexpr int kHeadLeft = 20;
constexpr int kHeadColumns = 8;
constexpr int kTextLeft = 32;

uint8_t pattern_of(int n) { return kWritePatterns[static_cast<unsigned>(n - 1) % kWriteCount]; }

}  // namespace

void judge_geometry(const fb_var_screeninfo& info, item_result& item) {
  const unsigned width = info.xres_virtual;
  const unsigned rows = info.yres;
  const unsigned bits = info.bits_per_pixel;
  if (bits != 1) {
    item_fail(item, "%u bits per pixel (xres_virtual %u, yres %u)", bits, width, rows);
  } else if (width == 0 || width % 8 != 0) {
    item_fail(item, "xres_virtual %u is not a multiple of 8 (yres %u, 1 bit per pixel)", width,
              rows);
  } else if (rows < kConsoleRows) {
    item_fail(item, "yres %u: fewer than 16 rows (xres_virtual %u, 1 bit per pixel)", rows, width);
  }
  item_measured(item, "xres_virtual %u, yres %u, 1 bit per pixel", width, rows);
}

size_t image_bytes(const fb_var_screeninfo& info) {
  const uint64_t bytes = uint64_t{info.xres_virtual} * info.yres * info.bits_per_pixel / 8;
  return bytes <= kMaxImageBytes ? static_cast<size_t>(bytes) : 0;
}

void make_write_image(uint8_t* image, const write_images& images, int n) {
  const uint8_t pattern = pattern_of(n);
  for (size_t i = 0; i < images.size; ++i) image[i] = images.picture[i] ^ pattern;
}

size_t first_difference(const uint8_t* read, const write_images& images, int n) {
  const uint8_t pattern = pattern_of(n);
  for (size_t i = 0; i < images.size; ++i) {
    if (read[i] != (images.picture[i] ^ pattern)) return i;
  }
  return images.size;
}

// The latest write first: a driver that shows every write shows that one.
int shown_image(const uint8_t* read, const write_images& images, int latest) {
  for (int n = latest; n >= 1; --n) {
    if (first_difference(read, images, n) == images.size) return n;
  }
  if (images.before_size >= images.size && memcmp(read, images.before, images.size) == 0) return 0;
  return -1;
}

void draw_test_picture(mmap_buffer& bitmap) {
  mmap_clear(bitmap);
  for (int y = kShaftTop; y < kShaftTop + kShaftRows; ++y) {
    for (int x = kShaftLeft; x < kHeadLeft; ++x) mmap_set_pixel(bitmap, x, y);
  }
  // Each column of the head is two rows shorter than the one before it.
  for (int d = 0; d < kHeadColumns; ++d) {
    for (int y = d; y < static_cast<int>(kConsoleRows) - d; ++y)
      mmap_set_pixel(bitmap, kHeadLeft + d, y);
  }
  bitmap.x = kTextLeft;
  bitmap.y = 0;
  font_puts(bitmap, "LEFT");
}
