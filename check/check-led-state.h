// What an LED's attribute files say, as the Linux LED class prints them, and
// how an LED is put back as it was: the trigger, the blink delays and the
// brightness, in an order that does not undo itself.
#pragma once

#include <cstddef>

inline constexpr size_t kTriggerNameSize = 48;

// An LED's attribute files.
inline constexpr const char* kBrightness = "brightness";
inline constexpr const char* kTrigger = "trigger";
inline constexpr const char* kDelayOn = "delay_on";
inline constexpr const char* kDelayOff = "delay_off";

// Reads the selected trigger from the trigger attribute's text ("none [timer] heartbeat"), fed in
// pieces as it is read: the list can be longer than any one read.
struct trigger_scan {
  char word[kTriggerNameSize + 2];  // the word being read, with its brackets
  size_t length;
  bool too_long;  // the word is longer than any trigger name kept
  char selected[kTriggerNameSize];
  bool found;         // a selected trigger was read
  bool offers_timer;  // "timer" is one of the triggers
};

void trigger_scan_feed(trigger_scan& scan, const char* text, size_t length);
// Takes the last word when the text did not end in white space.
void trigger_scan_finish(trigger_scan& scan);

// A decimal value as the LED class prints it ("%u\n"). False for anything else.
bool parse_led_value(const char* text, size_t length, unsigned long& value);

// What could be read of an LED at one moment. An attribute that is missing or unreadable has its
// flag false.
struct led_state {
  bool has_brightness;
  unsigned long brightness;
  bool has_trigger;  // a selected trigger was read
  char trigger[kTriggerNameSize];
  bool offers_timer;
  bool has_delay_on;
  unsigned long delay_on;
  bool has_delay_off;
  unsigned long delay_off;
};

// One write of a restore: the text for an attribute of the LED.
struct led_write {
  const char* attribute;
  char text[kTriggerNameSize + 1];
};
inline constexpr int kMaxRestoreWrites = 4;

// The writes that put an LED back as `saved` says, in order; returns how many.
int led_restore_plan(const led_state& saved, led_write (&plan)[kMaxRestoreWrites]);
// The first attribute a restore should have put back but `now` shows otherwise, or null.
const char* led_restore_difference(const led_state& saved, const led_state& now);
// The attribute's value in `state` as text: the number or trigger name, "absent" when unread.
void led_value_text(const led_state& state, const char* attribute, char* out, size_t size);
