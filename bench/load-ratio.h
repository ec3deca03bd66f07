// The side-by-side comparison of font loading: the device's reader and
// FreeType load the same file alternately in one process, and each pair of
// loads gives one ratio of times.
#pragma once

#include <string>

namespace bench {

struct load_comparison {
  int pairs = 0;
  double ours_median_us = 0;      // load_font + release_bdf_font
  double freetype_median_us = 0;  // FT_New_Face + every glyph + FT_Done_Face
  double ratio_median = 0;        // median over the pairs of ours / FreeType
};

// Runs `pairs` interleaved pairs after a few unmeasured warm-up pairs; the
// order within a pair alternates, so neither side always runs on a cache the
// other just warmed.
load_comparison compare_loads(const std::string& path, int pairs);

}  // namespace bench
