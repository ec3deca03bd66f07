// The monochrome bitmap's operations on the device's 128 x 64 image.
#include <benchmark/benchmark.h>

#include <array>

#include "mmap.h"

namespace {

constexpr int32_t kWidth = 128;
constexpr int32_t kHeight = 64;
constexpr int32_t kImageBytes = kWidth * kHeight / 8;

struct image {
  std::array<uint8_t, kImageBytes> pixels{};
  mmap_buffer bitmap{pixels.data(), kWidth, kHeight, 0, 0};
};

void BM_mmap_clear(benchmark::State& state) {
  image im;
  for (auto _ : state) {
    mmap_clear(im.bitmap);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kImageBytes);
}
BENCHMARK(BM_mmap_clear);

// Area operations: one 6 x 16 character cell that straddles a byte boundary,
// and the whole image.
void BM_mmap_clear_area(benchmark::State& state) {
  image im;
  const auto w = static_cast<int32_t>(state.range(0));
  const auto h = static_cast<int32_t>(state.range(1));
  im.bitmap.x = w < kWidth ? 3 : 0;
  for (auto _ : state) {
    mmap_clear_area(im.bitmap, w, h);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * w * h);
}
BENCHMARK(BM_mmap_clear_area)->Args({6, 16})->Args({kWidth, kHeight});

void BM_mmap_invert_area(benchmark::State& state) {
  image im;
  const auto w = static_cast<int32_t>(state.range(0));
  const auto h = static_cast<int32_t>(state.range(1));
  im.bitmap.x = w < kWidth ? 3 : 0;
  for (auto _ : state) {
    mmap_invert_area(im.bitmap, w, h);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * w * h);
}
BENCHMARK(BM_mmap_invert_area)->Args({6, 16})->Args({kWidth, kHeight});

// A run of bits over the whole image, from (0, 0) back to (0, 0).
void BM_mmap_putb(benchmark::State& state) {
  image im;
  std::array<uint8_t, kImageBytes> source{};
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 37);
  for (auto _ : state) {
    mmap_putb(im.bitmap, source.data(), kWidth * kHeight);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_mmap_putb);

// Single-pixel access, one pixel per iteration across the image.
void BM_mmap_set_pixel(benchmark::State& state) {
  image im;
  int32_t x = 0;
  int32_t y = 0;
  for (auto _ : state) {
    mmap_set_pixel(im.bitmap, x, y);
    if (++x == kWidth) {
      x = 0;
      y = y + 1 == kHeight ? 0 : y + 1;
    }
  }
  benchmark::DoNotOptimize(im.pixels.data());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_mmap_set_pixel);

}  // namespace
