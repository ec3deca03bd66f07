// Monochrome bitmap operations.
//
// Every write goes through one bounds check: a pixel is drawn only when it
// lies inside the image and its byte lies inside the image's width * height / 8
// bytes. Areas and runs are thereby clipped to the image, whatever cursor,
// size or count a caller passes, and a record without pixel memory or with an
// empty geometry is never written through. Inside the image the operations
// behave exactly as their description says.
#include "mmap.h"

#include <algorithm>
#include <cstring>

namespace {

// Background is 1 bits instead of 0 bits while set (clear, area clear, bit runs).
int32_t mmap_inverted = 0;

// Size of the image in bytes; 0 when the record cannot be drawn into.
int64_t image_bytes(const mmap_buffer& bitmap) {
  if (bitmap.data == nullptr || bitmap.width <= 0 || bitmap.height <= 0) {
    return 0;
  }
  return int64_t{bitmap.width} * bitmap.height / 8;
}

// Byte index of pixel (x, y), or -1 when the pixel is not drawable. 64-bit
// arithmetic so that no geometry can overflow the index computation; the byte
// check also covers a width that is not a multiple of 8.
int64_t pixel_byte(const mmap_buffer& bitmap, int64_t x, int64_t y) {
  if (x < 0 || y < 0 || x >= bitmap.width || y >= bitmap.height) {
    return -1;
  }
  const int64_t index = bitmap.width * y / 8 + x / 8;
  return index < image_bytes(bitmap) ? index : -1;
}

uint8_t pixel_mask(int64_t x) { return static_cast<uint8_t>(0x80u >> (x % 8)); }

void write_pixel(mmap_buffer& bitmap, int64_t x, int64_t y, bool set) {
  const int64_t index = pixel_byte(bitmap, x, y);
  if (index < 0) {
    return;
  }
  if (set) {
    bitmap.data[index] |= pixel_mask(x);
  } else {
    bitmap.data[index] &= static_cast<uint8_t>(~pixel_mask(x));
  }
}

// Half-open pixel range [first, last) of an area starting at `origin`,
// `size` pixels long, cut to [0, limit).
struct span {
  int64_t first;
  int64_t last;
};

span clip(int64_t origin, int64_t size, int64_t limit) {
  if (size <= 0) {
    return {0, 0};
  }
  return {std::max<int64_t>(origin, 0), std::min<int64_t>(origin + size, limit)};
}

// Visits every drawable pixel of the w x h area at the cursor, row by row.
template <typename Action>
void for_each_area_pixel(mmap_buffer& bitmap, int32_t w, int32_t h, Action action) {
  if (image_bytes(bitmap) == 0) {
    return;
  }
  const span rows = clip(bitmap.y, h, bitmap.height);
  const span columns = clip(bitmap.x, w, bitmap.width);
  for (int64_t r = rows.first; r < rows.last; ++r) {
    for (int64_t c = columns.first; c < columns.last; ++c) {
      action(c, r);
    }
  }
}

}  // namespace

void mmap_set_pixel(mmap_buffer& bitmap, int32_t x, int32_t y) { write_pixel(bitmap, x, y, true); }

void mmap_clear_pixel(mmap_buffer& bitmap, int32_t x, int32_t y) {
  write_pixel(bitmap, x, y, false);
}

void mmap_clear(mmap_buffer& bitmap) {
  const int64_t size = image_bytes(bitmap);
  if (size > 0) {
    std::memset(bitmap.data, mmap_inverted != 0 ? 0xFF : 0x00, static_cast<size_t>(size));
  }
  bitmap.x = 0;
  bitmap.y = 0;
}

void mmap_clear_area(mmap_buffer& bitmap, int32_t w, int32_t h) {
  const bool set = mmap_inverted != 0;
  for_each_area_pixel(bitmap, w, h, [&](int64_t c, int64_t r) { write_pixel(bitmap, c, r, set); });
}

void mmap_invert_area(mmap_buffer& bitmap, int32_t w, int32_t h) {
  for_each_area_pixel(bitmap, w, h, [&](int64_t c, int64_t r) {
    const int64_t index = pixel_byte(bitmap, c, r);
    if (index >= 0) {
      bitmap.data[index] ^= pixel_mask(c);
    }
  });
}

// A run must start at a pixel of the image: from there the cursor wraps from
// the right edge to the next row and from the last pixel to (0, 0), so it
// never leaves the image. With the cursor outside the image (or a negative
// count, no source, no pixel memory) there is nothing sensible to write, and
// neither the image nor the cursor changes.
void mmap_putb(mmap_buffer& bitmap, const uint8_t* source, int32_t n) {
  if (source == nullptr || n <= 0 || pixel_byte(bitmap, bitmap.x, bitmap.y) < 0) {
    return;
  }
  uint8_t mask = 0x80;
  const uint8_t* p = source;
  for (; n > 0; --n) {
    const uint8_t b = mmap_inverted != 0 ? static_cast<uint8_t>(~*p) : *p;
    write_pixel(bitmap, bitmap.x, bitmap.y, (b & mask) != 0);
    mask = static_cast<uint8_t>(mask >> 1);
    if (mask == 0) {
      mask = 0x80;
      ++p;
    }
    if (++bitmap.x >= bitmap.width) {
      bitmap.x = 0;
      if (++bitmap.y >= bitmap.height) {
        bitmap.y = 0;
      }
    }
  }
}

int32_t mmap_set_inverted() {
  mmap_inverted = 1;
  return 0;
}

int32_t mmap_clear_inverted() {
  mmap_inverted = 0;
  return 0;
}
