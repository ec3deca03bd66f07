// The twin held to a real kernel: each scenario of the full-system suite
// (system/scenarios) is run again in the twin, on its platform (linux: the
// kernel's stock drivers; device: the reference drivers of the platform
// contract) and with the same knobs and the same armhf program, and what
// both saw is compared: standard output, exit status, tool calls and power
// requests (both journals, read by the one decoder), the log, the volume,
// the LEDs' final states, the display memory byte for byte and, on the
// device platform, the panel against the twin's last frame, pixel for pixel.
// The guest's results must be there (scripts/test-system makes them first).
// Each power cut of system/power-cuts too: the twin cut at the same moment
// against what the guest sent at its cut, and the second run on the volume
// the cut left against an uninterrupted run (scripts/test-power-cuts).
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "build-paths.h"
#include "files.h"
#include "guest-journal.h"
#include "guest-look.h"
#include "guest-panel.h"
#include "guest-scenario.h"
#include "run.h"

namespace fs = std::filesystem;

namespace guest {
// gtest names a failing case by this (found by its argument's namespace).
inline void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }
}  // namespace guest

namespace {

// The scenarios of a list in system/ ("scenarios", "power-cuts").
std::vector<guest::Scenario> scenarios_of(const char* list) {
  try {
    return guest::load_scenarios(fs::path(build_paths::kSourceDir) / "system" / list);
  } catch (const guest::ScenarioError& error) {
    // No test then: the system suite's pass pattern turns that into a failure.
    fprintf(stderr, "differential_tests: %s\n", error.what());
    return {};
  }
}

fs::path results_of(const std::string& name) {
  return fs::path(build_paths::kSourceDir) / "build/system/results" / name;
}

// An LED's final state as the guest's "leds" file gives it. A blinking LED's
// brightness is whatever its blink timer left at the moment it was read: it
// shows as "*" on both sides.
std::string led_line(const std::string& name, twin::LedState s) {
  if (s.blinking()) s.brightness = "*";
  return name + " brightness=" + s.brightness + " trigger=" + s.trigger +
         " delay_on=" + s.delay_on + " delay_off=" + s.delay_off;
}

// A line of the guest's "leds" file as led_line() gives it.
std::string guest_led_line(const std::string& line) {
  const auto [name, state] = guest::led_line(line);
  return led_line(name, state);
}

// The twin's device LEDs have no trigger (the program never uses one); the
// reference driver's, as every LED class device, have one, which must have
// none selected.
std::string twin_led_line(const std::string& name, twin::LedState s, twin::Platform platform) {
  if (platform == twin::Platform::kDevice && s.trigger == "-") s.trigger = "none";
  return led_line(name, s);
}

// The twin's last frame as the panel shows it: blank before any push landed.
std::vector<std::string> last_screen(const twin::RunResult& r) {
  if (!r.frames.empty()) return r.frames.back().rows();
  return std::vector<std::string>(r.geometry.height, std::string(r.geometry.width, '.'));
}

// The scenario in the twin with the program the guest ran and the preload
// library of the same build (scripts/test-system brings both up to date;
// another ARM build's may be stale).
twin::RunResult run_in_twin(const guest::Scenario& s) {
  const fs::path build = build_paths::kArmhfReleaseBuild;
  twin::RunOptions options;
  options.files.preload = build / "sim/libtwin-preload.so";
  return twin::run(build / "src/restoremark", s.twin, options);
}

// The output, the tool calls and power requests, and every LED: what the
// twin saw against what the guest's folder holds.
void expect_as_guest_saw(const twin::RunResult& r, const fs::path& guest) {
  EXPECT_EQ(r.out, support::read_file(guest / "stdout"));
  std::vector<twin::Record> journal = twin::decode_journal(support::read_file(guest / "journal"));
  EXPECT_EQ(guest::tools_file(r.records), guest::tools_file(journal));
  // The twin's /dev/power is a plain file: it records no open.
  std::erase_if(journal, [](const twin::Record& record) {
    return std::holds_alternative<twin::PowerOpen>(record);
  });
  EXPECT_EQ(guest::power_file(r.records), guest::power_file(journal));
  std::vector<std::string> twin_leds, guest_leds;
  for (size_t i = 0; i < twin::kLeds.size(); ++i) {
    twin_leds.push_back(twin_led_line(twin::kLeds[i].directory, r.final_leds[i], r.platform));
  }
  std::istringstream leds(support::read_file(guest / "leds"));
  for (std::string line; std::getline(leds, line);) guest_leds.push_back(guest_led_line(line));
  EXPECT_EQ(twin_leds, guest_leds);
}

void expect_panel_shows_last_screen(const twin::RunResult& r, const fs::path& guest) {
  std::vector<std::string> panel;
  ASSERT_NO_THROW(panel = guest::panel_rows(support::read_file(guest / "panel.ppm")));
  EXPECT_EQ(guest::panel_differences(last_screen(r), panel), "");
}

std::string test_name(const ::testing::TestParamInfo<guest::Scenario>& info) {
  return guest::case_name(info.param.name);
}

class Differential : public ::testing::TestWithParam<guest::Scenario> {};

TEST_P(Differential, TwinSeesWhatTheKernelSaw) {
  const guest::Scenario& s = GetParam();
  const fs::path guest = results_of(s.name);
  ASSERT_TRUE(fs::exists(guest / "status"))
      << "no guest results in " << guest << ": scripts/test-system makes them";
  const twin::RunResult r = run_in_twin(s);

  expect_as_guest_saw(r, guest);
  EXPECT_EQ(std::to_string(r.exit_status) + "\n", support::read_file(guest / "status"));
  EXPECT_EQ(r.volume, twin::read_volume(guest / "volume"));
  if (!s.setup.display) return;
  EXPECT_TRUE(r.display_memory == support::read_file(guest / "fb-memory"))
      << "the display memory differs (" << r.display_memory.size() << " bytes in the twin)";
  if (r.platform == twin::Platform::kDevice) expect_panel_shows_last_screen(r, guest);
}

INSTANTIATE_TEST_SUITE_P(System, Differential, ::testing::ValuesIn(scenarios_of("scenarios")), test_name);

// --- power cuts (system/power-cuts) ------------------------------------------

// The twin's power cut held to the guest's: the twin run with the same cut
// ends where the guest's power went, and the device showed the same there:
// the output so far, the tool calls (the one cut included), the power
// requests, every LED and, on the display, the panel pixel for pixel.
class AtCut : public ::testing::TestWithParam<guest::Scenario> {};

TEST_P(AtCut, TwinShowsWhatTheDeviceShowedAtTheCut) {
  const guest::Scenario& s = GetParam();
  const fs::path cut = fs::path(build_paths::kSourceDir) / "build/system/cuts" / s.name;
  ASSERT_TRUE(fs::exists(cut / "leds")) << "no cut in " << cut << ": scripts/test-power-cuts makes it";
  const twin::RunResult r = run_in_twin(s);

  EXPECT_EQ(r.signal, SIGKILL);
  expect_as_guest_saw(r, cut);
  if (s.setup.display) expect_panel_shows_last_screen(r, cut);
}

INSTANTIATE_TEST_SUITE_P(System, AtCut, ::testing::ValuesIn(scenarios_of("power-cuts")), test_name);

// Each cut's second run against an uninterrupted run in the twin: the same
// scenario without the cut (and without the main-user install file where
// the first run had removed it), as the runner wrote it beside the cut.
std::vector<guest::Scenario> second_runs() {
  std::vector<guest::Scenario> out;
  for (const auto& cut : scenarios_of("power-cuts")) {
    const fs::path again = fs::path(build_paths::kSourceDir) / "build/system/cuts" / cut.name / "again";
    if (!fs::exists(again)) continue;
    std::string line = support::read_file(again);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    out.push_back(guest::parse_scenario(line));
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(AfterCut, Differential, ::testing::ValuesIn(second_runs()), test_name);

}  // namespace
