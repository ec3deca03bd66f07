// Reads a fuzz input front to back as small integers and byte strings, so
// that a seed can be written by hand and a mutation of one byte changes one
// decision. Past the end of the input every read gives zero (or nothing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class fuzz_input {
 public:
  fuzz_input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return used_ >= size_; }

  uint8_t u8() { return empty() ? 0 : data_[used_++]; }

  // Little-endian.
  uint16_t u16() { return static_cast<uint16_t>(u8() | u8() << 8); }
  uint32_t u32() { return u16() | static_cast<uint32_t>(u16()) << 16; }
  int32_t i32() {
    const uint32_t bits = u32();
    int32_t value;
    memcpy(&value, &bits, sizeof value);
    return value;
  }

  // A length byte, then up to that many bytes (fewer at the end of the input).
  std::string text() {
    const size_t wanted = u8();
    const size_t length = wanted < size_ - used_ ? wanted : size_ - used_;
    std::string bytes(reinterpret_cast<const char*>(data_ + used_), length);
    used_ += length;
    return bytes;
  }

  // Everything not read yet.
  std::string rest() {
    std::string bytes(reinterpret_cast<const char*>(data_ + used_), size_ - used_);
    used_ = size_;
    return bytes;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};
