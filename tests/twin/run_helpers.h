// Running the device program in the twin from a test, and reading the run.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "scenario.h"
#include "twin.h"

namespace expect {

// The program the scenarios run: this build's, or another build's named by
// RESTOREMARK_TWIN_EXECUTABLE (a cross build runs these host tests on its ARM
// program), with the preload library of the program's machine named by
// RESTOREMARK_TWIN_PRELOAD.
inline std::filesystem::path executable() {
  const char* named = getenv("RESTOREMARK_TWIN_EXECUTABLE");
  return named != nullptr && *named != '\0' ? named : RESTOREMARK_EXECUTABLE;
}

inline twin::RunOptions run_options() {
  twin::RunOptions options;
  const char* preload = getenv("RESTOREMARK_TWIN_PRELOAD");
  if (preload != nullptr && *preload != '\0') options.files.preload = preload;
#ifdef RESTOREMARK_COVERAGE_DIR
  // A coverage build's programs write their counts (.gcda files) beside their
  // objects in the build tree, also from inside the sandbox.
  options.writable_paths.push_back(RESTOREMARK_COVERAGE_DIR);
#endif
  return options;
}

// The program never writes to standard error: anything there is a
// sanitizer's or the coverage runtime's report, and fails the test.
inline twin::RunResult run(const twin::Scenario& scenario) {
  auto result = twin::run(executable(), scenario, run_options());
  EXPECT_EQ(result.err, "") << "on the program's standard error";
  return result;
}

inline twin::Scenario preset(const std::string& name) {
  const auto scenario = twin::preset(name);
  EXPECT_TRUE(scenario.has_value()) << name;
  return scenario.value_or(twin::Scenario{});
}

inline twin::RunResult run_preset(const std::string& name) { return run(preset(name)); }

// The same device without a display: progress goes to the LEDs.
inline twin::RunResult run_on_leds(twin::Scenario scenario) {
  scenario.display = twin::Display::kNone;
  return run(scenario);
}

inline twin::RunResult run_preset_on_leds(const std::string& name) {
  return run_on_leds(preset(name));
}

inline std::set<std::string> volume_names(const twin::RunResult& r) {
  std::set<std::string> names;
  for (const auto& [name, bytes] : r.volume) names.insert(name);
  return names;
}

inline const std::set<std::string> kUntouchedVolume = {
    "K300-RESTOREMARK-V1-0.tar.gz", "install", "install.sig", "main-user.crt", "notes.txt"};

// The run as one line of what happened, in order: T(option) a tool call,
// L<n> n consecutive LED writes, S(seconds) a sleep, P(accepted|refused) a
// power request. Shows the order of steps at a glance.
inline std::string trace(const twin::RunResult& r) {
  std::string out;
  int leds = 0;
  auto flush_leds = [&] {
    if (leds) out += "L" + std::to_string(leds) + " ";
    leds = 0;
  };
  for (const auto& e : r.events) {
    if (e.kind == "led") {
      ++leds;
      continue;
    }
    flush_leds();
    if (e.kind == "tool") out += "T(" + (e.fields.size() > 6 ? e.fields[6] : "") + ") ";
    if (e.kind == "sleep") out += "S(" + std::to_string(std::stoll(e.fields[0]) / 1000000000) + ") ";
    if (e.kind == "power") out += "P(" + e.fields[2] + ") ";
  }
  flush_leds();
  if (!out.empty()) out.pop_back();
  return out;
}

}  // namespace expect
