// The console's device tests share one fixture: a /dev/fb0 of the test's
// own, a plain file whose screen information the twin's preload library
// answers and whose writes it places as the device's driver does, and a
// console font installed at the path the console opens. The preload keeps
// every push's bytes, one after another: they hold every frame.
#pragma once

#include <dirent.h>
#include <linux/fb.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <fstream>

#include "bdf-reader.h"
#include "control.h"
#include "font.h"
#include "font_builder.h"
#include "mmap.h"
#include "restoremark.h"

#include "device_fixture.h"

namespace fs = std::filesystem;

namespace console_test {

namespace fs = std::filesystem;

inline constexpr const char* kFontPath = "/usr/share/fonts/6x16.bdf";

using test_fonts::solid_font;

class Console : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    for (const char* path : {"/dev", "/usr/share/fonts"}) {
      fs::create_directories(path);
      ASSERT_EQ(mount("tmpfs", path, "tmpfs", 0, "mode=0755"), 0) << path;
    }
    std::ofstream("/dev/fb0").flush();
    settings.fb_memory = 8 << 20;
    set_geometry(128, 64, 1);
    install_font(solid_font(6, 16));
  }
  void TearDown() override {
    if (started_) lcd_term();
    font_release();
    current_font = {};
    mmap_clear_inverted();
    for (const char* path : {"/usr/share/fonts", "/dev"}) umount2(path, MNT_DETACH);
    DeviceTest::TearDown();
  }

  // A screen whose virtual size is its visible size.
  void set_geometry(unsigned width, unsigned height, unsigned bits_per_pixel) {
    settings.xres = settings.xres_virtual = width;
    settings.yres = settings.yres_virtual = height;
    settings.bits_per_pixel = bits_per_pixel;
    apply();
  }
  static void install_font(const test_fonts::FontBuilder& font) { font.write(kFontPath); }

  int start() {
    const int result = lcd_init();
    started_ = result == 0;
    return result;
  }

  // Every push so far, split into images of `size` bytes.
  static std::vector<std::string> frames(size_t size = 1024) {
    const std::string all = support::read_file(twin_control::kDisplayPushes);
    std::vector<std::string> out;
    for (size_t offset = 0; offset < all.size(); offset += size)
      out.push_back(all.substr(offset, size));
    return out;
  }

  // Pixel (x, y) of a 128-pixel-wide 1-bit image.
  static bool pixel(const std::string& frame, int x, int y) {
    return (static_cast<unsigned char>(frame.at(y * 16 + x / 8)) & (0x80 >> (x % 8))) != 0;
  }

  // The set pixels of a frame as a list of rectangles would be fragile; this
  // counts set pixels inside and outside a rectangle instead.
  static std::pair<int, int> inside_outside(const std::string& frame, int x0, int y0, int x1,
                                            int y1) {
    int inside = 0;
    int outside = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 128; ++x) {
        if (!pixel(frame, x, y)) continue;
        (x >= x0 && x < x1 && y >= y0 && y < y1 ? inside : outside)++;
      }
    }
    return {inside, outside};
  }

  bool started_ = false;
};

}  // namespace console_test
