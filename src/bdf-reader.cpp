// BDF bitmap font reader. Takes from the file only what a fixed-cell console
// needs: the font bounding box, the glyph count, and each glyph's encoding,
// box and bitmap. Every glyph is placed in its cell once, while loading, so a
// lookup hands out rows that are ready to draw.
#include "bdf-reader.h"

#include <stdio_ext.h>
#include <sys/types.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

bdf_font current_font{};

namespace {

constexpr size_t LINE_BUFFER_SIZE = 256;
constexpr int32_t MAX_FONT_WIDTH = 16;
constexpr int32_t MAX_FONT_HEIGHT = 30;
// More glyphs than this are unusual for a console font; they load, with a warning.
constexpr int32_t LARGE_GLYPH_COUNT = 256;
// A table for every 16-bit code (8 MB). Larger counts are refused like a failed
// allocation: the device could not hold them, and only codes 0-255 are looked up.
constexpr int32_t MAX_GLYPH_COUNT = 65536;
constexpr int32_t ROW_BITS = 16;

// The open font file and its one line buffer; both are given back when the load
// ends, whichever way it ends.
struct font_file {
  FILE* stream = nullptr;
  char* line = nullptr;
  size_t capacity = 0;
  ssize_t length = 0;  // bytes of the current line, its line feed included

  font_file() = default;
  font_file(const font_file&) = delete;
  font_file& operator=(const font_file&) = delete;
  ~font_file() {
    free(line);
    if (stream != nullptr) fclose(stream);
  }

  // False at the end of the file or on a read error.
  bool next_line() {
    length = getline(&line, &capacity, stream);
    return length > 0;
  }

  // Keywords are matched over their own length only; the rest of the line does
  // not matter. Compared byte by byte up to the first difference, so a line
  // shorter than the keyword stops at its terminating NUL; the comparisons
  // are spelled out at compile time, one per byte of the keyword.
  template <size_t N>
  bool begins_with(const char (&keyword)[N]) const {
    return matches(keyword, std::make_index_sequence<N - 1>{});
  }

  // Where the scanning of a line that begins with `keyword` goes on: still
  // inside the line's first word, which is the keyword and whatever non-space
  // bytes follow it.
  template <size_t N>
  const char* after(const char (&)[N]) const {
    return line + N - 1;
  }

