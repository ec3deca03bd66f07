// The glyph renderer: one character per iteration, in each of the eight
// combinations of double width, double height and inverted.
#include <benchmark/benchmark.h>

#include <array>
#include <stdexcept>
#include <string>

#include "bdf-reader.h"
#include "bench-fonts.h"
#include "font.h"
#include "mmap.h"

namespace {

// 120 x 64: a whole number of 6- and 12-pixel cells per line and of 16- and
// 32-row lines, so that every cell drawn lies wholly inside the image as it
// does on the console; the cells start at every bit position of a byte.
constexpr int32_t kImageWidth = 120;
constexpr int32_t kImageHeight = 64;

constexpr int kDoubleWidth = 1;
constexpr int kDoubleHeight = 2;
constexpr int kInverted = 4;

void set_attributes(int combination) {
  (combination & kDoubleWidth) != 0 ? font_set_double_width() : font_clear_double_width();
  (combination & kDoubleHeight) != 0 ? font_set_double_height() : font_clear_double_height();
  (combination & kInverted) != 0 ? font_set_inverted() : font_clear_inverted();
}

std::string combination_name(int combination) {
  std::string name;
  if ((combination & kDoubleWidth) != 0) name += "double_width ";
  if ((combination & kDoubleHeight) != 0) name += "double_height ";
  if ((combination & kInverted) != 0) name += "inverted ";
  if (name.empty()) return "plain";
  name.pop_back();
  return name;
}

void BM_font_putc(benchmark::State& state) {
  const int combination = static_cast<int>(state.range(0));
  if (load_font(bench::shipped_font_path().c_str()) != 0) throw std::runtime_error("load_font");
  std::array<uint8_t, kImageWidth * kImageHeight / 8> pixels{};
  mmap_buffer image{pixels.data(), kImageWidth, kImageHeight, 0, 0};
  set_attributes(combination);
  // Printable ASCII in turn; the cursor wraps at the right edge and the bottom.
  int32_t code = ' ';
  for (auto _ : state) {
    font_putc(image, code);
    code = code == '~' ? ' ' : code + 1;
  }
  benchmark::DoNotOptimize(pixels.data());
  set_attributes(0);
  release_bdf_font();
  state.SetLabel(combination_name(combination));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_font_putc)->DenseRange(0, 7);

}  // namespace
