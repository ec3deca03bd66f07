// The knobs of a scenario: each command-line option that changes one setting
// of the device, with its help text. The CLI, the tests and the system
// test's scenario list all set scenarios through this one table.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scenario.h"

namespace twin {

struct Knob {
  const char* name;   // "--factory"
  const char* value;  // the value's name in the help ("A"), or null for a flag
  const char* help;
  // Changes the scenario, or says why the value is not one.
  std::optional<std::string> (*apply)(Scenario& scenario, std::string_view value);
};

const std::vector<Knob>& knobs();
const Knob* find_knob(std::string_view name);

// Applies knobs given as command-line words ("--factory", "1",
// "--no-display") in order. Returns why not, for an unknown knob, a missing
// value or a value the knob does not take.
std::optional<std::string> apply_knobs(Scenario& scenario, const std::vector<std::string>& words);

// The knobs' part of the help text, one or more lines each.
std::string knobs_help();

}  // namespace twin
