// One console line on the device's 128 x 64 display: the scroll and the
// drawing that lcd_puts does, without its push.
//
// The console's bitmap is private to its module, and lcd_puts always ends
// with a write of the whole image to "/dev/fb0", which this machine does not
// have. So this runs the same steps through the modules' own functions:
// move the image up one 16-row band, clear the bottom band, put the cursor
// on the bottom line, draw at most width / 6 characters with font_putc. The
// real lcd_puts, push included, is counted in the device twin by
// bench/callgrind-counts.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <stdexcept>

#include "bdf-reader.h"
#include "bench-fonts.h"
#include "font.h"
#include "mmap.h"

namespace {

constexpr int32_t DISPLAY_WIDTH = 128;
constexpr int32_t DISPLAY_HEIGHT = 64;
constexpr int32_t LINE_HEIGHT = 16;
constexpr int32_t CELL_WIDTH = 6;

// lcd_puts's steps before its push.
void scroll_and_draw(mmap_buffer& image, const char* s) {
  const int band = image.width * LINE_HEIGHT / 8;
  const int total = image.width * image.height / 8;
  memmove(image.data, image.data + band, static_cast<size_t>(total - band));
  memset(image.data + total - band, 0, static_cast<size_t>(band));
  image.x = 0;
  image.y = image.height - LINE_HEIGHT;
  const size_t length = strnlen(s, static_cast<size_t>(image.width / CELL_WIDTH));
  for (size_t i = 0; i < length; ++i) font_putc(image, static_cast<unsigned char>(s[i]));
}

// The banner: 21 characters, a full line of the 128-pixel display.
void BM_console_line(benchmark::State& state) {
  if (load_font(bench::shipped_font_path().c_str()) != 0) throw std::runtime_error("load_font");
  std::array<uint8_t, DISPLAY_WIDTH * DISPLAY_HEIGHT / 8> pixels{};
  mmap_buffer image{pixels.data(), DISPLAY_WIDTH, DISPLAY_HEIGHT, 0, 0};
  mmap_clear(image);
  for (auto _ : state) {
    scroll_and_draw(image, "K300-RESTOREMARK-V1-0");
    benchmark::ClobberMemory();
  }
  release_bdf_font();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_console_line);

// The scroll alone.
void BM_console_scroll(benchmark::State& state) {
  std::array<uint8_t, DISPLAY_WIDTH * DISPLAY_HEIGHT / 8> pixels{};
  mmap_buffer image{pixels.data(), DISPLAY_WIDTH, DISPLAY_HEIGHT, 0, 0};
  for (auto _ : state) {
    scroll_and_draw(image, "");
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_console_scroll);

}  // namespace
