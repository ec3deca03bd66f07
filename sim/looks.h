// How a run looks to a person at the device, and what else tells runs apart:
// each LED as a lamp, the last screen, runs that look the same grouped, and
// the outcome a person can check (output, log, exit status, export restart,
// power request). In the twin's report step, so that the outcome atlas and
// the reports can say them alike.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "result.h"

namespace twin {

// How one LED looks to a person.
struct Lamp {
  enum class State { kAbsent, kDark, kLit, kBlinking };
  State state = State::kDark;
  long long brightness = 0;  // when lit
  long long on_ms = 0;       // when blinking
  long long off_ms = 0;
  bool operator==(const Lamp&) const = default;
};
Lamp lamp(const LedState& led);
// "dark", "lit", "lit at 128", "blinking 500/500 ms", "absent".
std::string describe(const Lamp& lamp);
// The LEDs that are not dark, as "#6 red lit, #8 blue lit", or "all dark".
std::string describe_leds(const std::vector<LedState>& leds);

// The screen as the run left it, or null when nothing was shown.
const Frame* final_screen(const RunResult& result);
// Same last screen (the same image bytes, or none at all) and every LED
// looking the same.
bool look_the_same(const RunResult& a, const RunResult& b);

// A run as a person names it ("success (display)").
struct NamedRun {
  std::string name;
  const RunResult* result = nullptr;
};
// The runs that look the same, as indexes into `runs`: each group in the
// order of its first run, and each in the order of the runs.
std::vector<std::vector<size_t>> group_look_alikes(const std::vector<NamedRun>& runs);
// What tells the runs of a group apart, as a line for a person:
// "standard output and the log; alike in all of these: A and B".
std::string told_apart_in_group(const std::vector<NamedRun>& runs,
                                const std::vector<size_t>& group);
// What else tells two runs apart: "standard output", "the log", "exit
// status", "export restart", "power request"; empty when nothing does.
std::vector<std::string> told_apart_by(const RunResult& a, const RunResult& b);

// Whether the run ended by starting the export again (its last tool call is
// orvex-msd --start): "no", "yes", or how that call ended when it failed
// ("tried: exit 1").
std::string export_restart(const RunResult& result);
// "not made", "made, accepted", "made, refused" (the last request).
std::string power_request(const RunResult& result);
// The program's exit status, "0" or "1", or how a signal ended it ("killed
// by SIGKILL", as describe_wait_status says it).
std::string exit_text(const RunResult& result);

// "A", "A and B", "A, B and C".
std::string listed(const std::vector<std::string>& parts);

}  // namespace twin
