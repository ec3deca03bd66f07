// The one place a 1-bit image's pixel is read, for everything that shows
// one to a person (the twin's frames and reports, the PNG files): rows of
// width / 8 bytes, one after another, the most significant bit of each byte
// its leftmost pixel, as the device program draws them.
#pragma once

#include <cstdint>
#include <string_view>

namespace pixels {

// Pixel (x, y) of an image `width` pixels wide; false beyond its bytes.
inline bool is_set(std::string_view bytes, uint32_t width, uint32_t x, uint32_t y) {
  const uint64_t index = (uint64_t{width} * y) / 8 + x / 8;
  if (index >= bytes.size()) return false;
  return (static_cast<unsigned char>(bytes[index]) & (0x80 >> (x % 8))) != 0;
}

}  // namespace pixels
