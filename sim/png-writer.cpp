#include "png-writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool pixel_set(const mmap_buffer& bitmap, int x, int y) {
  return (bitmap.data[(bitmap.width * y) / 8 + x / 8] & (0x80 >> (x % 8))) != 0;
}

// libpng reports errors by longjmp, so this frame holds nothing that needs a
// destructor: the row buffer belongs to the caller.
bool encode(png_structp png, png_infop info, std::FILE* file, const mmap_buffer& bitmap, int scale,
            png_byte* row) {
  if (setjmp(png_jmpbuf(png)) != 0) {
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width * scale),
               static_cast<png_uint_32>(bitmap.height * scale), 8, PNG_COLOR_TYPE_GRAY,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < bitmap.height; ++y) {
    for (int x = 0; x < bitmap.width; ++x) {
      std::memset(row + x * scale, pixel_set(bitmap, x, y) ? 0x00 : 0xFF,
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

bool write_png(const mmap_buffer& bitmap, int scale, const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(bitmap.width) * scale);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool written = info != nullptr && encode(png, info, file, bitmap, scale, row.data());
  png_destroy_write_struct(&png, &info);
  written = std::fclose(file) == 0 && written;
  if (!written) {
    error = "cannot write the image to " + path;
    std::remove(path.c_str());
  }
  return written;
}
