#include "png-writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "pixels.h"

namespace {

// libpng reports errors by longjmp, so this frame holds nothing that needs a
// destructor: the row buffer belongs to the caller.
bool encode(png_structp png, png_infop info, std::FILE* file, const PngImage& image, int scale,
            png_byte* row) {
  if (setjmp(png_jmpbuf(png)) != 0) {
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, image.width * static_cast<png_uint_32>(scale),
               image.height * static_cast<png_uint_32>(scale), 8, PNG_COLOR_TYPE_GRAY,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (uint32_t y = 0; y < image.height; ++y) {
    for (uint32_t x = 0; x < image.width; ++x) {
      std::memset(row + x * static_cast<uint32_t>(scale),
                  pixels::is_set(image.bytes, image.stride, x, y) ? 0x00 : 0xFF,
                  static_cast<size_t>(scale));
    }
    for (int copy = 0; copy < scale; ++copy) {
      png_write_row(png, row);
    }
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool write_png(const PngImage& image, int scale, const std::string& path, std::string& error) {
  if (image.width == 0 || image.height == 0 || image.width > 8192 || image.height > 8192 ||
      scale < 1 || scale > 32) {
    error = "no image of " + std::to_string(image.width) + "x" + std::to_string(image.height) +
            " pixels at scale " + std::to_string(scale);
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(image.width) * static_cast<size_t>(scale));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool written = info != nullptr && encode(png, info, file, image, scale, row.data());
  png_destroy_write_struct(&png, &info);
  written = std::fclose(file) == 0 && written;
  if (!written) {
    error = "cannot write the image to " + path;
    std::remove(path.c_str());
  }
  return written;
}
