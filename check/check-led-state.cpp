// LED attribute text and the restore of an LED. Values are read strictly as
// the LED class prints them, so that a value the check cannot read is left
// alone rather than written back wrong.
#include "check-led-state.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

bool is_space(char c) { return c == ' ' || c == '\n' || c == '\t'; }

// Ends the word read so far: a bracketed word is the selected trigger.
void end_word(trigger_scan& scan) {
  const char* name = scan.word;
  size_t length = scan.length;
  const bool bracketed = length >= 2 && name[0] == '[' && name[length - 1] == ']';
  if (bracketed) {
    ++name;
    length -= 2;
  }
  if (!scan.too_long && length > 0 && length < kTriggerNameSize) {
    if (length == 5 && memcmp(name, "timer", 5) == 0) scan.offers_timer = true;
    if (bracketed && !scan.found) {
      memcpy(scan.selected, name, length);
      scan.selected[length] = '\0';
      scan.found = true;
    }
  }
  scan.length = 0;
  scan.too_long = false;
}

// An LED whose brightness follows a trigger or a blink: its brightness read
// is a moment of that, and writing 0 back would end the trigger or blink.
bool runs_by_itself(const led_state& s) {
  const bool triggered = s.has_trigger && strcmp(s.trigger, "none") != 0;
  const bool blinking = s.has_delay_on && s.has_delay_off && s.delay_on > 0 && s.delay_off > 0;
  return triggered || blinking;
}

bool restores_brightness(const led_state& s) {
  return s.has_brightness && (s.brightness != 0 || !runs_by_itself(s));
}

void add_value(led_write* plan, int& count, const char* attribute, unsigned long value) {
  plan[count].attribute = attribute;
  snprintf(plan[count].text, sizeof plan[count].text, "%lu\n", value);
  ++count;
}

}  // namespace

void trigger_scan_feed(trigger_scan& scan, const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (is_space(text[i])) {
      end_word(scan);
    } else if (scan.length < sizeof scan.word) {
      scan.word[scan.length++] = text[i];
    } else {
      scan.too_long = true;
    }
  }
}

void trigger_scan_finish(trigger_scan& scan) { end_word(scan); }

bool parse_led_value(const char* text, size_t length, unsigned long& value) {
  if (length > 0 && text[length - 1] == '\n') --length;
  if (length == 0) return false;
  unsigned long result = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const auto digit = static_cast<unsigned long>(text[i] - '0');
    if (result > (ULONG_MAX - digit) / 10) return false;
    result = result * 10 + digit;
  }
  value = result;
  return true;
}

// The trigger first (selecting one sets its own delays and brightness), then
// the delays, the brightness last (a delay of 0 on darkens the LED).
int led_restore_plan(const led_state& saved, led_write (&plan)[kMaxRestoreWrites]) {
  int count = 0;
  if (saved.has_trigger) {
    plan[count].attribute = kTrigger;
    snprintf(plan[count].text, sizeof plan[count].text, "%s\n", saved.trigger);
    ++count;
  }
  if (saved.has_delay_on) add_value(plan, count, kDelayOn, saved.delay_on);
  if (saved.has_delay_off) add_value(plan, count, kDelayOff, saved.delay_off);
  if (restores_brightness(saved)) add_value(plan, count, kBrightness, saved.brightness);
  return count;
}

const char* led_restore_difference(const led_state& saved, const led_state& now) {
  if (saved.has_trigger && (!now.has_trigger || strcmp(saved.trigger, now.trigger) != 0)) {
    return kTrigger;
  }
  if (saved.has_delay_on && (!now.has_delay_on || saved.delay_on != now.delay_on)) return kDelayOn;
  if (saved.has_delay_off && (!now.has_delay_off || saved.delay_off != now.delay_off)) {
    return kDelayOff;
  }
  if (restores_brightness(saved) && (!now.has_brightness || saved.brightness != now.brightness)) {
    return kBrightness;
  }
  return nullptr;
}

void led_value_text(const led_state& state, const char* attribute, char* out, size_t size) {
  bool known = false;
  unsigned long value = 0;
  if (strcmp(attribute, kTrigger) == 0) {
    if (state.has_trigger) {
      snprintf(out, size, "%s", state.trigger);
      return;
    }
  } else if (strcmp(attribute, kBrightness) == 0) {
    known = state.has_brightness;
    value = state.brightness;
  } else if (strcmp(attribute, kDelayOn) == 0) {
    known = state.has_delay_on;
    value = state.delay_on;
  } else if (strcmp(attribute, kDelayOff) == 0) {
    known = state.has_delay_off;
    value = state.delay_off;
  }
  if (known) {
    snprintf(out, size, "%lu", value);
  } else {
    snprintf(out, size, "absent");
  }
}