 private:
  template <size_t N, size_t... I>
  bool matches(const char (&keyword)[N], std::index_sequence<I...>) const {
    return ((line[I] == keyword[I]) && ...);
  }
};

// Number scanning. The numbers of a keyword line are read exactly as sscanf
// reads the formats "%*s %d %d %d %d", "%*s %d" and "%*s %i", and a bitmap
// line as strtol reads it in base 16, in the C locale the program runs in:
// the same white space, signs, prefixes, partial reads, and the same values
// for numbers too large for a long (strtol's LONG_MAX or LONG_MIN, then cut
// to the destination's width). Doing it here spares sscanf's format parsing
// and string stream on every line; the results are the C library's.

// isspace in the C locale.
constexpr bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

constexpr uint8_t NOT_A_DIGIT = 0xFF;

// The value of each byte as a digit of bases up to 16.
constexpr std::array<uint8_t, 256> DIGIT_VALUES = [] {
  std::array<uint8_t, 256> values{};
  for (uint8_t& v : values) v = NOT_A_DIGIT;
  for (int c = '0'; c <= '9'; ++c) values[c] = static_cast<uint8_t>(c - '0');
  for (int c = 'a'; c <= 'f'; ++c) values[c] = static_cast<uint8_t>(c - 'a' + 10);
  for (int c = 'A'; c <= 'F'; ++c) values[c] = static_cast<uint8_t>(c - 'A' + 10);
  return values;
}();

unsigned digit_value(char c) { return DIGIT_VALUES[static_cast<unsigned char>(c)]; }

bool is_x(char c) { return c == 'x' || c == 'X'; }

// The digits of a number as strtol gathers them after its sign and prefix.
struct magnitude {
  unsigned long value = 0;
  bool overflow = false;  // the value no longer fits in an unsigned long
  bool digits = false;    // there was at least one digit
};

// Reads the digits of `base` at `p`, advancing it.
magnitude read_digits(const char*& p, unsigned base) {
  // Up to this value one more digit of any base up to 16 cannot overflow.
  constexpr unsigned long SAFE = ULONG_MAX / 16 - 1;
  magnitude m;
  for (unsigned d = digit_value(*p); d < base; d = digit_value(*++p)) {
    m.digits = true;
    if (m.value <= SAFE) {
      m.value = m.value * base + d;
    } else if (__builtin_mul_overflow(m.value, base, &m.value) ||
               __builtin_add_overflow(m.value, d, &m.value)) {
      m.overflow = true;
    }
  }
  return m;
}

// strtol's result for a sign and a magnitude.
long to_long(bool negative, const magnitude& m) {
  constexpr auto LIMIT = static_cast<unsigned long>(LONG_MAX);
  if (!negative) return m.overflow || m.value > LIMIT ? LONG_MAX : static_cast<long>(m.value);
  if (m.overflow || m.value > LIMIT + 1) return LONG_MIN;
  return static_cast<long>(0 - m.value);
}

bool read_sign(const char*& p) {
  if (*p != '+' && *p != '-') return false;
  return *p++ == '-';
}

// One %d (base 10) or %i (base 0) conversion at `p`, its white space already
// skipped and `p` not at the end of the line. False on a matching failure (no
// digits). As in sscanf, %i takes a leading 0 as octal and 0x as hexadecimal,
// and "0x" with no hexadecimal digit after it still reads as 0.
bool scan_integer(const char*& p, unsigned base, int32_t& value) {
  // The usual number: a few decimal digits, no sign. Up to digits10 of them
  // always fit in a long.
  if (base == 10) {
    const char* digits = p;
    unsigned long decimal = 0;
    for (unsigned d = digit_value(*p); d < 10; d = digit_value(*++p)) decimal = decimal * 10 + d;
    if (p != digits && p - digits <= std::numeric_limits<long>::digits10) {
      value = static_cast<int32_t>(decimal);
      return true;
    }
    p = digits;
  }

  const bool negative = read_sign(p);
  bool leading_zero = false;
  if (base == 0) {
    base = 10;
    if (*p == '0') {
      leading_zero = true;
      ++p;
      base = 8;
      if (is_x(*p)) {
        ++p;
        base = 16;
      }
    }
  }
  const magnitude m = read_digits(p, base);
  if (!m.digits && !leading_zero) return false;
  // As sscanf stores a long into an int: the low bits.
  value = static_cast<int32_t>(to_long(negative, m));
  return true;
}

// sscanf(line, "%*s %d %d ...", values[0], ...) with `count` numbers (base
// 10), or with "%*s %i" (base 0), for a line that begins with a keyword; `p`
// is past the keyword, in the first word that "%*s" skips. Returns what
// sscanf returns: the number of values stored, or EOF when the line ended
// before the first one. A number that is missing leaves its destination, and
// those after it, as they were.
int scan_numbers(const char* p, unsigned base, int32_t* const* values, int count) {
  while (*p != '\0' && !is_space(*p)) ++p;
  int stored = 0;
  for (; stored < count; ++stored) {
    while (is_space(*p)) ++p;
    if (*p == '\0') return stored == 0 ? EOF : stored;
    if (!scan_integer(p, base, *values[stored])) break;
  }
  return stored;
}

template <typename... Values>
int scan_decimals(const char* p, Values*... values) {
  int32_t* const destinations[] = {values...};
  return scan_numbers(p, 10, destinations, sizeof...(Values));
}

// strtol(line, nullptr, 16), cut to 16 bits. This runs for every bitmap
// line. Most of them are nothing but a few digits: then there is no white
// space, sign or 0x prefix to take, and too few digits to overflow a long,
// so the value is the digits' own. Any other line takes the whole way: each
// digit one shift, the magnitude overflowing exactly when a shift would push
// out a non-zero top digit.
uint16_t scan_hex_row(const char* line) {
  constexpr int TOP_DIGIT_SHIFT = 8 * sizeof(unsigned long) - 4;
  const char* p = line;
  unsigned long digits = 0;
  for (unsigned d = digit_value(*p); d < 16; d = digit_value(*++p)) digits = digits << 4 | d;
  const bool prefix = p - line == 1 && line[0] == '0' && is_x(*p);
  if (p != line && !prefix && p - line < 2 * static_cast<ptrdiff_t>(sizeof(unsigned long))) {
    return static_cast<uint16_t>(digits);
  }

  p = line;
  while (is_space(*p)) ++p;
  const bool negative = read_sign(p);
  if (p[0] == '0' && is_x(p[1])) p += 2;
  magnitude m;
  for (unsigned d = digit_value(*p); d < 16; d = digit_value(*++p)) {
    m.overflow |= (m.value >> TOP_DIGIT_SHIFT) != 0;
    m.value = m.value << 4 | d;
  }
  return static_cast<uint16_t>(to_long(negative, m));
}

// The glyph box of a BBX line. It stays in force until the next BBX line, so a
// glyph without one is placed with the previous glyph's box; before the first
// BBX line the box is empty and a bitmap has no rows.
struct glyph_box {
  int32_t width = 0;  // not used: the cell width decides how rows are read
  int32_t height = 0;
  int32_t x_offset = 0;
  int32_t y_offset = 0;
};

// Bits per stored row that the cell uses: 8 for cells up to 8 wide, 16 wider.
int32_t cell_bits(int32_t width) { return 8 * ((width - 1) / 8) + 8; }

uint16_t shift_left(uint16_t row, int64_t bits) {
  return bits >= ROW_BITS ? 0 : static_cast<uint16_t>(row << bits);
}

uint16_t shift_right(uint16_t row, int64_t bits) {
  return bits >= ROW_BITS ? 0 : static_cast<uint16_t>(row >> bits);
}

// Moves the cell's rows up by k (k > 0); the rows left at the bottom are blank,
// also when k is more than half the cell and the move itself does not reach
// them all. A move by the whole cell or more leaves the rows as they are.
void move_rows_up(uint16_t* rows, int32_t height, int64_t k) {
  if (k >= height) return;
  for (int64_t q = 0; q < height - k; ++q) rows[q] = rows[q + k];
  for (int64_t q = height - k; q < height; ++q) rows[q] = 0;
}

// Moves the cell's rows down by k (k > 0); the rows left at the top are blank.
void move_rows_down(uint16_t* rows, int32_t height, int64_t k) {
  if (k >= height) return;
  // cppcheck-suppress constStatement ; cppcheck 2.10 reads the cast int64_t{height} as a statement
  for (int64_t p = int64_t{height} - 1; p >= k; --p) rows[p] = rows[p - k];
  for (int64_t p = 0; p < k; ++p) rows[p] = 0;
}

void shift_rows_left(uint16_t* rows, int32_t height, int64_t bits) {
  for (int32_t r = 0; r < height; ++r) rows[r] = shift_left(rows[r], bits);
}

void shift_rows_right(uint16_t* rows, int32_t height, int64_t bits) {
  for (int32_t r = 0; r < height; ++r) rows[r] = shift_right(rows[r], bits);
}

// Places a glyph read into the bottom of the cell, its left edge on the cell's
// left edge, where its box says. The four steps run one after another on the
// 16-bit rows of the cell, so a pixel one step pushes out is lost even where a
// later step would bring it back; fonts are laid out to avoid that.
void place_glyph(uint16_t* rows, const glyph_box& box) {
  const int32_t height = current_font.height;
  const int64_t font_x = current_font.x_offset;
  const int64_t font_y = current_font.y_offset;
  const int64_t glyph_x = box.x_offset;
  const int64_t glyph_y = box.y_offset;

  if (font_x < 0) shift_rows_right(rows, height, -font_x);
  if (font_x > 0) shift_rows_left(rows, height, font_x);
  if (font_y < 0) move_rows_up(rows, height, -font_y);
  if (font_y > 0) move_rows_down(rows, height, font_y);
  if (glyph_x < 0) shift_rows_left(rows, height, -glyph_x);
  if (glyph_x > 0) shift_rows_right(rows, height, glyph_x);
  if (glyph_y < 0) move_rows_down(rows, height, -glyph_y);
  if (glyph_y > 0) move_rows_up(rows, height, glyph_y);
}

// One bitmap line as a cell row. The hexadecimal digits are read as strtol
// reads them and cut to 16 bits. A line with fewer digits than the cell is wide
// is taken to start at the cell's left edge: four bits per character before the
// line feed (a carriage return counts like a digit), brought up to the row's top
// bit. A line as wide as the cell or wider is stored as read.
uint16_t row_from_line(const char* line, ssize_t length) {
  uint16_t value = scan_hex_row(line);
  const int64_t bits = 4 * int64_t{length} - 4;
  if (current_font.width > bits) value = shift_left(value, cell_bits(current_font.width) - bits);
  return value;
}

// Reads the bitmap of one glyph into `record`: the box's rows fill the bottom
// of the cell, the rest is blank, then the glyph is placed. A box taller than
// the cell has its top lines read but not stored, so nothing lands outside the
// cell's rows. False when the file ends inside the bitmap.
bool read_bitmap(font_file& file, bdf_char& record, const glyph_box& box) {
  const int32_t height = current_font.height;
  for (int32_t r = 0; r < height; ++r) record.rows[r] = 0;
  // cppcheck-suppress constStatement ; cppcheck 2.10 reads the cast int64_t{height} as a statement
  for (int64_t r = int64_t{height} - box.height; r < height; ++r) {
    if (!file.next_line()) return false;
    if (r >= 0) record.rows[r] = row_from_line(file.line, file.length);
  }
  place_glyph(record.rows, box);
  return true;
}

// A record that no glyph of the file fills: no code finds it and it is blank.
void clear_record(bdf_char& record) {
  record.encoding = -1;
  memset(record.rows, 0, sizeof record.rows);
}

// The glyph table for `count` records, every record cleared; null with errno
// set when it cannot be had. A table for 0 records still takes one record's
// room, so that an empty font is not mistaken for a failed allocation.
bdf_char* allocate_table(int32_t count) {
  if (count < 0 || count > MAX_GLYPH_COUNT) {
    errno = ENOMEM;
    return nullptr;
  }
  const size_t records = count > 0 ? static_cast<size_t>(count) : 1;
  auto* table = static_cast<bdf_char*>(malloc(records * sizeof(bdf_char)));
  if (table == nullptr) return nullptr;
  for (size_t i = 0; i < records; ++i) clear_record(table[i]);
  return table;
}

bool dimensions_valid() {
  return current_font.height >= 1 && current_font.height <= MAX_FONT_HEIGHT &&
         current_font.width >= 1 && current_font.width <= MAX_FONT_WIDTH;
}

// Reads the header up to its ENDPROPERTIES line, taking the font bounding box.
// 0 when the header was read, 1 after a message.
int32_t read_header(font_file& file) {
  // `current_font` keeps the sizes of an earlier font, so whether this file
  // gave a cell size is tracked here.
  bool has_bounding_box = false;
  for (;;) {
    if (!file.next_line()) {
      printf("BDF-Font: Failed to read font file header\n");
      return 1;
    }
    if (file.begins_with("FONTBOUNDINGBOX")) {
      const int numbers =
          scan_decimals(file.after("FONTBOUNDINGBOX"), &current_font.width, &current_font.height,
                        &current_font.x_offset, &current_font.y_offset);
      if (numbers >= 2) has_bounding_box = true;
      // Each box line is held against the limits; the last one stands.
      if (!dimensions_valid()) {
        printf("BDF-Font: Invalid font dimensions\n");
        return 1;
      }
    }
    if (file.begins_with("ENDPROPERTIES")) break;
  }
  if (!has_bounding_box) {
    printf("BDF-Font: Missing font bounding box\n");
    return 1;
  }
  return 0;
}

// Reads the glyph section into `table` (`current_font.count` records). Glyphs
// beyond the table are read into a scratch record and not kept. 0 when the
// reading ended at ENDFONT or at the first glyph too many, 1 when the file ended
// first.
int32_t read_glyphs(font_file& file, bdf_char* table) {
  const int32_t count = current_font.count;
  bdf_char scratch;
  clear_record(scratch);
  int32_t done = 0;
  bdf_char* record = count > 0 ? &table[0] : &scratch;
  glyph_box box;

  for (;;) {
    if (!file.next_line()) return 1;
    // The keywords are tested in this order: ENCODING, BBX, BITMAP, ENDCHAR,
    // ENDFONT. After a BITMAP line the buffer holds the last bitmap line read,
    // so a bitmap one line short takes the ENDCHAR (or ENDFONT) line as its
    // last row and that keyword still acts. The first byte picks the tests a
    // line can pass; most lines (STARTCHAR, SWIDTH, DWIDTH) pass none.
    if (file.line[0] == 'E') {
      if (file.begins_with("ENCODING")) scan_decimals(file.after("ENCODING"), &record->encoding);
    } else if (file.line[0] == 'B') {
      if (file.begins_with("BBX")) {
        scan_decimals(file.after("BBX"), &box.width, &box.height, &box.x_offset, &box.y_offset);
      } else if (file.begins_with("BITMAP") && !read_bitmap(file, *record, box)) {
        return 1;
      }
    }
    if (file.begins_with("ENDCHAR")) {
      ++done;
      if (done > count) {
        printf(
            "BDF-Font: Error more characters in font file than declared in header.\n"
            "\tMapped %i characters\n",
            count);
        return 0;
      }
      record = done < count ? &table[done] : &scratch;
    }
    if (file.begins_with("ENDFONT")) return 0;
  }
}

}  // namespace

