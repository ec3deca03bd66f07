// BDF font files made up for the tests, the fuzz targets and the benchmarks,
// all written by one builder in the manner of libgpiod's gpiosim:
//
//   FontBuilder().cell(6, 16).glyph('A', rows).write(path);
//
// A font is well formed unless a test says otherwise: STARTFONT, any COMMENT,
// FONT and SIZE lines, FONTBOUNDINGBOX, the properties section, CHARS with the
// number of glyphs given, the glyph records in the order given, ENDFONT. The
// malformed fonts the reader must cope with replace one line with text of the
// test's own, or leave it out. Needs nothing but the C++ library.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace test_fonts {

// A font's cell or a glyph's box: its size in pixels and the offsets of its
// lower left corner.
struct Box {
  int width = 6, height = 16, x = 0, y = 0;
};

// The lines a test can replace or leave out, of the font and of a glyph
// record. `properties` is the whole section, STARTPROPERTIES to
// ENDPROPERTIES; `widths` the SWIDTH and DWIDTH lines.
enum class FontLine { startfont, name, size, bounding_box, properties, chars, endfont };
enum class GlyphLine { startchar, encoding, widths, bbx, bitmap, endchar };

// The lines a test replaced with the text of one line, or left out (no text).
template <typename Line>
using LineEdits = std::map<Line, std::optional<std::string>>;

// Setters that give back the builder, for chained calls.
template <typename Builder>
class Chained {
 protected:
  template <typename Field, typename Value>
  Builder& set(Field& field, Value value) {
    field = std::move(value);
    return static_cast<Builder&>(*this);
  }
  template <typename List, typename Value>
  Builder& add(List& list, Value value) {
    list.emplace_back(std::move(value));
    return static_cast<Builder&>(*this);
  }
};

// One glyph record: STARTCHAR, ENCODING, SWIDTH and DWIDTH when given, BBX,
// BITMAP, the bitmap lines and ENDCHAR.
class Glyph : public Chained<Glyph> {
 public:
  explicit Glyph(long long encoding) : encoding_(encoding) {}

  // The bitmap as numbers, each written in two hex digits for every 8
  // columns of the box (0xFC: a full row of a 6-wide box). A number with
  // more digits is written whole: an overlong row.
  Glyph& rows(std::vector<uint32_t> rows) { return set(bitmap_, std::move(rows)); }
  // The bitmap as lines written as they are.
  Glyph& lines(std::vector<std::string> lines) { return set(bitmap_, std::move(lines)); }
  // STARTCHAR's name; "c" and the encoding by default.
  Glyph& name(std::string name) { return set(name_, std::move(name)); }
  Glyph& widths(int swidth, int dwidth) { return set(widths_, std::pair{swidth, dwidth}); }
  // The BBX numbers; the font's cell by default.
  Glyph& box(int width, int height, int x = 0, int y = 0) {
    return set(box_, Box{width, height, x, y});
  }
  Glyph& line(GlyphLine line, std::string text) { return set(edits_[line], std::move(text)); }
  Glyph& without(GlyphLine line) { return set(edits_[line], std::nullopt); }

  long long encoding() const { return encoding_; }
  // The record alone; without a box of its own it has `cell`'s.
  std::string text(const Box& cell = {}) const;

 private:
  friend class FontBuilder;
  void append_to(std::string& out, const Box& cell) const;

  long long encoding_;
  std::string name_;
  std::optional<std::pair<int, int>> widths_;
  std::optional<Box> box_;
  std::variant<std::vector<uint32_t>, std::vector<std::string>> bitmap_;
  LineEdits<GlyphLine> edits_;
};

class FontBuilder : public Chained<FontBuilder> {
 public:
  // The FONT and SIZE lines; none by default.
  FontBuilder& name(std::string name) { return set(name_, "FONT " + name); }
  FontBuilder& size(int points, int xres, int yres);
  // FONTBOUNDINGBOX, and the box of every glyph without one; 6 x 16 by default.
  FontBuilder& cell(int width, int height, int x = 0, int y = 0) {
    return set(cell_, Box{width, height, x, y});
  }
  FontBuilder& comment(std::string text) { return add(comments_, "COMMENT " + text); }
  FontBuilder& property(std::string line) { return add(properties_, std::move(line)); }
  // The count CHARS declares, other than the number of glyphs given.
  FontBuilder& chars(long long count) { return set(chars_, count); }
  FontBuilder& glyph(long long encoding, std::vector<uint32_t> rows) {
    return glyph(Glyph(encoding).rows(std::move(rows)));
  }
  FontBuilder& glyph(Glyph glyph) { return add(glyphs_, std::move(glyph)); }
  // Text of the glyph section written as it is, between the glyphs given
  // before and after; it does not count as a glyph.
  FontBuilder& raw(std::string text) { return add(glyphs_, std::move(text)); }
  FontBuilder& line(FontLine line, std::string text) { return set(edits_[line], std::move(text)); }
  FontBuilder& without(FontLine line) { return set(edits_[line], std::nullopt); }

  std::string text() const;
  // Writes the font to `path`, which it gives back; throws std::runtime_error
  // when the file cannot be written.
  std::filesystem::path write(const std::filesystem::path& path) const;

 private:
  std::string name_;
  std::string size_;
  Box cell_;
  std::vector<std::string> comments_;
  std::vector<std::string> properties_;
  std::optional<long long> chars_;
  std::vector<std::variant<Glyph, std::string>> glyphs_;
  LineEdits<FontLine> edits_;
};

// Codes 0-255, every glyph a solid block of the whole cell (1 to 16 wide).
FontBuilder solid_font(int width, int height);

}  // namespace test_fonts
