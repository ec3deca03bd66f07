// What the twin shows of a run: a readable report for a person, and the same
// as one JSON document for scripts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "result.h"

namespace twin {

// The LEDs after each run of consecutive LED writes: what a person watching
// the device saw, moment by moment. The first moment is the state before the
// program wrote anything.
struct LedMoment {
  double time = 0;
  size_t writes = 0;  // writes that led to this moment
  std::vector<LedState> leds;
};
std::vector<LedMoment> led_timeline(const RunResult& result);

// A short column label for LED `index`: "#7 LED8".
std::string led_label(size_t index);

// What a run left of the device as it found it, part by part: each one is
// "as before the run" or says what differs first.
struct LeftAsFound {
  std::string leds;     // or "not written"
  std::string display;  // the display memory, zero before the run; or "not written", "none"
                        // (no display memory)
  std::string volume;
};
// Given for a run that wrote to the LEDs or the display and left one of them
// as it found it: a run that puts back what it changed, as the platform
// check does (the program leaves its outcome showing). Nothing otherwise.
std::optional<LeftAsFound> left_as_found(const RunResult& result);

struct ReportStyle {
  bool colour = false;                   // ANSI colours for the LED timeline
  std::vector<std::string> frame_files;  // where each frame was written as an image
  // The program's peak memory, the one figure that differs from run to run:
  // only when asked for, so that a scenario's report is the same every time.
  bool peak_memory = false;
};

// The program's standard output and exit status as they were, then the report.
std::string text_report(const RunResult& result, const ReportStyle& style);
std::string json_report(const RunResult& result, const ReportStyle& style);

// Bytes as a C string literal: printable ASCII as is, the rest escaped.
std::string quoted(const std::string& bytes);
// "ENOSPC", or the number for an errno without a name.
std::string error_name(int error);

}  // namespace twin
