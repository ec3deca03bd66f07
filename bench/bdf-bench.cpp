// Font loading: the device's reader and FreeType's BDF driver on the same
// files, the plain getline loop that is the floor of any line-by-line
// reader, and the glyph lookup.
#include <benchmark/benchmark.h>
#include <stdio_ext.h>
#include <sys/types.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "bdf-reader.h"
#include "bench-fonts.h"
#include "freetype-font.h"

namespace {

constexpr int32_t kLargeFontGlyphs = 8192;

// One load and release of the font at `path` with the device's reader.
void load_and_release(const std::string& path) {
  if (load_font(path.c_str()) != 0) throw std::runtime_error("load_font failed: " + path);
  release_bdf_font();
}

void run_load_font(benchmark::State& state, const std::string& path) {
  for (auto _ : state) load_and_release(path);
  state.SetBytesProcessed(state.iterations() * bench::file_size(path));
}

void run_freetype(benchmark::State& state, const std::string& path) {
  bench::freetype_library library;
  for (auto _ : state) {
    if (library.load_all_glyphs(path.c_str()) <= 0) throw std::runtime_error("FreeType failed");
  }
  state.SetBytesProcessed(state.iterations() * bench::file_size(path));
}

void BM_load_font_shipped(benchmark::State& state) {
  run_load_font(state, bench::shipped_font_path());
}
BENCHMARK(BM_load_font_shipped)->Unit(benchmark::kMicrosecond);

void BM_freetype_load_shipped(benchmark::State& state) {
  run_freetype(state, bench::shipped_font_path());
}
BENCHMARK(BM_freetype_load_shipped)->Unit(benchmark::kMicrosecond);

void BM_load_font_large(benchmark::State& state) {
  const std::string path = bench::large_font_path(kLargeFontGlyphs);
  // Every load of more than 256 glyphs prints its warning; it goes to /dev/null.
  bench::quiet_stdout quiet;
  run_load_font(state, path);
}
BENCHMARK(BM_load_font_large)->Unit(benchmark::kMicrosecond);

void BM_freetype_load_large(benchmark::State& state) {
  run_freetype(state, bench::large_font_path(kLargeFontGlyphs));
}
BENCHMARK(BM_freetype_load_large)->Unit(benchmark::kMicrosecond);

// fopen, getline over every line, fclose: what reading the file costs before
// any line is looked at, with the reader's stdio settings (no stream lock).
void BM_getline_shipped(benchmark::State& state) {
  const std::string path = bench::shipped_font_path();
  char* line = nullptr;
  size_t capacity = 0;
  for (auto _ : state) {
    FILE* file = fopen(path.c_str(), "r");
    if (file == nullptr) throw std::runtime_error("cannot open " + path);
    __fsetlocking(file, FSETLOCKING_BYCALLER);
    ssize_t bytes = 0;
    ssize_t length = 0;
    while ((length = getline(&line, &capacity, file)) > 0) bytes += length;
    fclose(file);
    benchmark::DoNotOptimize(bytes);
  }
  free(line);
  state.SetBytesProcessed(state.iterations() * bench::file_size(path));
}
BENCHMARK(BM_getline_shipped)->Unit(benchmark::kMicrosecond);

// Looks up every code 0-255 in the shipped font (223 glyphs; 33 codes have
// none and scan the whole table).
void BM_get_bdf_char_all_codes(benchmark::State& state) {
  if (load_font(bench::shipped_font_path().c_str()) != 0) throw std::runtime_error("load_font");
  for (auto _ : state) {
    for (int code = 0; code < 256; ++code) {
      benchmark::DoNotOptimize(get_bdf_char(static_cast<uint8_t>(code)));
    }
  }
  release_bdf_font();
  state.SetItemsProcessed(state.iterations() * 256);
}
BENCHMARK(BM_get_bdf_char_all_codes);

}  // namespace
