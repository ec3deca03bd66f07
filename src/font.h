// Glyph renderer: draws characters of the loaded BDF font as opaque cells at a
// bitmap's cursor, with three module-wide attributes.
#pragma once

#include <cstdint>

#include "mmap.h"

// Loads a BDF font as the current font: 0 when loaded, 1 when not.
int32_t font_load(const char* path);
// Gives the current font's glyph table back.
void font_release();

// Draws one character (code 10 is a line break) and advances the cursor.
int32_t font_putc(mmap_buffer& bitmap, int32_t code);
// Draws each byte of a NUL-terminated string with font_putc.
int32_t font_puts(mmap_buffer& bitmap, const char* s);
// Gives the glyph of code 164 the rows of the glyph of `code`.
int32_t font_set_currency_symbol(int32_t code);

int32_t font_set_double_width();
int32_t font_clear_double_width();
int32_t font_set_double_height();
int32_t font_clear_double_height();
int32_t font_set_inverted();
int32_t font_clear_inverted();

// Effective cell size: the font's, doubled by the double attributes.
int32_t font_get_width();
int32_t font_get_height();
