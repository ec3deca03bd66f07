// The LED items. The nine LEDs go through each step together, as the
// program's patterns drive them: all switched off, all blinking, all
// stopped, all lit, then each put back. The check writes each attribute with
// one write system call on a descriptor of its own and looks at the result,
// which the program does not: a value the LED class refuses is a failure
// here. It never creates a file: an attribute that is not there stays so.
#include "check-leds.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <iterator>

#include "check-led-state.h"

namespace {

constexpr int kLedCount = 9;
constexpr const char* kLedNames[kLedCount] = {
    "LED1:YELLOW:PIN1", "LED2:YELLOW:PIN2", "LED3:YELLOW:PIN3",
    "LED4:YELLOW:PIN4", "LED5:YELLOW:PIN5", "LED6:YELLOW:PIN6",
    "LED7:RED",         "LED8:GREEN",       "LED9:BLUE:BLUETOOTH",
};
constexpr const char* kLedClass = "/sys/class/leds";
constexpr size_t kPathSize = 256;
constexpr size_t kValueSize = 32;

constexpr const char* kBlinkDelay = "500\n";

// A blink of 500 ms on and 500 ms off is over for sure after more than one
// period without light.
constexpr int kDarkSamples = 12;
constexpr long kSampleIntervalNs = 100'000'000;

struct led_record {
  led_state saved;
  bool present;
  bool timer_selected;  // the check selected the timer trigger to get the delay files
  bool stopped;         // "0" in delay_on was taken
};

led_record leds[kLedCount];

void attribute_path(int led, const char* attribute, char (&path)[kPathSize]) {
  snprintf(path, sizeof path, "%s/%s/%s", kLedClass, kLedNames[led], attribute);
}

bool attribute_exists(int led, const char* attribute) {
  char path[kPathSize];
  attribute_path(led, attribute, path);
  return access(path, F_OK) == 0;
}

// One write of the whole text, as the program's stream writes reach the
// class, on a descriptor opened as the program opens it but without O_CREAT.
// 0 when taken whole, else the error (EIO for a short write).
int write_attribute(int led, const char* attribute, const char* text) {
  char path[kPathSize];
  attribute_path(led, attribute, path);
  const int fd = open(path, O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return errno;
  const size_t length = strlen(text);
  const ssize_t written = write(fd, text, length);
  int error = written < 0 ? errno : 0;
  if (error == 0 && static_cast<size_t>(written) != length) error = EIO;
  if (close(fd) != 0 && error == 0) error = errno;
  return error;
}

// Reads a value attribute; false (with the error, EINVAL for text that is
// not a value) when it cannot.
bool read_value(int led, const char* attribute, unsigned long& value, int& error) {
  char path[kPathSize];
  attribute_path(led, attribute, path);
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return false;
  }
  char text[kValueSize];
  const ssize_t length = read(fd, text, sizeof text);
  error = length < 0 ? errno : 0;
  close(fd);
  if (length < 0) return false;
  if (!parse_led_value(text, static_cast<size_t>(length), value)) {
    error = EINVAL;
    return false;
  }
  return true;
}

void read_trigger(int led, led_state& state) {
  char path[kPathSize];
  attribute_path(led, kTrigger, path);
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  trigger_scan scan{};
  char text[256];
  ssize_t length;
  while ((length = read(fd, text, sizeof text)) > 0) {
    trigger_scan_feed(scan, text, static_cast<size_t>(length));
  }
  close(fd);
  if (length < 0) return;
  trigger_scan_finish(scan);
  state.has_trigger = scan.found;
  memcpy(state.trigger, scan.selected, sizeof state.trigger);
  state.offers_timer = scan.offers_timer;
}

led_state read_state(int led) {
  led_state state{};
  int error = 0;
  state.has_brightness = read_value(led, kBrightness, state.brightness, error);
  state.has_delay_on = read_value(led, kDelayOn, state.delay_on, error);
  state.has_delay_off = read_value(led, kDelayOff, state.delay_off, error);
  read_trigger(led, state);
  return state;
}

bool is_directory(const char* path) {
  struct stat s {};
  return stat(path, &s) == 0 && S_ISDIR(s.st_mode);
}

// The first of `attributes` the LED lacks, or null.
const char* first_missing(int led, std::initializer_list<const char*> attributes) {
  const auto* missing = std::find_if(attributes.begin(), attributes.end(),
                                     [led](const char* a) { return !attribute_exists(led, a); });
  return missing != attributes.end() ? *missing : nullptr;
}

// Reads every LED as it is and records what is missing from the start.
void look_at_start(item_result& attributes, item_result& blink_end, item_result& brightness) {
  for (int led = 0; led < kLedCount; ++led) {
    char directory[kPathSize];
    snprintf(directory, sizeof directory, "%s/%s", kLedClass, kLedNames[led]);
    leds[led] = {};
    leds[led].present = is_directory(directory);
    if (!leds[led].present) {
      for (item_result* item : {&attributes, &blink_end, &brightness}) {
        item_fail(*item, "%s is missing: no directory %s", kLedNames[led], directory);
      }
      continue;
    }
    leds[led].saved = read_state(led);
    if (const char* missing = first_missing(led, {kBrightness, kDelayOn, kDelayOff})) {
      const led_state& s = leds[led].saved;
      item_fail(attributes, "%s has no %s at the start%s%s", kLedNames[led], missing,
                s.has_trigger ? ", with trigger " : "", s.has_trigger ? s.trigger : "");
    }
  }
}

// "0" to brightness, as the patterns switch an LED off; the delay files must stay.
void switch_off(item_result& attributes, item_result& brightness) {
  for (int led = 0; led < kLedCount; ++led) {
    if (!leds[led].present) continue;
    if (const int error = write_attribute(led, kBrightness, "0\n")) {
      item_fail(brightness, "%s did not take \"0\" in brightness: %s", kLedNames[led],
                strerror(error));
    }
    if (const char* missing = first_missing(led, {kDelayOn, kDelayOff})) {
      item_fail(attributes, "%s has no %s right after \"0\" to brightness", kLedNames[led],
                missing);
    }
  }
}

// Where the delay files come only with the timer trigger (the stock LED
// class), the trigger is selected so that the blink itself can be measured.
bool get_delay_files(int led, item_result& blink_end) {
  const char* missing = first_missing(led, {kDelayOn, kDelayOff});
  if (missing == nullptr) return true;
  led_state now{};
  read_trigger(led, now);
  if (!now.offers_timer) {
    item_fail(blink_end, "%s has no %s and no timer trigger to offer it", kLedNames[led], missing);
    return false;
  }
  if (const int error = write_attribute(led, kTrigger, "timer\n")) {
    item_fail(blink_end, "%s has no %s and refused the timer trigger: %s", kLedNames[led], missing,
              strerror(error));
    return false;
  }
  leds[led].timer_selected = true;
  missing = first_missing(led, {kDelayOn, kDelayOff});
  if (missing == nullptr) return true;
  item_fail(blink_end, "%s has no %s even with the timer trigger", kLedNames[led], missing);
  return false;
}

void start_blinks(item_result& blink_end) {
  for (int led = 0; led < kLedCount; ++led) {
    if (!leds[led].present || !get_delay_files(led, blink_end)) continue;
    for (const char* attribute : {kDelayOn, kDelayOff}) {
      if (const int error = write_attribute(led, attribute, kBlinkDelay)) {
        item_fail(blink_end, "%s did not take \"500\" in %s: %s", kLedNames[led], attribute,
                  strerror(error));
      }
    }
  }
}

// Every stopped LED must read dark for more than a whole blink period.
void watch_dark(item_result& blink_end) {
  for (int sample = 1; sample <= kDarkSamples; ++sample) {
    const timespec interval{0, kSampleIntervalNs};
    nanosleep(&interval, nullptr);
    for (int led = 0; led < kLedCount; ++led) {
      if (!leds[led].stopped) continue;
      unsigned long value = 0;
      int error = 0;
      if (!read_value(led, kBrightness, value, error)) {
        item_fail(blink_end, "%s brightness unreadable: %s", kLedNames[led], strerror(error));
      } else if (value != 0) {
        item_fail(blink_end, "%s lit (brightness %lu) %ld ms after \"0\" in delay_on",
                  kLedNames[led], value, sample * kSampleIntervalNs / 1'000'000);
      }
    }
  }
}

void stop_blinks(item_result& blink_end) {
  for (int led = 0; led < kLedCount; ++led) {
    if (!leds[led].present || !attribute_exists(led, kDelayOn)) continue;
    if (const int error = write_attribute(led, kDelayOn, "0\n")) {
      item_fail(blink_end, "%s did not take \"0\" in delay_on: %s", kLedNames[led],
                strerror(error));
    } else {
      leds[led].stopped = true;
    }
  }
  watch_dark(blink_end);
}

// "255" must light every LED: it reads back as any non-zero brightness.
void light(item_result& brightness) {
  unsigned long lowest = 0;
  unsigned long highest = 0;
  for (int led = 0; led < kLedCount; ++led) {
    if (!leds[led].present) continue;
    if (const int error = write_attribute(led, kBrightness, "255\n")) {
      item_fail(brightness, "%s did not take \"255\" in brightness: %s", kLedNames[led],
                strerror(error));
      continue;
    }
    unsigned long value = 0;
    int error = 0;
    if (!read_value(led, kBrightness, value, error)) {
      item_fail(brightness, "%s brightness unreadable: %s", kLedNames[led], strerror(error));
    } else if (value == 0) {
      item_fail(brightness, "%s reads brightness 0 after \"255\"", kLedNames[led]);
    }
    lowest = lowest == 0 || value < lowest ? value : lowest;
    highest = value > highest ? value : highest;
  }
  if (lowest == highest) {
    item_measured(brightness, "all nine took \"0\" and \"255\", then read %lu", highest);
  } else {
    item_measured(brightness, "all nine took \"0\" and \"255\", then read %lu to %lu", lowest,
                  highest);
  }
}

// Puts one LED back; returns the first attribute that did not come back, or null.
const char* put_back(int led, led_state& now) {
  led_write plan[kMaxRestoreWrites];
  const int count = led_restore_plan(leds[led].saved, plan);
  for (int i = 0; i < count; ++i) write_attribute(led, plan[i].attribute, plan[i].text);
  now = read_state(led);
  return led_restore_difference(leds[led].saved, now);
}

void put_all_back(item_result& item) {
  int left = 0;
  char first[200] = "";
  for (int led = 0; led < kLedCount; ++led) {
    if (!leds[led].present) continue;
    led_state now{};
    const char* attribute = put_back(led, now);
    if (attribute == nullptr) continue;
    if (left++ == 0) {
      char was[kTriggerNameSize];
      char is[kTriggerNameSize];
      led_value_text(leds[led].saved, attribute, was, sizeof was);
      led_value_text(now, attribute, is, sizeof is);
      snprintf(first, sizeof first, "%s %s (was %s, now %s)", kLedNames[led], attribute, was, is);
    }
  }
  if (left == 0) {
    item_note(item, "every LED put back");
  } else if (left == 1) {
    item_note(item, "not put back: %s", first);
  } else {
    item_note(item, "not put back: %s and %d more LEDs", first, left - 1);
  }
}

bool timer_selected() {
  return std::any_of(std::begin(leds), std::end(leds),
                     [](const led_record& led) { return led.timer_selected; });
}

}  // namespace

void check_leds(item_result& attributes, item_result& blink_end, item_result& brightness) {
  look_at_start(attributes, blink_end, brightness);
  switch_off(attributes, brightness);
  item_measured(attributes,
                "all nine have brightness, delay_on and delay_off, also right after "
                "\"0\" to brightness");
  start_blinks(blink_end);
  stop_blinks(blink_end);
  item_measured(blink_end,
                "all nine took a \"500\"/\"500\" blink and \"0\" in delay_on, then "
                "read dark for %ld ms",
                kDarkSamples * kSampleIntervalNs / 1'000'000);
  if (timer_selected()) item_note(blink_end, "the delay files came only with the timer trigger");
  light(brightness);
  put_all_back(brightness);
}
