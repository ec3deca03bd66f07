// The twin held to a real kernel: each scenario of the full-system suite
// (system/scenarios) is run again in the twin, on its stock-Linux platform
// and with the same knobs and the same armhf program, and what both saw is
// compared: standard output, exit status, tool calls, power requests, the
// log, the volume, the LEDs' final states and the display memory. The
// guest's results must be there (scripts/test-system makes them first).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "files.h"
#include "knobs.h"
#include "run.h"

namespace fs = std::filesystem;

namespace {

struct SystemScenario {
  std::string name;
  std::vector<std::string> knobs;
};

std::vector<SystemScenario> system_scenarios() {
  std::vector<SystemScenario> out;
  std::ifstream in(fs::path(RESTOREMARK_SOURCE_DIR) / "system/scenarios");
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    SystemScenario s;
    if (!(words >> s.name) || s.name[0] == '#') continue;
    for (std::string word; words >> word;) s.knobs.push_back(word);
    out.push_back(s);
  }
  return out;
}

// gtest names a failing case by this.
void PrintTo(const SystemScenario& s, std::ostream* out) { *out << s.name; }

fs::path results_of(const std::string& name) {
  return fs::path(RESTOREMARK_SOURCE_DIR) / "build/system/results" / name;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// What the twin saw, in the guest's result formats.
std::string tools_of(const twin::RunResult& r) {
  std::string out;
  for (const auto& call : r.tool_calls) {
    for (size_t i = 0; i < call.argv.size(); ++i) out += (i ? "\t" : "") + call.argv[i];
    out += "\n";
  }
  return out;
}

std::string power_of(const twin::RunResult& r) {
  std::string out;
  for (const auto& p : r.power_requests) {
    out += "ioctl " + std::to_string(p.request) + " " + std::to_string(p.argument) +
           (p.accepted ? " accepted\n" : " refused\n");
  }
  return out;
}

// A blinking LED's brightness is whatever its blink timer left at the moment
// it was read: only its trigger and delays are compared.
std::string led_line(const std::string& name, const twin::LedState& s) {
  const bool blinking = s.trigger == "timer" && s.blinking();
  return name + " brightness=" + (blinking ? "*" : s.brightness) + " trigger=" + s.trigger +
         " delay_on=" + s.delay_on + " delay_off=" + s.delay_off;
}

std::string guest_led_line(const std::string& line) {
  const bool blinking = line.find("trigger=timer") != std::string::npos &&
                        line.find("delay_on=0") == std::string::npos;
  if (!blinking) return line;
  const auto at = line.find("brightness=") + 11;
  return line.substr(0, at) + "*" + line.substr(line.find(' ', at));
}

class Differential : public ::testing::TestWithParam<SystemScenario> {};

TEST_P(Differential, TwinSeesWhatTheKernelSaw) {
  const SystemScenario& s = GetParam();
  const fs::path guest = results_of(s.name);
  ASSERT_TRUE(fs::exists(guest / "status"))
      << "no guest results in " << guest << ": scripts/test-system makes them";
  twin::Scenario scenario;
  ASSERT_EQ(twin::apply_knobs(scenario, s.knobs), std::nullopt);
  twin::RunOptions options;
  options.files.preload = twin::built_preload(twin::Arch::kArmhf);
  const fs::path program = fs::path(RESTOREMARK_SOURCE_DIR) / "build/armhf-release/src/restoremark";
  const twin::RunResult r = twin::run(program, scenario, options);

  EXPECT_EQ(r.out, support::read_file(guest / "stdout"));
  EXPECT_EQ(std::to_string(r.exit_status) + "\n", support::read_file(guest / "status"));
  EXPECT_EQ(tools_of(r), support::read_file(guest / "tools"));
  std::string guest_power;
  for (const auto& line : lines(support::read_file(guest / "power"))) {
    if (line.rfind("ioctl ", 0) == 0) guest_power += line + "\n";  // the twin records no open
  }
  EXPECT_EQ(power_of(r), guest_power);
  EXPECT_EQ(r.volume, twin::read_volume(guest / "volume"));
  std::vector<std::string> twin_leds, guest_leds;
  for (size_t i = 0; i < twin::kLeds.size(); ++i) {
    twin_leds.push_back(led_line(twin::kLeds[i].directory, r.final_leds[i]));
  }
  for (const auto& line : lines(support::read_file(guest / "leds"))) {
    guest_leds.push_back(guest_led_line(line));
  }
  EXPECT_EQ(twin_leds, guest_leds);
  if (scenario.display != twin::Display::kNone) {
    EXPECT_TRUE(r.display_memory == support::read_file(guest / "fb-memory"))
        << "the display memory differs (" << r.display_memory.size() << " bytes in the twin)";
  }
}

std::string test_name(const ::testing::TestParamInfo<SystemScenario>& info) {
  std::string name = info.param.name;
  for (char& c : name) c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(System, Differential, ::testing::ValuesIn(system_scenarios()), test_name);

}  // namespace
