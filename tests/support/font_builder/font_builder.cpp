#include "font_builder.h"

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <stdexcept>

namespace test_fonts {

namespace {

// Appends `line` as the test edited it, or else `normal` (whole lines, or
// none for a line the font does not have).
template <typename Line>
void append(std::string& out, const LineEdits<Line>& edits, Line line, const std::string& normal) {
  const auto edit = edits.find(line);
  if (edit == edits.end()) {
    out += normal;
  } else if (edit->second) {
    out += *edit->second + "\n";
  }
}

// The bits a bitmap line of a `width`-pixel box holds: whole bytes.
int line_bits(int width) { return std::max(8, 8 * ((width + 7) / 8)); }

// "1 2 3": numbers as a line of the font writes them.
std::string numbers(std::initializer_list<int> values) {
  std::string text;
  for (const int value : values) {
    if (!text.empty()) text += ' ';
    text += std::to_string(value);
  }
  return text;
}

// Appends `row` as a bitmap line: upper-case hex, at least `digits` digits
// (up to 8).
void append_row(std::string& out, uint32_t row, int digits) {
  char hex[8];
  int first = 8;
  for (; row != 0 || first > 8 - std::min(digits, 8); row >>= 4) {
    hex[--first] = "0123456789ABCDEF"[row & 0xF];
  }
  out.append(hex + first, 8 - first);
  out += '\n';
}

}  // namespace

std::string Glyph::text(const Box& cell) const {
  std::string out;
  append_to(out, cell);
  return out;
}

void Glyph::append_to(std::string& out, const Box& cell) const {
  const Box& box = box_ ? *box_ : cell;
  append(out, edits_, GlyphLine::startchar,
         "STARTCHAR " + (name_.empty() ? "c" + std::to_string(encoding_) : name_) + "\n");
  append(out, edits_, GlyphLine::encoding, "ENCODING " + std::to_string(encoding_) + "\n");
  if (widths_) {
    append(out, edits_, GlyphLine::widths,
           "SWIDTH " + std::to_string(widths_->first) + " 0\nDWIDTH " +
               std::to_string(widths_->second) + " 0\n");
  }
  append(out, edits_, GlyphLine::bbx,
         "BBX " + numbers({box.width, box.height, box.x, box.y}) + "\n");
  append(out, edits_, GlyphLine::bitmap, "BITMAP\n");
  if (const auto* lines = std::get_if<std::vector<std::string>>(&bitmap_)) {
    for (const std::string& line : *lines) out += line + "\n";
  } else {
    for (const uint32_t row : std::get<std::vector<uint32_t>>(bitmap_)) {
      append_row(out, row, line_bits(box.width) / 4);
    }
  }
  append(out, edits_, GlyphLine::endchar, "ENDCHAR\n");
}

FontBuilder& FontBuilder::size(int points, int xres, int yres) {
  return set(size_, "SIZE " + numbers({points, xres, yres}));
}

std::string FontBuilder::text() const {
  std::string out;
  append(out, edits_, FontLine::startfont, "STARTFONT 2.1\n");
  for (const std::string& comment : comments_) out += comment + "\n";
  append(out, edits_, FontLine::name, name_.empty() ? "" : name_ + "\n");
  append(out, edits_, FontLine::size, size_.empty() ? "" : size_ + "\n");
  append(out, edits_, FontLine::bounding_box,
         "FONTBOUNDINGBOX " + numbers({cell_.width, cell_.height, cell_.x, cell_.y}) + "\n");
  std::string properties = "STARTPROPERTIES " + std::to_string(properties_.size()) + "\n";
  for (const std::string& property : properties_) properties += property + "\n";
  append(out, edits_, FontLine::properties, properties + "ENDPROPERTIES\n");

  const auto glyphs = std::count_if(glyphs_.begin(), glyphs_.end(), [](const auto& entry) {
    return std::holds_alternative<Glyph>(entry);
  });
  append(out, edits_, FontLine::chars, "CHARS " + std::to_string(chars_.value_or(glyphs)) + "\n");
  for (const auto& entry : glyphs_) {
    if (const auto* glyph = std::get_if<Glyph>(&entry)) {
      glyph->append_to(out, cell_);
    } else {
      out += std::get<std::string>(entry);
    }
  }
  append(out, edits_, FontLine::endfont, "ENDFONT\n");
  return out;
}

std::filesystem::path FontBuilder::write(const std::filesystem::path& path) const {
  const std::string font = text();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(font.data(), static_cast<std::streamsize>(font.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write the font " + path.string());
  return path;
}

FontBuilder solid_font(int width, int height) {
  const auto row = static_cast<uint32_t>(((1u << width) - 1) << (line_bits(width) - width));
  FontBuilder font;
  font.cell(width, height);
  for (int code = 0; code < 256; ++code) {
    Glyph glyph(code);
    glyph.name("x").rows(std::vector<uint32_t>(height, row));
    font.glyph(std::move(glyph));
  }
  return font;
}

}  // namespace test_fonts
