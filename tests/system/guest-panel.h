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

}  // namespace guest
