// Glyph renderer: draws glyphs of the loaded BDF font as opaque cells at a
// bitmap's cursor.
//
// Each character covers a cw x ch cell whose top-left corner is the cursor:
// glyph pixels are set and all others cleared (the opposite when inverted).
// The cell is clipped to the image, so nothing is ever written outside it, and
// the cursor moves on by one cell whether or not the cell was fully visible. A
// character without a glyph (the font lacks it, or no font is loaded) is drawn
// as a blank cell of the same size.
#include "font.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>

#include "bdf-reader.h"

namespace {

int32_t font_double_width = 0;
int32_t font_double_height = 0;
int32_t font_inverted = 0;

constexpr int32_t kLineBreak = 10;
constexpr uint8_t kCurrencySign = 164;  // ISO 8859-1 currency sign
constexpr int64_t kRecordRows = std::size(bdf_char{}.rows);

// Effective cell size. Kept in 64 bits so that no font size, however wrong,
// can overflow when doubled or added to the cursor; a font size of 0 or less
// counts as 0 (an empty cell that draws nothing and does not move the cursor).
struct cell_size {
  int64_t width;
  int64_t height;
};

cell_size current_cell() {
  int64_t width = std::max<int32_t>(current_font.width, 0);
  int64_t height = std::max<int32_t>(current_font.height, 0);
  if (font_double_width != 0) {
    width *= 2;
  }
  if (font_double_height != 0) {
    height *= 2;
  }
  return {width, height};
}

int32_t saturate(int64_t value) {
  return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

// Each of the low 16 bits of w becomes two adjacent bits: bit b goes to bits
// 2b + 1 and 2b of the result. The bits are spread apart in four steps (each
// moves half of the remaining groups), then every bit is copied one up.
uint32_t double_bits(uint32_t w) {
  uint32_t spread = w & 0xFFFFu;
  spread = (spread | spread << 8) & 0x00FF00FFu;
  spread = (spread | spread << 4) & 0x0F0F0F0Fu;
  spread = (spread | spread << 2) & 0x33333333u;
  spread = (spread | spread << 1) & 0x55555555u;
  return spread | spread << 1;
}

// Bit of a row word that holds the cell's leftmost pixel. Glyph rows are
// left-aligned at bit 7 for fonts up to 8 pixels wide and at bit 15 for wider
// ones (a row has 16 bits, so a wider font has no further pixels to show). A
// doubled row starts at the doubled leftmost bit's upper copy, 15 or 31, so
// that every font width doubles from the cell's left edge.
int leading_bit(int32_t font_width) {
  const int glyph_bit = font_width > 8 ? 15 : 7;
  return font_double_width != 0 ? 2 * glyph_bit + 1 : glyph_bit;
}

// Moves the cursor to the start of the next text line, or to row 0 when that
// line would start at or below the bottom.
void next_line(mmap_buffer& bitmap, int64_t cell_height) {
  const int64_t y = bitmap.y + cell_height;
  bitmap.x = 0;
  bitmap.y = y >= bitmap.height ? 0 : static_cast<int32_t>(y);
}

void advance(mmap_buffer& bitmap, const cell_size& cell) {
  const int64_t x = bitmap.x + cell.width;
  if (x >= bitmap.width) {
    next_line(bitmap, cell.height);
  } else {
    bitmap.x = static_cast<int32_t>(x);
  }
}

// One row of a cell as pixels, left-aligned in 64 bits: cell column k in bit
// 63 - k. Column k shows bit `lead` - k of the row word, down to bit 0; the
// columns after that have no glyph pixel and show the cell's background.
struct cell_row {
  uint64_t pixels;
  bool background_set;  // what the columns from 64 on show
};

cell_row make_cell_row(uint32_t w, int lead, bool inverted) {
  const uint64_t glyph = w & ((uint64_t{2} << lead) - 1);  // bits lead .. 0
  const int spare = 63 - lead;                             // columns after the glyph bits
  const uint64_t background = inverted ? (uint64_t{1} << spare) - 1 : 0;
  return {glyph << spare | background, inverted};
}

// Cell columns k .. k + 7 as one byte, column k in bit 7 (-7 <= k). Columns
// before the cell come out clear; the caller masks them off.
uint8_t cell_byte(const cell_row& row, int64_t k) {
  if (k >= 64) return row.background_set ? 0xFF : 0x00;
  if (k < 0) return static_cast<uint8_t>(row.pixels >> (56 - k));
  uint64_t bits = row.pixels << k;
  if (k > 56 && row.background_set) bits |= (uint64_t{1} << k) - 1;
  return static_cast<uint8_t>(bits >> 56);
}

// The bits of the image byte that starts at pixel column `start` which lie in
// the columns [first, last).
uint8_t byte_mask(int64_t start, int64_t first, int64_t last) {
  const int64_t from = std::max(first, start) - start;   // 0 .. 7
  const int64_t to = std::min(last, start + 8) - start;  // 1 .. 8
  return static_cast<uint8_t>((0xFFu >> from) & (0xFFu << (8 - to)));
}

// Draws the visible part of the cell at the cursor. `glyph` may be null for a
// blank cell. Rows past the record's 60 are blank, never read.
//
// The pixels are those of the bitmap's pixel access (byte (width * y) / 8 +
// x / 8, bit 0x80 >> (x % 8)), written a byte at a time: each image byte that
// the row of the cell touches gets all of its cell pixels in one
// read-modify-write, and keeps its other pixels. Rows are written top to
// bottom, and within a row no two pixels share a bit, so the image ends as
// if every pixel had been written on its own in the usual order.
void draw_cell(mmap_buffer& bitmap, const bdf_char* glyph, const cell_size& cell) {
  if (bitmap.data == nullptr || bitmap.width <= 0 || bitmap.height <= 0) {
    return;
  }
  const int64_t x = bitmap.x;
  const int64_t y = bitmap.y;
  const int64_t first_row = std::max<int64_t>(y, 0);
  const int64_t last_row = std::min<int64_t>(y + cell.height, bitmap.height);
  const int64_t first_column = std::max<int64_t>(x, 0);
  const int64_t last_column = std::min<int64_t>(x + cell.width, bitmap.width);
  if (first_column >= last_column) {
    return;
  }
  const int64_t image_bytes = int64_t{bitmap.width} * bitmap.height / 8;
  const int lead = leading_bit(current_font.width);
  const bool inverted = font_inverted != 0;

  for (int64_t r = first_row; r < last_row; ++r) {
    const int64_t j = font_double_height != 0 ? (r - y) / 2 : r - y;
    uint32_t w = glyph != nullptr && j < kRecordRows ? glyph->rows[j] : 0u;
    if (inverted) {
      w = ~w;
    }
    if (font_double_width != 0) {
      w = double_bits(w);
    }
    const cell_row row = make_cell_row(w, lead, inverted);
    const int64_t row_start = bitmap.width * r / 8;
    for (int64_t start = first_column / 8 * 8; start < last_column; start += 8) {
      const int64_t index = row_start + start / 8;
      if (index >= image_bytes) {
        break;
      }
      const uint8_t mask = byte_mask(start, first_column, last_column);
      const uint8_t value = cell_byte(row, start - x);
      bitmap.data[index] = static_cast<uint8_t>((bitmap.data[index] & ~mask) | (value & mask));
    }
  }
}

// The glyph of a character code's low 8 bits. Without a glyph table there is
// nothing to look up, so no stale table is ever scanned.
bdf_char* find_glyph(int32_t code) {
  if (current_font.chars == nullptr) {
    return nullptr;
  }
  return get_bdf_char(static_cast<uint8_t>(code & 0xFF));
}

}  // namespace

int32_t font_load(const char* path) { return load_font(path); }

// The table pointer is cleared here too, so that drawing after a release
// finds no table instead of a freed one.
void font_release() {
  release_bdf_font();
  current_font.chars = nullptr;
}

int32_t font_putc(mmap_buffer& bitmap, int32_t code) {
  const cell_size cell = current_cell();
  // Only the code 10 itself breaks the line; 266 and the like draw a glyph.
  if (code == kLineBreak) {
    next_line(bitmap, cell.height);
    return 0;
  }
  draw_cell(bitmap, find_glyph(code), cell);
  advance(bitmap, cell);
  return 0;
}

int32_t font_puts(mmap_buffer& bitmap, const char* s) {
  if (s == nullptr) {
    return 0;
  }
  for (; *s != '\0'; ++s) {
    font_putc(bitmap, static_cast<uint8_t>(*s));
  }
  return 0;
}

// The rows pass through a copy, so a code whose low 8 bits are 164 leaves the
// glyph as it was. When either glyph is missing nothing changes.
int32_t font_set_currency_symbol(int32_t code) {
  const bdf_char* source = find_glyph(code);
  bdf_char* target = find_glyph(kCurrencySign);
  if (source == nullptr || target == nullptr) {
    return 0;
  }
  const auto rows = static_cast<size_t>(std::clamp<int64_t>(current_font.height, 0, kRecordRows));
  std::array<uint16_t, kRecordRows> copy{};
  std::copy_n(source->rows, rows, copy.begin());
  std::copy_n(copy.begin(), rows, target->rows);
  return 0;
}

int32_t font_set_double_width() {
  font_double_width = 1;
  return 0;
}

int32_t font_clear_double_width() {
  font_double_width = 0;
  return 0;
}

int32_t font_set_double_height() {
  font_double_height = 1;
  return 0;
}

int32_t font_clear_double_height() {
  font_double_height = 0;
  return 0;
}

int32_t font_set_inverted() {
  font_inverted = 1;
  return 0;
}

int32_t font_clear_inverted() {
  font_inverted = 0;
  return 0;
}

int32_t font_get_width() { return saturate(current_cell().width); }

int32_t font_get_height() { return saturate(current_cell().height); }
