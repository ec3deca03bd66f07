// Glyph renderer: draws characters of the loaded BDF font as opaque cells at a
// bitmap's cursor, with three module-wide attributes (double width, double
// height, inverted; all off at start). The bitmap's own inverted mode does not
// affect it. Cells are clipped to the image; a character whose glyph is missing,
// or drawn with no font loaded, shows as a blank cell.
#pragma once

#include <cstdint>

#include "mmap.h"

// Loads a BDF font as the current font: 0 when loaded, 1 when not.
int32_t font_load(const char* path);
// Gives the current font's glyph table back; `current_font.chars` becomes null.
void font_release();

// Draws the glyph of code's low 8 bits and advances the cursor one cell, to the
// next text line when the next cell would start at or past the right edge, and to
// row 0 when that line would start at or below the bottom. Only the code 10
// itself is a line break: the cursor goes to x 0 of the next text line, nothing
// is drawn. Returns 0.
int32_t font_putc(mmap_buffer& bitmap, int32_t code);
// Draws each byte (0-255) of a NUL-terminated string with font_putc. Returns 0.
int32_t font_puts(mmap_buffer& bitmap, const char* s);
// Gives the glyph of code 164 the first `height` rows of the glyph of code's low
// 8 bits; changes nothing when either glyph is missing. Returns 0.
int32_t font_set_currency_symbol(int32_t code);

// Attribute setters and clearers store 1 / 0 and return 0.
int32_t font_set_double_width();
int32_t font_clear_double_width();
int32_t font_set_double_height();
int32_t font_clear_double_height();
int32_t font_set_inverted();
int32_t font_clear_inverted();

// Effective cell size: the font's, doubled by the double attributes; 0 before
// any font is loaded.
int32_t font_get_width();
int32_t font_get_height();
