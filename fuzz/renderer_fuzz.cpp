// libFuzzer target for the glyph renderer and the bitmap under it: a bitmap
// of any size (negative, zero, a width that is not a multiple of 8), a font of
// any cell size with glyphs from the input, then any sequence of attribute
// changes, cursor moves, characters and bitmap operations. The image lies
// between two guard regions; the target traps when a byte outside the image
// changes, when a character changes a pixel outside its own cell, or when a
// cursor that was inside the image leaves it.
//
// Input: u16 width, u16 height, u8 font kind, u8 font width, u8 font height
// (a value from 240 up is followed by a raw i32), u8 glyph count, then per
// glyph u8 encoding and one u16 per cell row; then operations (see run_one).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "bdf-reader.h"
#include "font.h"
#include "fuzz_input.h"
#include "mmap.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

constexpr size_t kGuardBytes = 64;
constexpr uint8_t kGuardFill = 0xA5;

// The image's bytes with a guard region on each side.
struct guarded_image {
  std::vector<uint8_t> memory;
  mmap_buffer bitmap{};
  size_t image_bytes = 0;

  guarded_image(int32_t width, int32_t height) {
    image_bytes = width > 0 && height > 0 ? static_cast<size_t>(width) * height / 8 : 0;
    memory.assign(image_bytes + 2 * kGuardBytes, kGuardFill);
    std::fill_n(memory.begin() + kGuardBytes, image_bytes, 0);
    bitmap = {memory.data() + kGuardBytes, width, height, 0, 0};
  }

  void check_guards() const {
    for (size_t i = 0; i < kGuardBytes; ++i) {
      check(memory[i] == kGuardFill);
      check(memory[kGuardBytes + image_bytes + i] == kGuardFill);
    }
  }

  std::vector<uint8_t> image() const {
    return {memory.begin() + kGuardBytes, memory.begin() + kGuardBytes + image_bytes};
  }

  bool drawable() const { return bitmap.width > 0 && bitmap.height > 0 && image_bytes > 0; }

  bool cursor_inside() const {
    return bitmap.x >= 0 && bitmap.y >= 0 && bitmap.x < bitmap.width && bitmap.y < bitmap.height;
  }
};

int32_t font_size(fuzz_input& in, int32_t limit) {
  const uint8_t code = in.u8();
  return code < 240 ? 1 + code % limit : in.i32();
}

// A cursor position: mostly inside the image or just outside it, sometimes
// anywhere at all.
int32_t position(fuzz_input& in, int32_t extent) {
  const uint8_t mode = in.u8();
  if (mode < 200) return static_cast<int32_t>(in.u16() % (std::max(extent, 0) + 64)) - 32;
  return in.i32();
}

// On a bitmap whose rows are whole bytes, every changed pixel must lie in the
// cell at (x, y); pixels are compared through their bits, row by row.
void check_changes_inside_cell(const guarded_image& canvas, const std::vector<uint8_t>& before,
                               int64_t x, int64_t y) {
  const int32_t width = canvas.bitmap.width;
  if (!canvas.drawable() || width % 8 != 0) return;
  const std::vector<uint8_t> after = canvas.image();
  const int64_t cell_width = font_get_width();
  const int64_t cell_height = font_get_height();
  const size_t row_bytes = static_cast<size_t>(width / 8);
  for (size_t i = 0; i < after.size(); ++i) {
    const uint8_t changed = before[i] ^ after[i];
    for (int bit = 0; bit < 8; ++bit) {
      if ((changed & (0x80 >> bit)) == 0) continue;
      const int64_t px = static_cast<int64_t>(i % row_bytes) * 8 + bit;
      const int64_t py = static_cast<int64_t>(i / row_bytes);
      check(px >= x && px < x + cell_width && py >= y && py < y + cell_height);
    }
  }
}

void draw_character(guarded_image& canvas, int32_t code) {
  const std::vector<uint8_t> before = canvas.image();
  const int64_t x = canvas.bitmap.x;
  const int64_t y = canvas.bitmap.y;
  const bool was_inside = canvas.cursor_inside();
  check(font_putc(canvas.bitmap, code) == 0);
  if (code == 10) {
    check(canvas.image() == before);  // a line break draws nothing
  } else {
    check_changes_inside_cell(canvas, before, x, y);
  }
  if (was_inside) check(canvas.cursor_inside());
}

