// The nine LEDs as sysfs gives them, in index order, one line each:
// "NAME brightness=B trigger=T delay_on=X delay_off=Y", T the selected
// trigger, "-" for an attribute the LED does not have. The guest's "leds"
// result file, at a scenario's end (led-states) and at a power cut
// (cut-power).
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "scenario.h"

namespace guest_leds {

// An attribute's text without its line end, or "-" when there is none.
inline std::string attribute(const std::string& path) {
  std::ifstream in(path);
  std::string text;
  if (!in || !std::getline(in, text)) return "-";
  return text;
}

// The trigger in brackets of the "trigger" attribute's list, or "-".
inline std::string selected_trigger(const std::string& list) {
  const auto open = list.find('[');
  const auto close = list.find(']', open);
  if (open == std::string::npos || close == std::string::npos) return "-";
  return list.substr(open + 1, close - open - 1);
}

inline std::string states() {
  std::string out;
  for (const auto& led : twin::kLeds) {
    const std::string dir = std::string("/sys/class/leds/") + led.directory + "/";
    out += std::string(led.directory) + " brightness=" + attribute(dir + "brightness") +
           " trigger=" + selected_trigger(attribute(dir + "trigger")) +
           " delay_on=" + attribute(dir + "delay_on") +
           " delay_off=" + attribute(dir + "delay_off") + "\n";
  }
  return out;
}

}  // namespace guest_leds
