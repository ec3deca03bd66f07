// libFuzzer target for the BDF font reader: every input is loaded as a font
// file, every code is looked up and every row of every found cell is read,
// then the font is released. Besides the sanitizers' checks, it traps when a
// load reports success with a state that callers could not use safely.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "bdf-reader.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

// Reads every row of every glyph a lookup finds, as the renderer would.
uint32_t read_all_cells() {
  uint32_t sum = 0;
  for (int code = 0; code < 256; ++code) {
    const bdf_char* record = get_bdf_char(static_cast<uint8_t>(code));
    if (record == nullptr) continue;
    check(record->encoding == code);
    check(record >= current_font.chars && record < current_font.chars + current_font.count);
    for (int32_t row = 0; row < current_font.height; ++row) sum += record->rows[row];
  }
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("bdf-reader-fuzz", 0);
  static char path[64];
  if (fd < 0) return 0;
  snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;

  const int32_t result = load_font(path);
  check(result == 0 || result == 1);
  if (result == 0) {
    check(current_font.chars != nullptr);
    check(current_font.width >= 1 && current_font.width <= 16);
    check(current_font.height >= 1 && current_font.height <= 30);
    check(current_font.count >= 0);
  } else {
    check(current_font.chars == nullptr);
  }
  volatile uint32_t sink = read_all_cells();
  (void)sink;

  release_bdf_font();
  check(current_font.chars == nullptr && get_bdf_char(0) == nullptr);
  current_font = {};
  return 0;
}
