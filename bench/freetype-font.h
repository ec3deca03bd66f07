// The peer: a BDF font loaded with FreeType's BDF driver, every glyph rendered
// as a monochrome bitmap, as a program that used FreeType instead of the
// device's reader would load its console font.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>

namespace bench {

// One FreeType library instance, made once and kept for every load (the
// device's reader has no library state to set up either).
class freetype_library {
 public:
  freetype_library();
  ~freetype_library();
  freetype_library(const freetype_library&) = delete;
  freetype_library& operator=(const freetype_library&) = delete;

  // FT_New_Face, FT_Load_Glyph with FT_LOAD_RENDER | FT_LOAD_MONOCHROME |
  // FT_LOAD_TARGET_MONO for every glyph index, FT_Done_Face. Gives the
  // number of glyphs rendered, or -1 when the face cannot be opened or a
  // glyph cannot be loaded. The bitmaps are left in the glyph slot, not
  // copied out: the device's reader keeps every glyph, so this favours
  // FreeType slightly.
  int64_t load_all_glyphs(const char* path);

 private:
  FT_Library library_ = nullptr;
};

}  // namespace bench
