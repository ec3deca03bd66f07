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

// Fills the whole image with background and moves the cursor to (0, 0).
void mmap_clear(mmap_buffer& bitmap);
// Paints the w x h area at the cursor with background; the cursor stays.
void mmap_clear_area(mmap_buffer& bitmap, int32_t w, int32_t h);
// Toggles every pixel of the w x h area at the cursor; the cursor stays.
void mmap_invert_area(mmap_buffer& bitmap, int32_t w, int32_t h);
// Writes n source bits (most significant first) as pixels from the cursor on.
void mmap_putb(mmap_buffer& bitmap, const uint8_t* source, int32_t n);

// Module-wide inverted mode: background becomes 1 bits for the operations above.
int32_t mmap_set_inverted();
int32_t mmap_clear_inverted();

// Single-pixel access shared with the glyph renderer. Callers keep (x, y)
// inside the image.
void mmap_set_pixel(mmap_buffer& bitmap, int32_t x, int32_t y);
void mmap_clear_pixel(mmap_buffer& bitmap, int32_t x, int32_t y);
