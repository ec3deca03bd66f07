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

// What a power cut left, as the full-system suite measured it on a real
// kernel and a real FAT volume: one row of system/expected/power-cuts.tsv,
// the power cuts' one source (made from the runs by
// system/run-system power-cuts --write, which also writes
// docs/power-cuts.md from it).
struct CutFacts {
  std::string name;       // the cut's name in system/power-cuts
  std::string indicator;  // "display" or "LEDs"
  std::string moment;     // "during the factory flag"
  std::string delay_ms;   // how long the device ran on there
  std::string knobs;      // the twin's knobs of the cut
  std::string flags;      // the flags set before the cut
  std::string volume;     // the volume's files after the cut, with their sizes
  std::string log;        // its log
  std::string fsck;       // fsck.fat -n's verdict on it
  std::string second_run;
  std::string second_fsck;
  std::string advice;  // what a supporter should do
};

// The recorded power cuts of `tsv`, in its order. Throws std::runtime_error
// for a file that cannot be read or a row that is not one.
std::vector<CutFacts> read_power_cuts(const std::filesystem::path& tsv);

// A power cut in the atlas: the twin's run with the same cut shows what the
// device showed at that moment (the full-system suite holds it to the
// kernel's); the facts say what the volume held afterwards. A cut that has
// left different volumes in different runs has an entry for each.
struct CutOutcome {
  Case what;
  twin::RunResult result;
  std::string image;  // the screen at the cut as a PNG beside the page; empty when nothing
  CutFacts facts;
  std::vector<size_t> looks_like;  // the outcomes that look the same on the device
};

struct Atlas {
  std::vector<Outcome> outcomes;
  // Outcomes that look the same on the device, each group in the order of
  // its first outcome, and each in the order of the outcomes.
  std::vector<std::vector<size_t>> groups;
  std::vector<CutOutcome> cuts;
};

// The atlas of these outcomes, grouped by how they look on the device.
Atlas make_atlas(std::vector<Outcome> outcomes);

std::string atlas_html(const Atlas& atlas);
std::string atlas_markdown(const Atlas& atlas);

// Runs each preset as it is, on its display (its default one: 128x64, 1 bit),
// and with no display, on the LEDs; a preset that has no writable display of
// its own gives only its LED outcome. Then each recorded power cut
// (read_power_cuts of the checkout's system/expected/power-cuts.tsv, when
// there is one) with its own knobs. Writes DIR/index.html, DIR/atlas.md and
// one PNG per last screen (made when missing; those files are replaced).
// Throws what twin::run() throws, and std::runtime_error when a file cannot
// be read or written.
Atlas write_atlas(const std::filesystem::path& executable, const twin::RunOptions& options,
                  const std::filesystem::path& dir);

}  // namespace atlas
