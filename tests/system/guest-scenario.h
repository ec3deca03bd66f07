// The full-system suite's scenarios (system/scenarios): one a line, its name
// and the twin's knobs that describe the same device, read with the twin's
// own knob table. Each scenario is also what the guest sets up before the
// program runs; a knob the guest cannot set up is refused with its reason.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "scenario.h"
#include "settings.h"

namespace guest {

class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the guest sets up before the program runs.
struct Setup {
  // The kernel's drivers: "linux", the stock ones; "device", the reference
  // drivers of the platform contract (the twin's platform of the same name).
  std::string platform = "linux";
  bool display = true;               // a writable /dev/fb0; else none (LED mode)
  long long fb_memory = 0;           // the board's display memory, in bytes
  std::string led_trigger = "none";  // the trigger every LED has selected at start
  std::string power = "accept";      // the power driver: accept, refuse or missing
  bool main_user_install = true;     // /usr/local/main-user/install is written before the run
  // Where the host cuts the board's power ("none": the run ends by itself;
  // else a --cut point), after the tool or power driver there waited the
  // delay, in the settings.
  std::string cut = "none";
  long long cut_delay_ms = 0;
  // The tools' answers and the power driver's, as the twin's settings file.
  twin_settings::Settings settings;
};

struct Scenario {
  std::string name;
  std::vector<std::string> knobs;  // as the list gives them
  twin::Scenario twin;             // the same device in the twin
  Setup setup;
};

// One line: "NAME KNOB...". Throws ScenarioError naming the scenario and why.
Scenario parse_scenario(std::string_view line);

// The scenarios of `list` in its order, or those named in the order given.
// Blank lines and lines starting with '#' are skipped. Throws ScenarioError
// for a line that does not parse, a name listed twice or a name not listed.
std::vector<Scenario> load_scenarios(const std::filesystem::path& list,
                                     const std::vector<std::string>& names = {});

// A scenario's or a boot's name as the name of its test case: every character
// but a letter or digit made '_', as CMake's string(MAKE_C_IDENTIFIER) makes
// the name that system/CMakeLists.txt selects the case by.
std::string case_name(std::string name);

}  // namespace guest
