// The outcome atlas, a client of the twin: every preset run on a device with
// its display and on one with only its nine LEDs, and what each outcome
// leaves for a person to see: the last screen, the LEDs, the program's output
// and log, its end. Outcomes that look the same on the device are grouped
// (the twin's looks.h), so that whoever supports a device knows from the
// screen or the LEDs which outcomes it can be, and what else tells them
// apart. Written as one HTML page with its images beside it, and as a
// Markdown table.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "result.h"
#include "run.h"

namespace atlas {

enum class Indicator { kDisplay, kOnlyLeds };

// One preset on one indicator.
struct Case {
  std::string name;  // "success (display)"
  std::string slug;  // "success-display": the entry's anchor and image name
  std::string summary;
  Indicator indicator = Indicator::kDisplay;
  twin::Scenario scenario;
};

struct Outcome {
  Case what;
  twin::RunResult result;
  std::string image;  // the last screen's PNG beside the page; empty when nothing was shown
  size_t group = 0;   // index into Atlas::groups
};

struct Atlas {
  std::vector<Outcome> outcomes;
  // Outcomes that look the same on the device, each group in the order of
  // its first outcome, and each in the order of the outcomes.
  std::vector<std::vector<size_t>> groups;
};

// The atlas of these outcomes, grouped by how they look on the device.
Atlas make_atlas(std::vector<Outcome> outcomes);

std::string atlas_html(const Atlas& atlas);
std::string atlas_markdown(const Atlas& atlas);

// Runs each preset as it is, on its display (its default one: 128x64, 1 bit),
// and with no display, on the LEDs; a preset that has no writable display of
// its own gives only its LED outcome. Writes DIR/index.html, DIR/atlas.md and
// one PNG per last screen (made when missing; those files are replaced).
// Throws what twin::run() throws, and std::runtime_error when a file cannot
// be written.
Atlas write_atlas(const std::filesystem::path& executable, const twin::RunOptions& options,
                  const std::filesystem::path& dir);

}  // namespace atlas
