// Placeholder until the bitmap lands.
#include "mmap.h"

void mmap_clear(mmap_buffer& bitmap) { bitmap.x = bitmap.y = 0; }
void mmap_clear_area(mmap_buffer&, int32_t, int32_t) {}
void mmap_invert_area(mmap_buffer&, int32_t, int32_t) {}
void mmap_putb(mmap_buffer&, const uint8_t*, int32_t) {}
int32_t mmap_set_inverted() { return 0; }
int32_t mmap_clear_inverted() { return 0; }
void mmap_set_pixel(mmap_buffer&, int32_t, int32_t) {}
void mmap_clear_pixel(mmap_buffer&, int32_t, int32_t) {}
