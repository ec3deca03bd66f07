// libFuzzer target for the frame-buffer console: lcd_init on a display of any
// geometry (from the input) with any console font, then any sequence of
// lcd_clear, lcd_puts and lcd_update, with the font attributes and the
// bitmap's inverted mode changed in between, and lcd_term.
//
// The binary is linked with --wrap for open, ioctl, write and fopen: the
// console's "/dev/fb0" is a stand-in descriptor whose screen information and
// write results come from the input, and its font file is served from memory,
// so the target never touches a device and needs no privileges. Every other
// call passes straight to the C library.
//
// Besides the sanitizers' checks it traps when a push is not one whole image
// on the console's own descriptor, when the bytes past the 1-bit bitmap are
// not blank, when lcd_clear leaves anything but background, when a line that
// fits the bottom band moves the rows above it other than up by one text line,
// when lcd_update changes the image, or when lcd_term leaves the descriptor
// open.
//
// Input: u8 geometry mode (below 224: u8 width/8 - 1, u8 height, u8 depth;
// otherwise raw u32 xres_virtual, yres, bits_per_pixel), u8 device answers
// (open refused, information refused), u8 font kind (the shipped font, none,
// a solid font of u8 width x u8 height, or a font text: u8 length, bytes),
// then operations (see run_operations).
#include <fcntl.h>
#include <linux/fb.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bdf-reader.h"
#include "build-paths.h"
#include "font.h"
#include "font_builder.h"
#include "fuzz_input.h"
#include "mmap.h"
#include "restoremark.h"

extern "C" {
int __real_open(const char* path, int flags, ...);
int __real_ioctl(int fd, unsigned long request, ...);
ssize_t __real_write(int fd, const void* data, size_t size);
FILE* __real_fopen(const char* path, const char* mode);
}

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

constexpr const char* kDisplay = "/dev/fb0";
constexpr const char* kConsoleFont = "/usr/share/fonts/6x16.bdf";
// Geometries whose image would be larger than this are not run: the target
// would spend its time allocating and comparing memory.
constexpr uint64_t kLargestImage = 4u << 20;

enum class push_answer { whole, part, nothing, failure };
enum class operation { none, clear, puts_in_band, puts_elsewhere, update };

// What the stand-in display answers, and what the target has seen of it.
struct display_state {
  bool open_refused = false;
  bool info_refused = false;
  fb_var_screeninfo info{};
  int fd = -1;  // the descriptor handed out for "/dev/fb0"; -1 when none
  push_answer answer = push_answer::whole;
  uint32_t answer_seed = 0;
  operation pending = operation::none;
  bool inverted = false;      // the bitmap's inverted mode, as the target set it
  std::vector<uint8_t> last;  // the image as of the last push
  int pushes = 0;
};

display_state display;
std::string font_text;
bool font_missing = false;

uint64_t image_size() {
  return uint64_t{display.info.xres_virtual} * display.info.yres * display.info.bits_per_pixel / 8;
}

uint64_t bitmap_size() { return uint64_t{display.info.xres_virtual} * display.info.yres / 8; }

uint64_t band_size() { return uint64_t{display.info.xres_virtual} * 16 / 8; }

// Checks one push against the operation that made it.
void check_push(const uint8_t* image, size_t size) {
  check(size == image_size());
  const std::vector<uint8_t> pushed(image, image + size);  // every byte must be readable
  const size_t bitmap = bitmap_size();
  check(std::all_of(pushed.begin() + bitmap, pushed.end(), [](uint8_t b) { return b == 0; }));
  const uint8_t background = display.inverted ? 0xFF : 0x00;
  switch (display.pending) {
    case operation::clear:
      check(std::all_of(pushed.begin(), pushed.begin() + bitmap,
                        [&](uint8_t b) { return b == background; }));
      break;
    case operation::puts_in_band: {
      const size_t band = band_size();
      check(std::equal(pushed.begin(), pushed.begin() + (bitmap - band),
                       display.last.begin() + band));
      break;
    }
    case operation::update:
      check(pushed == display.last);
      break;
    default:
      break;
  }
  display.last = pushed;
  display.pending = operation::none;
  ++display.pushes;
}

// Serves the font text through a memory file.
FILE* open_font(const char* mode) {
  static const int fd = memfd_create("console-fuzz-font", 0);
  if (fd < 0) return nullptr;
  if (ftruncate(fd, 0) != 0 ||
      pwrite(fd, font_text.data(), font_text.size(), 0) != static_cast<ssize_t>(font_text.size())) {
    return nullptr;
  }
  char path[64];
  snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  return __real_fopen(path, mode);
}

std::string read_file(const char* path) {
  std::string text;
  FILE* file = __real_fopen(path, "r");
  if (file == nullptr) return text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  fclose(file);
  return text;
}

void choose_geometry(fuzz_input& in) {
  fb_var_screeninfo& info = display.info;
  info = {};
  if (in.u8() < 224) {
    static constexpr uint32_t kDepths[] = {1, 1, 1, 1, 1, 1, 2, 4, 8, 16, 24, 32, 3, 0, 1, 1};
    info.xres_virtual = 8 * (1 + in.u8() % 64u);
    info.yres = in.u8() % 96u;
    info.bits_per_pixel = kDepths[in.u8() % 16];
  } else {
    info.xres_virtual = in.u32();
    info.yres = in.u32();
    info.bits_per_pixel = in.u32();
  }
  info.xres = info.xres_virtual;
  info.yres_virtual = info.yres;
}

