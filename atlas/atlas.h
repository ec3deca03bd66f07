// The outcome atlas: every preset run on a device with its display and on
// one with only its nine LEDs, and what each outcome leaves for a person to
// see: the last screen, the LEDs, the program's output and log, its end.
// Outcomes that look the same on the device are grouped, so that whoever
// supports a device knows from the screen or the LEDs which outcomes it can
// be, and what else (the log, the output) tells them apart. Written as one
// HTML page with its images beside it, and as a Markdown table.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"
#include "run.h"

namespace twin {

enum class Indicator { kDisplay, kOnlyLeds };

// Each screen pixel as a 3x3 block in the images: 384x192 for the default
// display.
inline constexpr int kAtlasImageScale = 3;

// One preset on one indicator.
struct AtlasCase {
  std::string name;  // "success (display)"
  std::string slug;  // "success-display": the entry's anchor and image name
  std::string summary;
  Indicator indicator = Indicator::kDisplay;
  Scenario scenario;
};

struct Outcome {
  AtlasCase what;
  RunResult result;
  std::string image;  // the last screen's PNG beside the page; empty when nothing was shown
  size_t group = 0;   // index into Atlas::groups
};

struct Atlas {
  std::vector<Outcome> outcomes;
  // Outcomes that look the same on the device, each group in the order of
  // its first outcome, and each in the order of the outcomes.
  std::vector<std::vector<size_t>> groups;
};

// Each preset as it is, on its display (its default one: 128x64, 1 bit),
// and the same preset with no display, on the LEDs. A preset that has no
// writable display of its own gives only its LED outcome, as it is.
std::vector<AtlasCase> atlas_cases();

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
// Fills each outcome's group and the list of groups.
void group_look_alikes(Atlas& atlas);
// What tells the outcomes of a group apart, as a line for a person:
// "standard output and the log; alike in all of these: A and B".
std::string told_apart_in_group(const Atlas& atlas, const std::vector<size_t>& group);
// What else tells two runs apart: "standard output", "the log", "exit
// status", "export restart", "power request"; empty when nothing does.
std::vector<std::string> told_apart_by(const RunResult& a, const RunResult& b);

// Whether the run ended by starting the export again (its last tool call is
// orvex-msd --start): "no", "yes", or how that call ended when it failed
// ("tried: exit 1").
std::string export_restart(const RunResult& result);
// "not made", "made, accepted", "made, refused" (the last request).
std::string power_request(const RunResult& result);
// "0", "1", "killed by SIGKILL".
std::string exit_text(const RunResult& result);

// "A", "A and B", "A, B and C".
std::string listed(const std::vector<std::string>& parts);

// Our own text for HTML: & < > " ' as entities.
std::string html_escape(std::string_view text);
// Text for a Markdown table cell: inline markup characters escaped with a
// backslash, & < > as entities, line ends as <br>.
std::string markdown_escape(std::string_view text);
// The program's bytes as readable text: printable ASCII, line feeds and
// tabs as they are, a backslash doubled and every other byte as \xNN, so
// that the page stays valid and exact whatever the program wrote.
std::string visible_bytes(std::string_view bytes);

std::string atlas_html(const Atlas& atlas);
std::string atlas_markdown(const Atlas& atlas);

// Runs every case, writes DIR/index.html, DIR/atlas.md and one PNG per last
// screen (made when missing; those files are replaced). Throws what run()
// throws, and std::runtime_error when a file cannot be written.
Atlas write_atlas(const std::filesystem::path& executable, const RunOptions& options,
                  const std::filesystem::path& dir);

}  // namespace twin
