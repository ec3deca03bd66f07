// Monochrome bitmap: a 1-bit-per-pixel image in ordinary memory with a pixel
// cursor. Rows of width/8 bytes follow each other top to bottom; within a byte
// the most significant bit is the leftmost pixel. This is also the layout of
// the frame-buffer image the console pushes to the display.
#pragma once

#include <cstdint>

struct mmap_buffer {
  uint8_t* data;   // pixel bytes, not owned by the record
  int32_t width;   // pixels, a multiple of 8
  int32_t height;  // pixels
  int32_t x;       // cursor column
  int32_t y;       // cursor row
};

// No operation writes outside the image's width * height / 8 bytes: areas are
// clipped to the image, and a record with null `data` or a width or height of 0
// or less is never written through.

// Fills the whole image with background and moves the cursor to (0, 0).
void mmap_clear(mmap_buffer& bitmap);
// Paints the w x h area at the cursor with background; the cursor stays.
// A width or height of 0 or less paints nothing.
void mmap_clear_area(mmap_buffer& bitmap, int32_t w, int32_t h);
// Toggles every pixel of the w x h area at the cursor, whatever the inverted
// mode; the cursor stays.
void mmap_invert_area(mmap_buffer& bitmap, int32_t w, int32_t h);
// Writes n source bits (most significant bit of source[0] first) as pixels from
// the cursor on, one pixel per bit in raster order; the cursor follows and wraps
// from the right edge to the next row and from the last pixel to (0, 0). Does
// nothing when n <= 0, source is null or the cursor is outside the image.
void mmap_putb(mmap_buffer& bitmap, const uint8_t* source, int32_t n);

// Module-wide inverted mode, off at start: background becomes 1 bits for
// mmap_clear and mmap_clear_area, and mmap_putb complements its source bits.
// The glyph renderer is not affected. Both return 0.
int32_t mmap_set_inverted();
int32_t mmap_clear_inverted();

// Single-pixel access shared with the glyph renderer: byte (width * y) / 8 + x / 8,
// mask 0x80 >> (x % 8). Not affected by the inverted mode. A pixel outside the
// image is ignored.
void mmap_set_pixel(mmap_buffer& bitmap, int32_t x, int32_t y);
void mmap_clear_pixel(mmap_buffer& bitmap, int32_t x, int32_t y);
