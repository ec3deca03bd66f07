// The module-wide drawing state every renderer test starts and ends with: no
// font, every attribute and the bitmap's inverted mode off.
#pragma once

#include "bdf-reader.h"
#include "font.h"
#include "mmap.h"

inline void reset_drawing_state() {
  mmap_clear_inverted();
  font_clear_double_width();
  font_clear_double_height();
  font_clear_inverted();
  current_font = {};
}