int32_t load_font(const char* path) {
  if (path == nullptr) {
    printf("Invalid font file name\n");
    return 1;
  }
  font_file file;
  file.stream = fopen(path, "r");
  if (file.stream == nullptr) {
    printf("Failed to open font file - %s\n", path);
    return 1;
  }
  // The stream is this load's own and the program has one thread, so stdio
  // need not take the stream's lock for every line read.
  __fsetlocking(file.stream, FSETLOCKING_BYCALLER);
  file.line = static_cast<char*>(malloc(LINE_BUFFER_SIZE));
  if (file.line == nullptr) {
    printf("Failed to allocate memory for line\n");
    return 1;
  }
  file.capacity = LINE_BUFFER_SIZE;

  if (read_header(file) != 0) return 1;

  if (!file.next_line()) {
    printf("BDF-Font: Failed to read font file\n");
    return 1;
  }
  if (!file.begins_with("CHARS")) {
    printf("BDF-Font: Font file is invalid format\n");
    return 1;
  }
  // %i: a count may be written in hexadecimal (0x..) or octal (0..).
  int32_t* const count[] = {&current_font.count};
  scan_numbers(file.after("CHARS"), 0, count, 1);

  current_font.chars = allocate_table(current_font.count);
  if (current_font.chars == nullptr) {
    printf("BDF Font: could not allocate space for glyhs. Error - %i\n", errno);
    return 1;
  }
  if (current_font.count > LARGE_GLYPH_COUNT) {
    printf("BDF Font: Large number of chars to be read - %i\n", current_font.count);
  }

  if (read_glyphs(file, current_font.chars) != 0) {
    printf("BDF-Font: Failed to read font file\n");
    free(current_font.chars);
    current_font.chars = nullptr;
    return 1;
  }
  return 0;
}

bdf_char* get_bdf_char(uint8_t code) {
  if (current_font.chars == nullptr || current_font.count <= 0) return nullptr;
  for (int32_t i = 0; i < current_font.count; ++i) {
    if (current_font.chars[i].encoding == code) return &current_font.chars[i];
  }
  return nullptr;
}

void release_bdf_font() {
  free(current_font.chars);
  current_font.chars = nullptr;
}
