// restoremark-render: shows on the build machine what the device's display
// console would show. Each TEXT is added as one console line the way the
// console does it: the image scrolls up by one 16-row text line, the bottom
// band is cleared to 0 and the text is drawn from its left edge with font_putc.
// As on the device, the scroll distance and line capacity stay 16 rows and
// width / 6 characters whatever the font or the double attributes make of the
// cell; cells reaching past the bottom are cut off at the image's edge.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "build-paths.h"
#include "font.h"
#include "mmap.h"
#include "png-writer.h"
#include "render-options.h"
#include "restoremark.h"

namespace {

constexpr int kUsageError = 2;

}  // namespace

int main(int argc, char** argv) {
  render_options options;
  options.font = build_paths::kShippedFont;
  std::string error;
  if (!parse_render_options(argc - 1, argv + 1, options, error)) {
    std::fprintf(stderr, "restoremark-render: %s\n%s", error.c_str(), kRenderUsage);
    return kUsageError;
  }
  if (font_load(options.font.c_str()) != 0) {
    std::fprintf(stderr, "restoremark-render: cannot load the font %s\n", options.font.c_str());
    return 1;
  }
  if (options.double_width) {
    font_set_double_width();
  }
  if (options.double_height) {
    font_set_double_height();
  }
  if (options.inverted) {
    font_set_inverted();
  }

  std::vector<uint8_t> image(static_cast<size_t>(options.width) * options.height / 8);
  mmap_buffer bitmap{image.data(), options.width, options.height, 0, 0};
  mmap_clear(bitmap);
  for (const std::string& line : options.lines) {
    lcd_draw_line(bitmap, line.c_str());
  }
  font_release();

  const PngImage png{{reinterpret_cast<const char*>(image.data()), image.size()},
                     static_cast<uint32_t>(options.width), static_cast<uint32_t>(options.width),
                     static_cast<uint32_t>(options.height)};
  if (!write_png(png, options.scale, options.output, error)) {
    std::fprintf(stderr, "restoremark-render: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
