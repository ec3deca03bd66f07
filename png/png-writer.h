// Writes a 1-bit-per-pixel image as an 8-bit greyscale PNG, for people to
// look at: the twin's frames and the preview tool's renders. A host library
// of its own: it needs libpng and nothing of the twin.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct PngImage {
  std::string_view bytes;  // rows of `stride` pixels (pixels.h), most significant bit leftmost
  uint32_t stride = 0;     // pixels per row in the bytes (at least `width`)
  uint32_t width = 0;      // pixels shown per row
  uint32_t height = 0;
};

// Set pixels become black and clear pixels white, each pixel a scale x scale
// block. Returns false with `error` filled when the file cannot be written
// (the partial file is removed).
bool write_png(const PngImage& image, int scale, const std::string& path, std::string& error);
