// Writes a 1-bit-per-pixel bitmap as an 8-bit greyscale PNG.
#pragma once

#include <string>

#include "mmap.h"

// Set pixels become black and clear pixels white, each pixel a scale x scale
// block. Returns false with `error` filled when the file cannot be written.
bool write_png(const mmap_buffer& bitmap, int scale, const std::string& path, std::string& error);
