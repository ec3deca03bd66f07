// Font files for the benchmarks: the console font shipped with the device and
// a large font generated on the spot.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// fonts/6x16.bdf of the source tree.
std::string shipped_font_path();

// A 6x16 BDF font of `glyphs` glyphs (encodings 0 to glyphs - 1), written
// once to a temporary file that is removed when the process ends. The glyph
// section looks like the shipped font's: STARTCHAR, ENCODING, SWIDTH, DWIDTH,
// BBX, BITMAP with 16 lines of two digits, ENDCHAR.
std::string large_font_path(int32_t glyphs);

// Size of a file in bytes.
int64_t file_size(const std::string& path);

// Sends standard output to /dev/null while alive: a load of a font with more
// than 256 glyphs prints a warning every time.
class quiet_stdout {
 public:
  quiet_stdout();
  ~quiet_stdout();
  quiet_stdout(const quiet_stdout&) = delete;
  quiet_stdout& operator=(const quiet_stdout&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace bench
