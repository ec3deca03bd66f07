// What the display check decides without touching the device: whether the
// screen information is the console's geometry, the three images written
// and which of them a read-back shows, and the test picture for the bit order.
#pragma once

#include <linux/fb.h>

#include <cstddef>
#include <cstdint>

#include "check-report.h"
#include "mmap.h"

// Largest image the check writes; it holds six images' worth of memory.
inline constexpr uint64_t kMaxImageBytes = 1 << 20;
inline constexpr int kWriteCount = 3;

// Item 2: 1 bit per pixel, an xres_virtual that is a multiple of 8, at least 16 rows.
void judge_geometry(const fb_var_screeninfo& info, item_result& item);
// Bytes of one whole image as the console computes it; 0 when that is 0 or above kMaxImageBytes.
size_t image_bytes(const fb_var_screeninfo& info);

// The images of the three writes are the picture with each byte XORed with
// the write's own pattern, so that any two writes differ in every byte.
struct write_images {
  const uint8_t* picture;  // size bytes
  const uint8_t* before;   // what the display held from offset 0 before the check
  size_t before_size;
  size_t size;  // bytes of one image
};

// Fills `image` with the image of write `n` (1 to kWriteCount).
void make_write_image(uint8_t* image, const write_images& images, int n);
// What `read` (size bytes) shows after write `latest`: a write (1 to latest), 0 for the former
// screen, -1 for neither.
int shown_image(const uint8_t* read, const write_images& images, int latest);
// Offset of the first byte where `read` differs from write `n`'s image; `size` when none does.
size_t first_difference(const uint8_t* read, const write_images& images, int n);

// Blank image with an arrow at the top left pointing right and "LEFT" beside it, in the loaded
// font.
void draw_test_picture(mmap_buffer& bitmap);
