// What the device showed, as the full-system suite captured it, in the
// atlas's words: the LEDs from their sysfs states (the guest's "leds" lines)
// and the screen (the panel's rows) read as the console lines it shows.
#pragma once

#include <string>
#include <vector>

#include "led-model.h"

namespace guest {

// "NAME brightness=B trigger=T delay_on=X delay_off=Y" back to the LED's
// name and state.
std::pair<std::string, twin::LedState> led_line(const std::string& line);

// The LEDs of a "leds" file as the atlas describes them ("#8 blue lit", "all
// dark").
std::string led_words(const std::string& leds_file);

// The console lines the panel shows: "nothing", "the banner", "the banner
// and "Success."" or "the banner and "Error."", as the device's console
// draws them with its font; anything else is "a screen the console does not
// draw".
std::string screen_words(const std::vector<std::string>& panel);

}  // namespace guest
