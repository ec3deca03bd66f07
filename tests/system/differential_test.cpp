// The twin held to a real kernel: each scenario of the full-system suite
// (system/scenarios) is run again in the twin, on its stock-Linux platform
// and with the same knobs and the same armhf program, and what both saw is
// compared: standard output, exit status, tool calls and power requests
// (both journals, read by the one decoder), the log, the volume, the LEDs'
// final states and the display memory. The guest's results must be there
// (scripts/test-system makes them first).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "files.h"
#include "guest-journal.h"
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
    return guest::load_scenarios(fs::path(RESTOREMARK_SOURCE_DIR) / "system/scenarios");
  } catch (const guest::ScenarioError& error) {
    // No test then: the system suite's pass pattern turns that into a failure.
    fprintf(stderr, "differential_tests: %s\n", error.what());
    return {};
  }
}

fs::path results_of(const std::string& name) {
  return fs::path(RESTOREMARK_SOURCE_DIR) / "build/system/results" / name;
}

// An LED's final state as the guest's "leds" file gives it. A blinking LED's
// brightness is whatever its blink timer left at the moment it was read: it
// shows as "*" on both sides.
std::string led_line(const std::string& name, twin::LedState s) {
  if (s.trigger == "timer" && s.blinking()) s.brightness = "*";
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

class Differential : public ::testing::TestWithParam<guest::Scenario> {};

TEST_P(Differential, TwinSeesWhatTheKernelSaw) {
  const guest::Scenario& s = GetParam();
  const fs::path guest = results_of(s.name);
  ASSERT_TRUE(fs::exists(guest / "status"))
      << "no guest results in " << guest << ": scripts/test-system makes them";
  twin::RunOptions options;
  options.files.preload = twin::built_preload(twin::Arch::kArmhf);
  const fs::path program = fs::path(RESTOREMARK_SOURCE_DIR) / "build/armhf-release/src/restoremark";
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
    twin_leds.push_back(led_line(twin::kLeds[i].directory, r.final_leds[i]));
  }
  std::istringstream leds(support::read_file(guest / "leds"));
  for (std::string line; std::getline(leds, line);) guest_leds.push_back(guest_led_line(line));
  EXPECT_EQ(twin_leds, guest_leds);
  if (s.setup.display) {
    EXPECT_TRUE(r.display_memory == support::read_file(guest / "fb-memory"))
        << "the display memory differs (" << r.display_memory.size() << " bytes in the twin)";
  }
}

std::string test_name(const ::testing::TestParamInfo<guest::Scenario>& info) {
  std::string name = info.param.name;
  for (char& c : name) c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(System, Differential, ::testing::ValuesIn(system_scenarios()), test_name);

}  // namespace
