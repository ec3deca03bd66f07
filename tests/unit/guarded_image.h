// An image of width * height / 8 bytes framed by guard bytes that drawing must
// never touch, read back byte by byte or pixel by pixel.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mmap.h"

class GuardedImage {
 public:
  static constexpr size_t kGuardBytes = 32;
  static constexpr uint8_t kGuardValue = 0x5A;

  GuardedImage(int32_t width, int32_t height, uint8_t fill = 0x00)
      : size_(static_cast<size_t>(width) * height / 8),
        storage_(2 * kGuardBytes + size_, kGuardValue) {
    std::fill_n(storage_.begin() + kGuardBytes, size_, fill);
    bitmap = {storage_.data() + kGuardBytes, width, height, 0, 0};
  }

  std::vector<uint8_t> bytes() const {
    return {storage_.begin() + kGuardBytes, storage_.begin() + kGuardBytes + size_};
  }
  uint8_t& byte(size_t index) { return storage_[kGuardBytes + index]; }
  size_t size() const { return size_; }

  bool guards_intact() const {
    for (size_t i = 0; i < kGuardBytes; ++i) {
      if (storage_[i] != kGuardValue || storage_[kGuardBytes + size_ + i] != kGuardValue) {
        return false;
      }
    }
    return true;
  }

  bool pixel(int32_t x, int32_t y) const {
    const uint8_t value = storage_[kGuardBytes + (bitmap.width * y) / 8 + x / 8];
    return (value & (0x80 >> (x % 8))) != 0;
  }

  // Rows of '#' (set) and '.' (clear) of the w x h rectangle at (x, y).
  std::vector<std::string> picture(int32_t x, int32_t y, int32_t w, int32_t h) const {
    std::vector<std::string> rows;
    for (int32_t r = y; r < y + h; ++r) {
      std::string row;
      for (int32_t c = x; c < x + w; ++c) row += pixel(c, r) ? '#' : '.';
      rows.push_back(row);
    }
    return rows;
  }

  mmap_buffer bitmap;

 private:
  size_t size_;
  std::vector<uint8_t> storage_;
};