void run_operations(fuzz_input& in, guarded_image& canvas) {
  mmap_buffer& bitmap = canvas.bitmap;
  while (!in.empty()) {
    switch (in.u8() % 16) {
      case 0:
        bitmap.x = position(in, bitmap.width);
        bitmap.y = position(in, bitmap.height);
        break;
      case 1:
        draw_character(canvas, in.u8());
        break;
      case 2:
        draw_character(canvas, in.i32());
        break;
      case 3: {
        const std::string text = in.text();
        const bool was_inside = canvas.cursor_inside();
        check(font_puts(bitmap, text.c_str()) == 0);
        if (was_inside) check(canvas.cursor_inside());
        break;
      }
      case 4:
        (in.u8() & 1) != 0 ? font_set_double_width() : font_clear_double_width();
        break;
      case 5:
        (in.u8() & 1) != 0 ? font_set_double_height() : font_clear_double_height();
        break;
      case 6:
        (in.u8() & 1) != 0 ? font_set_inverted() : font_clear_inverted();
        break;
      case 7:
        (in.u8() & 1) != 0 ? mmap_set_inverted() : mmap_clear_inverted();
        break;
      case 8:
        check(font_set_currency_symbol(in.i32()) == 0);
        break;
      case 9:
        mmap_clear(bitmap);
        check(bitmap.x == 0 && bitmap.y == 0);
        break;
      case 10:
      case 11: {
        const int32_t w = position(in, bitmap.width);
        const int32_t h = position(in, bitmap.height);
        const int32_t x = bitmap.x;
        const int32_t y = bitmap.y;
        if (in.u8() & 1) {
          mmap_clear_area(bitmap, w, h);
        } else {
          mmap_invert_area(bitmap, w, h);
        }
        check(bitmap.x == x && bitmap.y == y);
        break;
      }
      case 12: {
        const std::string bits = in.text();
        const int32_t n = in.u8() & 1 ? static_cast<int32_t>(bits.size() * 8) : in.i32();
        const bool was_inside = canvas.cursor_inside();
        // Never more bits than the source holds: the count is the caller's
        // promise about the source.
        const int32_t safe = std::min<int64_t>(n, static_cast<int64_t>(bits.size()) * 8);
        mmap_putb(bitmap, reinterpret_cast<const uint8_t*>(bits.data()), safe);
        if (was_inside) check(canvas.cursor_inside());
        break;
      }
      case 13:
        mmap_set_pixel(bitmap, position(in, bitmap.width), position(in, bitmap.height));
        break;
      case 14:
        mmap_clear_pixel(bitmap, position(in, bitmap.width), position(in, bitmap.height));
        break;
      default:
        font_release();  // drawing goes on without a glyph table
        break;
    }
    canvas.check_guards();
  }
}

void reset_drawing_state() {
  font_clear_double_width();
  font_clear_double_height();
  font_clear_inverted();
  mmap_clear_inverted();
  current_font = {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input in(data, size);
  const int32_t width = static_cast<int32_t>(in.u16() % 1056) - 32;
  const int32_t height = static_cast<int32_t>(in.u16() % 560) - 32;
  guarded_image canvas(width, height);

  const bool with_table = in.u8() % 4 != 0;
  const int32_t font_width = font_size(in, 16);
  const int32_t font_height = font_size(in, 30);
  // From the C allocator, as the reader's table is, so that font_release can
  // give it back in the middle of a run.
  const size_t count = in.u8() % 9;
  auto* glyphs = static_cast<bdf_char*>(with_table ? calloc(count + 1, sizeof(bdf_char)) : nullptr);
  const size_t rows = static_cast<size_t>(std::clamp<int64_t>(font_height, 0, 60));
  for (size_t g = 0; glyphs != nullptr && g < count; ++g) {
    glyphs[g].encoding = in.u8();
    for (size_t r = 0; r < rows; ++r) glyphs[g].rows[r] = in.u16();
  }
  current_font = {font_height, font_width, 0, 0, static_cast<int32_t>(count), glyphs};

  run_operations(in, canvas);
  canvas.check_guards();
  font_release();
  reset_drawing_state();
  return 0;
}
