// The device's nine indicator LEDs, through the Linux LED class attributes
// under /sys/class/leds. Index 0-5 yellow, 6 red, 7 green, 8 blue.
#pragma once

#include <cstdint>
#include <cstdio>

// Each returns 0 on success, 1 on failure (after a message on standard output).
int led_on(int index, uint8_t brightness);
int led_off(int index);
int led_blink_start(int index, uint32_t on_ms, uint32_t off_ms);
int led_blink_stop(int index);

// 1 when the first LED's brightness attribute exists, otherwise 0.
int get_led_status();
// Opens the LED's directory followed by `suffix` for writing; null on failure
// with errno left for the caller.
FILE* led_file_open(int index, const char* suffix);
