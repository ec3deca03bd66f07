#include "load-ratio.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <vector>

#include "bdf-reader.h"
#include "freetype-font.h"

namespace bench {
namespace {

using clock = std::chrono::steady_clock;

constexpr int kWarmUpPairs = 20;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double time_ours_us(const std::string& path) {
  const auto start = clock::now();
  if (load_font(path.c_str()) != 0) throw std::runtime_error("load_font failed: " + path);
  release_bdf_font();
  return std::chrono::duration<double, std::micro>(clock::now() - start).count();
}

double time_freetype_us(freetype_library& library, const std::string& path) {
  const auto start = clock::now();
  if (library.load_all_glyphs(path.c_str()) <= 0) throw std::runtime_error("FreeType failed");
  return std::chrono::duration<double, std::micro>(clock::now() - start).count();
}

}  // namespace

load_comparison compare_loads(const std::string& path, int pairs) {
  if (pairs < 1) throw std::invalid_argument("at least one pair");
  freetype_library library;
  for (int i = 0; i < kWarmUpPairs; ++i) {
    time_ours_us(path);
    time_freetype_us(library, path);
  }
  std::vector<double> ours;
  std::vector<double> theirs;
  std::vector<double> ratios;
  for (int i = 0; i < pairs; ++i) {
    double us = 0;
    double ft = 0;
    if (i % 2 == 0) {
      us = time_ours_us(path);
      ft = time_freetype_us(library, path);
    } else {
      ft = time_freetype_us(library, path);
      us = time_ours_us(path);
    }
    ours.push_back(us);
    theirs.push_back(ft);
    ratios.push_back(us / ft);
  }
  return {pairs, median(ours), median(theirs), median(ratios)};
}

}  // namespace bench
