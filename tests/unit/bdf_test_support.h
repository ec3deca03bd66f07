// Helpers for the BDF reader tests: font files written from strings, standard
// output captured around a load, and the reader's global state reset per test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bdf-reader.h"
#include "files.h"
#include "font_builder.h"

namespace bdf_test {

// A glyph record with the BBX numbers and the bitmap lines as given.
inline std::string glyph(int encoding, std::string_view bbx, const std::vector<std::string>& rows) {
  return test_fonts::Glyph(encoding)
      .name("g" + std::to_string(encoding))
      .widths(480, 6)
      .line(test_fonts::GlyphLine::bbx, "BBX " + std::string(bbx))
      .lines(rows)
      .text();
}

// A whole font with the given bounding box numbers, CHARS value and glyph
// section.
inline std::string font(std::string_view bounding_box, std::string_view chars,
                        const std::string& glyphs) {
  return test_fonts::FontBuilder()
      .name("test")
      .size(16, 75, 75)
      .property("FONT_ASCENT 12")
      .line(test_fonts::FontLine::bounding_box, "FONTBOUNDINGBOX " + std::string(bounding_box))
      .line(test_fonts::FontLine::chars, "CHARS " + std::string(chars))
      .raw(glyphs)
      .text();
}

// `n` copies of one bitmap line.
inline std::vector<std::string> rows(int n, const std::string& line) {
  return std::vector<std::string>(n, line);
}

struct load_outcome {
  int32_t result;
  std::string output;
};

// Every test starts and ends with no font loaded and every field of
// `current_font` at 0, and removes the files it wrote.
class BdfTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override {
    reset();
    for (const std::string& path : files_) unlink(path.c_str());
  }

  static void reset() {
    release_bdf_font();
    current_font = {};
  }

  std::string write_file(std::string_view content) {
    char path[] = "/tmp/bdf-font-XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    files_.emplace_back(path);
    return path;
  }

  load_outcome load_path(const char* path) {
    load_outcome outcome{};
    outcome.output = support::capture_stdout([&] { outcome.result = load_font(path); });
    return outcome;
  }

  load_outcome load(std::string_view content) { return load_path(write_file(content).c_str()); }

 private:
  std::vector<std::string> files_;
};

}  // namespace bdf_test
