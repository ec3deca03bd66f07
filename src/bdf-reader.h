// BDF bitmap font reader: loads one font into `current_font`, each glyph
// already placed in its cell, and looks glyphs up by character code.
#pragma once

#include <cstdint>

// One glyph: its character code and its pixel rows in the cell, row 0 the top.
// In a row the leftmost pixel is bit 7 (cells up to 8 wide) or bit 15 (wider).
// Only rows 0 to height - 1 belong to the cell. A record the file leaves
// unfilled has encoding -1, which no code finds, and blank rows.
struct bdf_char {
  int32_t encoding;
  uint16_t rows[60];
};

struct bdf_font {
  int32_t height;    // cell height in rows, at most 30
  int32_t width;     // cell width in pixels, at most 16
  int32_t x_offset;  // FONTBOUNDINGBOX x offset
  int32_t y_offset;  // FONTBOUNDINGBOX y offset
  int32_t count;     // number of records in `chars`
  bdf_char* chars;   // glyph table, null when none is loaded
};

// The one loaded font of the process.
extern bdf_font current_font;

// Reads the BDF file at `path` into `current_font`. 0 on success, 1 on failure
// (after a message on standard output). Does not free a table an earlier load
// left: release it first.
int32_t load_font(const char* path);
// The first glyph record whose encoding is `code`, or null when there is none.
bdf_char* get_bdf_char(uint8_t code);
// Frees the glyph table and leaves `chars` null; the other fields keep their values.
void release_bdf_font();
