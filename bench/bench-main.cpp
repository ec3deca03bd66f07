// Runs the Google Benchmark figures, then the interleaved comparison of
// load_font with FreeType on the shipped font; its median ratio is the last
// line printed.
//
// Options besides Google Benchmark's own: --ratio_pairs=N (default 501) sets
// the number of interleaved pairs; --ratio_only skips the benchmarks.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench-fonts.h"
#include "load-ratio.h"

namespace {

constexpr int kDefaultRatioPairs = 501;

}  // namespace

int main(int argc, char** argv) {
  int pairs = kDefaultRatioPairs;
  bool ratio_only = false;
  // Takes this program's own options out before Google Benchmark sees them.
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && strncmp(argv[i], "--ratio_pairs=", 14) == 0) {
      pairs = atoi(argv[i] + 14);
    } else if (i > 0 && strcmp(argv[i], "--ratio_only") == 0) {
      ratio_only = true;
    } else {
      args.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;
  if (!ratio_only) benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const std::string font = bench::shipped_font_path();
  const bench::load_comparison c = bench::compare_loads(font, pairs);
  printf(
      "%s (%lld bytes), %d interleaved pairs: load_font median %.1f us, FreeType median %.1f us\n",
      font.c_str(), static_cast<long long>(bench::file_size(font)), c.pairs, c.ours_median_us,
      c.freetype_median_us);
  printf("load_font/FreeType time ratio: %.3f\n", c.ratio_median);
  return 0;
}
