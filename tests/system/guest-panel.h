// The real panel at a scenario's end, as the full-system suite keeps it:
// qemu's screendump of the PL111's scanout ("panel.ppm", P6), where a set
// bit shows as (a8,a8,a8) and a clear one as black. Read as rows of '#'
// (set) and '.' (clear), as twin::Frame::rows() gives the twin's screen.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace guest {

class PanelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws PanelError for anything but a whole P6 image of those two colours.
std::vector<std::string> panel_rows(const std::string& ppm);

// The rows as a controller shows them that takes bit 0 of each byte as its
// leftmost pixel (the stock PL111 at 1 bit per pixel): each run of 8 pixels
// reversed.
std::vector<std::string> bit0_leftmost(std::vector<std::string> rows);

// "" when the panel shows `expected` pixel for pixel; else how many pixels
// differ, the first few, and the rows that differ side by side.
std::string panel_differences(const std::vector<std::string>& expected,
                              const std::vector<std::string>& panel);

}  // namespace guest
