// Placeholder until the renderer lands.
#include "font.h"

#include "bdf-reader.h"

int32_t font_load(const char* path) { return load_font(path); }
void font_release() { release_bdf_font(); }
int32_t font_putc(mmap_buffer&, int32_t) { return 0; }
int32_t font_puts(mmap_buffer&, const char*) { return 0; }
int32_t font_set_currency_symbol(int32_t) { return 0; }
int32_t font_set_double_width() { return 0; }
int32_t font_clear_double_width() { return 0; }
int32_t font_set_double_height() { return 0; }
int32_t font_clear_double_height() { return 0; }
int32_t font_set_inverted() { return 0; }
int32_t font_clear_inverted() { return 0; }
int32_t font_get_width() { return 0; }
int32_t font_get_height() { return 0; }
