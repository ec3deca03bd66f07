// Items 3, 4 and 5 of the platform contract on the device's nine LEDs under
// "/sys/class/leds", measured with the writes the program's patterns make:
// "0" to brightness, a "500"/"500" blink, "0" to delay_on, "255" to
// brightness. Every LED's brightness, trigger, delay_on and delay_off are read
// first and put back at the end, as far as the LED class lets them be.
#pragma once

#include "check-report.h"

// Measures the three items; the note on what was put back goes on `brightness`, the last of them.
void check_leds(item_result& attributes, item_result& blink_end, item_result& brightness);
