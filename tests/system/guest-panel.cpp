#include "guest-panel.h"

#include <algorithm>
#include <sstream>

namespace guest {

std::vector<std::string> panel_rows(const std::string& ppm) {
  std::istringstream in(ppm);
  std::string magic;
  unsigned width = 0, height = 0, maximum = 0;
  in >> magic >> width >> height >> maximum;
  if (!in || magic != "P6" || maximum != 255 || in.get() == EOF) {
    throw PanelError("not a P6 image of 8-bit colours");
  }
  const size_t start = static_cast<size_t>(in.tellg());
  if (ppm.size() - start != size_t{width} * height * 3) {
    throw PanelError("the image's pixels are not " + std::to_string(width) + "x" +
                     std::to_string(height));
  }
  const std::string set("\xa8\xa8\xa8", 3), clear(3, '\0');
  std::vector<std::string> rows(height, std::string(width, '.'));
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned x = 0; x < width; ++x) {
      const std::string colour = ppm.substr(start + (size_t{y} * width + x) * 3, 3);
      if (colour != set && colour != clear) {
        throw PanelError("pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                         ") is neither set nor clear");
      }
      if (colour == set) rows[y][x] = '#';
    }
  }
  return rows;
}

std::vector<std::string> bit0_leftmost(std::vector<std::string> rows) {
  for (auto& row : rows) {
    for (size_t x = 0; x + 8 <= row.size(); x += 8)
      std::reverse(row.begin() + x, row.begin() + x + 8);
  }
  return rows;
}

std::string panel_differences(const std::vector<std::string>& expected,
                              const std::vector<std::string>& panel) {
  if (expected.size() != panel.size() ||
      (!expected.empty() && expected[0].size() != panel[0].size())) {
    return "the panel is not the size of the expected screen";
  }
  std::string out;
  size_t count = 0;
  for (size_t y = 0; y < expected.size(); ++y) {
    for (size_t x = 0; x < expected[y].size(); ++x) {
      if (expected[y][x] == panel[y][x]) continue;
      if (++count <= 5) out += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
    }
  }
  if (count == 0) return "";
  std::string art = "\nthe rows that differ, expected | panel:\n";
  for (size_t y = 0; y < expected.size(); ++y) {
    if (expected[y] != panel[y])
      art += std::to_string(y) + " " + expected[y] + " | " + panel[y] + "\n";
  }
  return std::to_string(count) + " pixels differ, first" + out + art;
}

}  // namespace guest
