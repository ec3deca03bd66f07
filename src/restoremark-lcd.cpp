// Scrolling text console on the 1-bit frame buffer "/dev/fb0". The whole
// screen is kept as a bitmap in process memory; every change is pushed to the
// display with one write of the whole image on the descriptor opened at start
// (the driver places each whole-image write at the start of the screen; the
// descriptor is never repositioned and the device never mapped).
#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "font.h"
#include "mmap.h"
#include "restoremark.h"

namespace {

constexpr const char* DISPLAY_DEVICE = "/dev/fb0";
constexpr const char* CONSOLE_FONT = "/usr/share/fonts/6x16.bdf";
constexpr int CONSOLE_FONT_WIDTH = 6;
constexpr int CONSOLE_FONT_HEIGHT = 16;

int lcd_fd = -1;
fb_var_screeninfo lcd_info{};
uint32_t lcd_size = 0;  // bytes of the image and of every push
mmap_buffer lcd_mem{};
int lcd_font_x = 0;  // cell width that sets the line capacity
int lcd_font_y = 0;  // rows of a text line and of every scroll

// A geometry the console can draw into and scroll without leaving its image:
// at least one text line high, whole bytes per row, a pixel count the
// bitmap's signed arithmetic can hold, and an image whose size in bits fits
// in 32 bits. lcd_size is computed in 32 bits, so a larger image would wrap to
// a small allocation that the bitmap then overruns; such a display is refused.
bool geometry_is_drawable(const fb_var_screeninfo& info) {
  const uint64_t width = info.xres_virtual;
  const uint64_t height = info.yres;
  const uint64_t bits = info.bits_per_pixel;
  if (width == 0 || width % 8 != 0 || height < CONSOLE_FONT_HEIGHT || bits == 0) return false;
  // Both factors are below 2^32 and the pixel count is checked first, so
  // neither product can overflow 64 bits.
  const uint64_t pixels = width * height;
  return pixels <= INT32_MAX && pixels * bits <= UINT32_MAX;
}

void close_display() {
  close(lcd_fd);
  lcd_fd = -1;
}

// Writes the whole image. A write that takes any bytes counts as done.
int push() {
  if (write(lcd_fd, lcd_mem.data, lcd_size) <= 0) {
    puts("Failed to update the display.");
    return 1;
  }
  return 0;
}

// Adds one text line at the bottom of `bitmap`: everything scrolls up by one
// line of `line_height` rows, the new bottom band is cleared to 0 whatever the
// bitmap's inverted mode, and at most width / `cell_width` characters of `s`
// are drawn from its left edge; the rest is dropped, not wrapped.
void add_line(mmap_buffer& bitmap, const char* s, int cell_width, int line_height) {
  const int band = bitmap.width * line_height / 8;
  const int total = bitmap.width * bitmap.height / 8;
  memmove(bitmap.data, bitmap.data + band, static_cast<size_t>(total - band));
  memset(bitmap.data + total - band, 0, static_cast<size_t>(band));
  bitmap.x = 0;
  bitmap.y = bitmap.height - line_height;

  const size_t capacity = static_cast<size_t>(bitmap.width / cell_width);
  const size_t length = s == nullptr ? 0 : strnlen(s, capacity);
  for (size_t i = 0; i < length; ++i) {
    font_putc(bitmap, static_cast<unsigned char>(s[i]));
  }
}

}  // namespace

int lcd_init() {
  lcd_fd = open(DISPLAY_DEVICE, O_RDWR);
  if (lcd_fd < 0) {
    puts("Failed to open the display device.");
    return 1;
  }
  if (ioctl(lcd_fd, FBIOGET_VSCREENINFO, &lcd_info) != 0) {
    puts("Failed to obtain the display information.");
    close_display();
    return 1;
  }
  if (!geometry_is_drawable(lcd_info)) {
    printf("Unsupported display geometry %ux%u at %u bits per pixel.\n", lcd_info.xres_virtual,
           lcd_info.yres, lcd_info.bits_per_pixel);
    close_display();
    return 1;
  }
  lcd_size = lcd_info.xres_virtual * lcd_info.yres * lcd_info.bits_per_pixel / 8;
  // Zero-filled, so that on a display of more than 1 bit per pixel the bytes
  // past the bitmap are pushed blank rather than as stale heap contents.
  auto* image = static_cast<uint8_t*>(calloc(lcd_size, 1));
  if (image == nullptr) {
    puts("Failed to allocate the display memory.");
    close_display();
    return 1;
  }
  lcd_mem = {image, static_cast<int32_t>(lcd_info.xres_virtual),
             static_cast<int32_t>(lcd_info.yres), 0, 0};
  mmap_clear(lcd_mem);
  // Without its font the console still scrolls and pushes; the reader has
  // said what went wrong.
  font_load(CONSOLE_FONT);
  lcd_font_x = CONSOLE_FONT_WIDTH;
  lcd_font_y = CONSOLE_FONT_HEIGHT;
  // cppcheck-suppress memleak ; the image is kept in lcd_mem and freed by lcd_term
  return 0;
}

int lcd_clear() {
  mmap_clear(lcd_mem);
  return push();
}

int lcd_update() { return push(); }

int lcd_puts(const char* s) {
  add_line(lcd_mem, s, lcd_font_x, lcd_font_y);
  return push();
}

void lcd_draw_line(mmap_buffer& bitmap, const char* s) {
  add_line(bitmap, s, CONSOLE_FONT_WIDTH, CONSOLE_FONT_HEIGHT);
}

void lcd_term() {
  // Reset as well, so that nothing is freed or closed twice.
  free(lcd_mem.data);
  lcd_mem.data = nullptr;
  if (lcd_fd != -1) close_display();
}
