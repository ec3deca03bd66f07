// One console line on the device's 128 x 64 display: the scroll and the
// drawing that lcd_puts does, without its push. lcd_puts always ends with a
// write of the whole image to "/dev/fb0", which this machine does not have,
// so this measures lcd_draw_line, the part of lcd_puts before the push. The
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
#include "restoremark.h"

namespace {

constexpr int32_t kDisplayWidth = 128;
constexpr int32_t kDisplayHeight = 64;

// The banner: 21 characters, a full line of the 128-pixel display.
void BM_console_line(benchmark::State& state) {
  if (load_font(bench::shipped_font_path().c_str()) != 0) throw std::runtime_error("load_font");
  std::array<uint8_t, kDisplayWidth * kDisplayHeight / 8> pixels{};
  mmap_buffer image{pixels.data(), kDisplayWidth, kDisplayHeight, 0, 0};
  mmap_clear(image);
  for (auto _ : state) {
    lcd_draw_line(image, "K300-RESTOREMARK-V1-0");
    benchmark::ClobberMemory();
  }
  release_bdf_font();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_console_line);

// The scroll alone.
void BM_console_scroll(benchmark::State& state) {
  std::array<uint8_t, kDisplayWidth * kDisplayHeight / 8> pixels{};
  mmap_buffer image{pixels.data(), kDisplayWidth, kDisplayHeight, 0, 0};
  for (auto _ : state) {
    lcd_draw_line(image, "");
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_console_scroll);

}  // namespace
