#include "device.h"

#include <stdexcept>

namespace twin {

namespace {

LedClassLayout led_layout(const Scenario& scenario) {
  LedClassLayout layout;
  for (int i = 0; i < static_cast<int>(kLeds.size()); ++i) {
    if (scenario.missing_leds.count(i)) continue;
    LedSetup& setup = layout[kLeds[i].directory];
    setup.platform = scenario.platform;
    setup.timer_trigger = scenario.led_timer_trigger;
    setup.max_brightness = scenario.max_brightness;
    for (const char* attribute : kLedAttributes) {
      if (scenario.missing_attributes.count({i, attribute})) setup.missing.insert(attribute);
      if (scenario.refusing_attributes.count({i, attribute})) setup.refusing.insert(attribute);
    }
  }
  return layout;
}

twin_settings::Settings settings_of(const Scenario& scenario) {
  twin_settings::Settings s;
  s.platform = scenario.platform;
  s.power_refuses = scenario.power == Power::kRefuses;
  s.real_time = scenario.real_time;
  s.tools_talk = scenario.tools_talk;
  s.tool_time_ms = scenario.tool_time_ms;
  s.fb_info_refused = scenario.display_info_fails;
  const Geometry& g = scenario.geometry;
  s.xres = g.width;
  s.yres = g.height;
  s.xres_virtual = g.xres_virtual();
  s.yres_virtual = g.yres_virtual();
  s.bits_per_pixel = g.bits_per_pixel;
  s.fb_takes = scenario.display_write_limit;
  s.fb_fails = scenario.display_write_error;
  s.fb_memory = scenario.display_memory;
  for (const auto& [key, answer] : scenario.answers) {
    const auto space = key.find(' ');
    if (!twin_settings::set_answer(s, key.substr(0, space).c_str(), key.substr(space + 1).c_str(),
                                   answer.by_signal, answer.value)) {
      throw std::runtime_error("the device settings have no room for the answer to " + key);
    }
  }
  if (const CutPointName* cut = find_cut_point(scenario.cut)) {
    twin_settings::set_cut(s, cut->tool, cut->option, scenario.cut_delay_ms);
  }
  return s;
}

std::vector<LedState> initial_states(const LedClassLayout& layout) {
  std::vector<LedState> states;
  for (const auto& led : kLeds) {
    const auto found = layout.find(led.directory);
    states.push_back(found == layout.end() ? LedState{"-", "-", "-", "-"}
                                           : LedModel(found->second).state());
  }
  return states;
}

}  // namespace

Device make_device(const Scenario& scenario) {
  Device device{led_layout(scenario), settings_of(scenario), {}};
  device.initial_leds = initial_states(device.leds);
  return device;
}

}  // namespace twin
