// The twin held to a real kernel: each scenario of the full-system suite
// (system/scenarios) is run again in the twin, on its platform (linux: the
// kernel's stock drivers; device: the reference drivers of the platform
// contract) and with the same knobs and the same armhf program, and what
// both saw is compared: standard output, exit status, tool calls and power
// requests (both journals, read by the one decoder), the log, the volume,
// the LEDs' final states, the display memory byte for byte and, on the
// device platform, the panel against the twin's last frame, pixel for pixel.
// The guest's results must be there (scripts/test-system makes them first).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "build-paths.h"
#include "files.h"
#include "guest-journal.h"
#include "guest-panel.h"
#include "guest-scenario.h"
#include "run.h"

namespace fs = std::filesystem;

namespace guest {
// gtest names a failing case by this (found by its argument's namespace).
inline void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }
}  // namespace guest

namespace {

std::vector<guest::Scenario> system_scenarios() {
  try {
    return guest::load_scenarios(fs::path(build_paths::kSourceDir) / "system/scenarios");
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

// "NAME brightness=B trigger=T delay_on=X delay_off=Y", back to its parts.
std::string guest_led_line(const std::string& line) {
  std::istringstream words(line);
  std::string name;
  words >> name;
  twin::LedState s;
  for (std::string word; words >> word;) {
    const auto equals = word.find('=');
    const std::string key = word.substr(0, equals), value = word.substr(equals + 1);
    if (key == "brightness") s.brightness = value;
    if (key == "trigger") s.trigger = value;
    if (key == "delay_on") s.delay_on = value;
    if (key == "delay_off") s.delay_off = value;
  }
  return led_line(name, s);
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

class Differential : public ::testing::TestWithParam<guest::Scenario> {};

TEST_P(Differential, TwinSeesWhatTheKernelSaw) {
  const guest::Scenario& s = GetParam();
  const fs::path guest = results_of(s.name);
  ASSERT_TRUE(fs::exists(guest / "status"))
      << "no guest results in " << guest << ": scripts/test-system makes them";
  // The program the guest ran, with the preload library of the same build
  // (scripts/test-system brings both up to date; another ARM build's may be
  // stale).
  const fs::path build = build_paths::kArmhfReleaseBuild;
  const fs::path program = build / "src/restoremark";
  twin::RunOptions options;
  options.files.preload = build / "sim/libtwin-preload.so";
  const twin::RunResult r = twin::run(program, s.twin, options);

  EXPECT_EQ(r.out, support::read_file(guest / "stdout"));
  EXPECT_EQ(std::to_string(r.exit_status) + "\n", support::read_file(guest / "status"));
  std::vector<twin::Record> journal = twin::decode_journal(support::read_file(guest / "journal"));
  EXPECT_EQ(guest::tools_file(r.records), guest::tools_file(journal));
  // The twin's /dev/power is a plain file: it records no open.
  std::erase_if(journal, [](const twin::Record& record) {
    return std::holds_alternative<twin::PowerOpen>(record);
  });
  EXPECT_EQ(guest::power_file(r.records), guest::power_file(journal));
  EXPECT_EQ(r.volume, twin::read_volume(guest / "volume"));
  std::vector<std::string> twin_leds, guest_leds;
  for (size_t i = 0; i < twin::kLeds.size(); ++i) {
    twin_leds.push_back(twin_led_line(twin::kLeds[i].directory, r.final_leds[i], r.platform));
  }
  std::istringstream leds(support::read_file(guest / "leds"));
  for (std::string line; std::getline(leds, line);) guest_leds.push_back(guest_led_line(line));
  EXPECT_EQ(twin_leds, guest_leds);
  if (!s.setup.display) return;
  EXPECT_TRUE(r.display_memory == support::read_file(guest / "fb-memory"))
      << "the display memory differs (" << r.display_memory.size() << " bytes in the twin)";
  if (r.platform == twin::Platform::kLinux) return;
  std::vector<std::string> panel;
  ASSERT_NO_THROW(panel = guest::panel_rows(support::read_file(guest / "panel.ppm")));
  EXPECT_EQ(guest::panel_differences(last_screen(r), panel), "");
}

INSTANTIATE_TEST_SUITE_P(System, Differential, ::testing::ValuesIn(system_scenarios()),
                         [](const auto& param) { return guest::case_name(param.param.name); });

}  // namespace