void choose_font(fuzz_input& in) {
  static const std::string shipped = read_file(build_paths::kShippedFont);
  font_missing = false;
  switch (in.u8() % 4) {
    case 0:
      font_text = shipped;
      break;
    case 1:
      font_missing = true;
      break;
    case 2: {
      const int width = 1 + in.u8() % 16;
      const int height = 1 + in.u8() % 30;
      // Each size is built once: building it every run would slow the target.
      static std::map<std::pair<int, int>, std::string> solid_fonts;
      std::string& solid = solid_fonts[{width, height}];
      if (solid.empty()) solid = test_fonts::solid_font(width, height).text();
      font_text = solid;
      break;
    }
    default:
      font_text = in.text();
      break;
  }
}

// The line's drawn bytes stay in the bottom band when no cell is larger than
// 6 x 16 and no line break among them sends the cursor to another line.
bool stays_in_band(const std::string& text) {
  const size_t capacity = display.info.xres_virtual / 6;
  const std::string drawn = text.substr(0, std::min(strlen(text.c_str()), capacity));
  return font_get_width() <= 6 && font_get_height() <= 16 && drawn.find('\n') == std::string::npos;
}

// A push the display took any bytes of counts as done.
int expected_result() {
  return display.answer == push_answer::nothing || display.answer == push_answer::failure ? 1 : 0;
}

void run_operations(fuzz_input& in) {
  while (!in.empty()) {
    const uint8_t op = in.u8();
    switch (op % 8) {
      case 0:
        display.pending = operation::clear;
        check(lcd_clear() == expected_result());
        break;
      case 1:
      case 2: {
        const std::string text = in.text();
        display.pending = stays_in_band(text) ? operation::puts_in_band : operation::puts_elsewhere;
        check(lcd_puts(text.c_str()) == expected_result());
        break;
      }
      case 3:
        display.pending = operation::update;
        check(lcd_update() == expected_result());
        break;
      case 4:
        display.answer = static_cast<push_answer>(in.u8() % 4);
        display.answer_seed = in.u32();
        break;
      case 5:
        (in.u8() & 1) != 0 ? font_set_double_width() : font_clear_double_width();
        break;
      case 6:
        (in.u8() & 1) != 0 ? font_set_double_height() : font_clear_double_height();
        break;
      default:
        switch (in.u8() % 4) {
          case 0:
            font_set_inverted();
            break;
          case 1:
            font_clear_inverted();
            break;
          default:
            display.inverted = !display.inverted;
            display.inverted ? mmap_set_inverted() : mmap_clear_inverted();
            break;
        }
        break;
    }
    check(display.pending == operation::none);  // every operation pushed exactly once
  }
}

bool descriptor_open(int fd) { return fcntl(fd, F_GETFD) != -1; }

}  // namespace

extern "C" {

int __wrap_open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list list;
    va_start(list, flags);
    mode = va_arg(list, mode_t);
    va_end(list);
  }
  if (strcmp(path, kDisplay) != 0) return __real_open(path, flags, mode);
  check(flags == O_RDWR);
  check(display.fd == -1);  // opened once per run
  if (display.open_refused) {
    errno = EACCES;
    return -1;
  }
  display.fd = __real_open("/dev/null", O_RDWR);
  return display.fd;
}

int __wrap_ioctl(int fd, unsigned long request, ...) {
  va_list list;
  va_start(list, request);
  void* argument = va_arg(list, void*);
  va_end(list);
  if (fd != display.fd || fd < 0) return __real_ioctl(fd, request, argument);
  check(request == FBIOGET_VSCREENINFO);
  if (display.info_refused) {
    errno = EINVAL;
    return -1;
  }
  memcpy(argument, &display.info, sizeof display.info);
  return 0;
}

ssize_t __wrap_write(int fd, const void* data, size_t size) {
  if (fd != display.fd || fd < 0) return __real_write(fd, data, size);
  check_push(static_cast<const uint8_t*>(data), size);
  switch (display.answer) {
    case push_answer::whole:
      return static_cast<ssize_t>(size);
    case push_answer::part:
      return static_cast<ssize_t>(1 + display.answer_seed % size);
    case push_answer::nothing:
      return 0;
    default:
      errno = EIO;
      return -1;
  }
}

FILE* __wrap_fopen(const char* path, const char* mode) {
  if (strcmp(path, kConsoleFont) != 0) return __real_fopen(path, mode);
  if (font_missing) {
    errno = ENOENT;
    return nullptr;
  }
  return open_font(mode);
}

int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input in(data, size);
  display = {};
  choose_geometry(in);
  // Geometries the console would accept with a large image are skipped; one
  // whose size does not fit 32 bits must be refused, so it always runs.
  const unsigned __int128 bits = static_cast<unsigned __int128>(display.info.xres_virtual) *
                                 display.info.yres * display.info.bits_per_pixel;
  if (bits <= UINT32_MAX && image_size() > kLargestImage) return 0;
  const uint8_t answers = in.u8();
  display.open_refused = (answers & 0x0F) == 1;
  display.info_refused = (answers & 0x0F) == 2;
  choose_font(in);

  if (lcd_init() == 0) {
    check(display.fd >= 0 && descriptor_open(display.fd));
    check(image_size() >= bitmap_size() && display.info.yres >= 16);
    // The image starts blank in the bitmap's background, not yet shown.
    display.last.assign(image_size(), 0);
    std::fill_n(display.last.begin(), bitmap_size(), display.inverted ? 0xFF : 0x00);
    check(display.pushes == 0);
    run_operations(in);
    const int fd = display.fd;
    lcd_term();
    check(!descriptor_open(fd));
  } else {
    check(display.fd == -1 || !descriptor_open(display.fd));
  }

  font_release();
  current_font = {};
  font_clear_double_width();
  font_clear_double_height();
  font_clear_inverted();
  mmap_clear_inverted();
  return 0;
}

}  // extern "C"
