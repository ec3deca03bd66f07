#include "freetype-font.h"

#include <stdexcept>

namespace bench {

freetype_library::freetype_library() {
  if (FT_Init_FreeType(&library_) != 0) throw std::runtime_error("FT_Init_FreeType failed");
}

freetype_library::~freetype_library() { FT_Done_FreeType(library_); }

int64_t freetype_library::load_all_glyphs(const char* path) {
  FT_Face face = nullptr;
  if (FT_New_Face(library_, path, 0, &face) != 0) return -1;
  int64_t rendered = 0;
  for (FT_Long index = 0; index < face->num_glyphs; ++index) {
    if (FT_Load_Glyph(face, static_cast<FT_UInt>(index),
                      FT_LOAD_RENDER | FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO) != 0 ||
        face->glyph->bitmap.pixel_mode != FT_PIXEL_MODE_MONO) {
      rendered = -1;
      break;
    }
    ++rendered;
  }
  FT_Done_Face(face);
  return rendered;
}

}  // namespace bench
