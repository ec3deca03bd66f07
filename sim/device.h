// The device a scenario describes, as the twin's pieces take it: the LED
// class the sandbox serves, the settings that the preload library and the
// fake device tools read, and what the LEDs show before the program writes
// anything.
#pragma once

#include <vector>

#include "led-model.h"
#include "scenario.h"
#include "settings.h"

namespace twin {

struct Device {
  LedClassLayout leds;
  twin_settings::Settings settings;
  // By index; "-" everywhere for an LED the scenario leaves out.
  std::vector<LedState> initial_leds;
};

// Throws std::runtime_error when the settings have no room for the
// scenario's tool answers.
Device make_device(const Scenario& scenario);

}  // namespace twin
