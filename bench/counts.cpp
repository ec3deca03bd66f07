// The work whose instructions bench/callgrind-counts counts, one kind per
// run. Each measured piece of work is a function of its own, so that
// callgrind can collect just that function (--toggle-collect) after a warm-up
// call has done the process's one-time work (lazy symbol binding, the first
// allocation, the stdio buffers).
//
//   bench-counts load-font PATH       load_font + release_bdf_font
//   bench-counts read-lines PATH      fopen, getline over every line, fclose
//   bench-counts freetype-load PATH   FreeType: face, every glyph, done
//   bench-counts twin-run OUT_DIR CALLGRIND_OPTION...
//       the device program's successful run in the twin under callgrind,
//       its profiles written to OUT_DIR
#include <stdio_ext.h>
#include <sys/types.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bdf-reader.h"
#include "freetype-font.h"

#ifdef BENCH_COUNTS_TWIN_RUN
#include "build-paths.h"
#include "control.h"
#include "scenario.h"
#include "run.h"
#endif

namespace {

// What reading the file costs before any line is looked at, with the same
// stdio settings as the reader (the stream's lock not taken).
long read_lines(const char* path) {
  FILE* file = fopen(path, "r");
  if (file == nullptr) return -1;
  __fsetlocking(file, FSETLOCKING_BYCALLER);
  char* line = nullptr;
  size_t capacity = 0;
  long bytes = 0;
  ssize_t length = 0;
  while ((length = getline(&line, &capacity, file)) > 0) bytes += length;
  free(line);
  fclose(file);
  return bytes;
}

// The measured calls: outside the anonymous namespace and never inlined, so
// that callgrind names them plainly ("counted_load_font" and so on). The
// warm-up calls go around them.
}  // namespace

[[gnu::noinline]] static int counted_load_font(const char* path) {
  const int result = load_font(path);
  release_bdf_font();
  return result;
}

[[gnu::noinline]] static long counted_read_lines(const char* path) { return read_lines(path); }

[[gnu::noinline]] static long counted_freetype_load(bench::freetype_library& library,
                                                    const char* path) {
  return library.load_all_glyphs(path);
}

namespace {

int usage() {
  fputs(
      "usage: bench-counts load-font|read-lines|freetype-load PATH\n"
      "       bench-counts twin-run OUT_DIR CALLGRIND_OPTION...\n",
      stderr);
  return 2;
}

#ifdef BENCH_COUNTS_TWIN_RUN
// Valgrind's own directory for this machine's tools.
constexpr const char* kValgrindDir = "/usr/libexec/valgrind";
#if defined(__x86_64__)
constexpr const char* kValgrindPlatform = "amd64-linux";
#elif defined(__aarch64__)
constexpr const char* kValgrindPlatform = "arm64-linux";
#elif defined(__arm__)
constexpr const char* kValgrindPlatform = "arm-linux";
#else
constexpr const char* kValgrindPlatform = "x86-linux";
#endif

// The device program's successful run in the twin, under callgrind. The twin
// preloads its library into whatever it starts, and that library takes
// LD_PRELOAD out of the environment of every process it is loaded into, so
// that the device tools do not get it. Valgrind's launcher is such a process:
// started the usual way, it would start the tool, and so the program,
// without the library. So callgrind's tool is started directly, through env,
// which gives it LD_PRELOAD back together with the VALGRIND_LAUNCHER that a
// tool expects from its launcher.
int twin_run(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string out_dir = argv[2];
  const std::string tool = std::string(kValgrindDir) + "/callgrind-" + kValgrindPlatform;
  twin::RunOptions options;
  options.sandbox.read_only_paths = {"/usr/bin/env", "/usr/bin/valgrind.bin", kValgrindDir};
  options.sandbox.writable_paths = {out_dir};
  options.sandbox.wrapper = {"/usr/bin/env", "VALGRIND_LAUNCHER=/usr/bin/valgrind.bin",
                             std::string("LD_PRELOAD=") + twin_control::kPreload, tool,
                             // The tool learns its own name from this, as from its launcher.
                             "--tool=callgrind"};
  for (int i = 3; i < argc; ++i) options.sandbox.wrapper.emplace_back(argv[i]);

  const auto scenario = twin::preset("success");
  if (!scenario) return usage();
  const twin::RunResult result = twin::run(build_paths::kProgram, *scenario, options);
  fputs(result.err.c_str(), stderr);
  fputs(result.out.c_str(), stdout);
  printf("exit status %d, %zu display frames, %zu sleeps\n", result.exit_status,
         result.frames.size(), result.sleeps.size());
  return result.exit_status == 0 ? 0 : 1;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string mode = argv[1];
#ifdef BENCH_COUNTS_TWIN_RUN
  if (mode == "twin-run") return twin_run(argc, argv);
#endif
  if (argc != 3) return usage();
  const char* path = argv[2];
  if (mode == "load-font") {
    load_font(path);
    release_bdf_font();
    const int result = counted_load_font(path);
    printf("load_font: %d\n", result);
    return result == 0 ? 0 : 1;
  }
  if (mode == "read-lines") {
    read_lines(path);
    const long bytes = counted_read_lines(path);
    printf("read %ld bytes\n", bytes);
    return bytes > 0 ? 0 : 1;
  }
  if (mode == "freetype-load") {
    bench::freetype_library library;
    library.load_all_glyphs(path);
    const long glyphs = counted_freetype_load(library, path);
    printf("FreeType rendered %ld glyphs\n", glyphs);
    return glyphs > 0 ? 0 : 1;
  }
  return usage();
}
