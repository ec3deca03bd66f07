// The twin held to a real kernel: each scenario of the full-system suite
// (system/scenarios) is run again in the twin, on its platform (linux: the
// kernel's stock drivers; device: the reference drivers of the platform
// contract) and with the same knobs and the same armhf program, and what
// both saw is compared: standard output, exit status, tool calls and power
// requests (both journals, read by the one decoder), the log, the volume,
// the LEDs' final states, the display memory and, on the device platform,
// the panel against the twin's last frame, pixel for pixel. The guest's
// results must be there (scripts/test-system makes them first).
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

// What the reference display driver leaves in a display memory of `size`
// bytes: every whole-image push at its start, so the last one that landed.
std::string device_memory(const twin::RunResult& r, size_t size) {
  std::string memory(size, '\0');
  if (!r.frames.empty()) memory.replace(0, r.frames.back().bytes.size(), r.frames.back().bytes);
  return memory;
}

// The twin's last frame as the panel shows it: blank before any push landed.
std::vector<std::string> last_screen(const twin::RunResult& r) {
  if (!r.frames.empty()) return r.frames.back().rows();
  return std::vector<std::string>(r.geometry.height, std::string(r.geometry.width, '.'));
}

std::string pixel_differences(const std::vector<std::string>& twin,
                              const std::vector<std::string>& panel) {
  if (twin.size() != panel.size() || (!twin.empty() && twin[0].size() != panel[0].size())) {
    return "the panel is not the size of the twin's screen";
  }
  std::string out;
  size_t count = 0;
  for (size_t y = 0; y < twin.size(); ++y) {
    for (size_t x = 0; x < twin[y].size(); ++x) {
      if (twin[y][x] == panel[y][x]) continue;
      if (++count <= 5) out += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
    }
  }
  if (count == 0) return "";
  std::string art = "\nthe rows that differ, twin | panel:\n";
  for (size_t y = 0; y < twin.size(); ++y) {
    if (twin[y] != panel[y]) art += std::to_string(y) + " " + twin[y] + " | " + panel[y] + "\n";
  }
  return std::to_string(count) + " pixels differ, first" + out + art;
}

// The tool calls and power requests of a journal, as the guest's files give
// them; the twin's /dev/power is a plain file and records no open.
std::string calls_of(std::vector<twin::Record> journal) {
  std::erase_if(journal, [](const twin::Record& record) {
    return std::holds_alternative<twin::PowerOpen>(record);
  });
  return guest::tools_file(journal) + guest::power_file(journal);
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
  EXPECT_EQ(calls_of(r.records),
            calls_of(twin::decode_journal(support::read_file(guest / "journal"))));
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
  EXPECT_EQ(pixel_differences(last_screen(r), panel), "");
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
  const std::string memory = support::read_file(guest / "fb-memory");
  if (r.platform == twin::Platform::kLinux) {
    EXPECT_TRUE(r.display_memory == memory)
        << "the display memory differs (" << r.display_memory.size() << " bytes in the twin)";
    return;
  }
  EXPECT_TRUE(device_memory(r, memory.size()) == memory)
      << "the display memory is not the twin's last frame followed by zeros";
  expect_panel_shows_last_screen(r, guest);
}

std::string test_name(const ::testing::TestParamInfo<guest::Scenario>& info) {
  std::string name = info.param.name;
  for (char& c : name) c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(System, Differential, ::testing::ValuesIn(system_scenarios()), test_name);


// --- power cuts (system/power-cuts) ------------------------------------------

// The twin's power cut held to the guest's: the twin run with the same cut
// ends where the guest's power went, and the device showed the same there:
// the output so far, the tool calls (the one cut included), the power
// requests, every LED and, on the display, the panel pixel for pixel.
class AtCut : public ::testing::TestWithParam<guest::Scenario> {};

std::vector<guest::Scenario> cut_scenarios() {
  try {
    return guest::load_scenarios(fs::path(build_paths::kSourceDir) / "system/power-cuts");
  } catch (const guest::ScenarioError& error) {
    fprintf(stderr, "differential_tests: %s\n", error.what());
    return {};
  }
}

TEST_P(AtCut, TwinShowsWhatTheDeviceShowedAtTheCut) {
  const guest::Scenario& s = GetParam();
  const fs::path cut = fs::path(build_paths::kSourceDir) / "build/system/cuts" / s.name;
  ASSERT_TRUE(fs::exists(cut / "leds")) << "no cut in " << cut << ": scripts/test-power-cuts makes it";
  const twin::RunResult r = run_in_twin(s);

  EXPECT_EQ(r.signal, SIGKILL);
  expect_as_guest_saw(r, cut);
  if (s.setup.display) expect_panel_shows_last_screen(r, cut);
}

INSTANTIATE_TEST_SUITE_P(System, AtCut, ::testing::ValuesIn(cut_scenarios()), test_name);

// Each cut's second run against an uninterrupted run in the twin: the same
// scenario without the cut (and without the main-user install file where
// the first run had removed it), as the runner wrote it beside the cut.
std::vector<guest::Scenario> second_runs() {
  std::vector<guest::Scenario> out;
  for (const auto& cut : cut_scenarios()) {
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
