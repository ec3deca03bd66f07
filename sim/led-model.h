// One LED of the twin's LED class: which attribute files it offers at each
// moment and what a write to one of them does. Two platforms:
//  - the device's: "brightness", "delay_on" and "delay_off" are always there
//    (unless a scenario leaves one out) and keep the text last written;
//  - the stock Linux LED class with the timer trigger: "brightness",
//    "max_brightness" and "trigger" are always there, "delay_on" and
//    "delay_off" only while the timer trigger is selected; 0 written to
//    "brightness" removes the trigger (and with it both delay files);
//    values are decimal with an optional trailing line feed, anything else
//    is refused with EINVAL; brightness is clamped to max_brightness.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform.h"

namespace twin {

// What an LED's attributes hold, as text; "-" for an attribute that is not
// there at the moment (the trigger on the device's platform, the delays of
// a Linux LED without the timer trigger).
struct LedState {
  std::string brightness = "0";
  std::string trigger = "-";
  std::string delay_on = "0";
  std::string delay_off = "0";
  bool lit() const;
  bool blinking() const;
  bool operator==(const LedState&) const = default;
};

struct LedSetup {
  Platform platform = Platform::kDevice;
  std::set<std::string> missing;   // attributes left out (device platform)
  std::set<std::string> refusing;  // attributes that refuse every value with EINVAL
  bool timer_trigger = false;      // Linux: the timer trigger is selected at start
  unsigned max_brightness = 255;   // Linux
};

// The LED class: LED directory name -> how that LED behaves.
using LedClassLayout = std::map<std::string, LedSetup>;

class LedModel {
 public:
  explicit LedModel(LedSetup setup);

  // The attribute files there now, in listing order.
  std::set<std::string> attributes() const;
  bool has(const std::string& attribute) const { return attributes().count(attribute) != 0; }
  // Applies one write system call; 0 when accepted, else the errno the
  // class answers with (ENOENT for an attribute that is not there).
  int write(const std::string& attribute, const std::string& bytes);
  // What reading the attribute gives.
  std::string read(const std::string& attribute) const;
  LedState state() const;

 private:
  int write_linux(const std::string& attribute, const std::string& bytes);
  void select_timer(bool on);

  LedSetup setup_;
  LedState text_;  // device platform: the text last accepted, line end removed
  // Linux platform.
  unsigned long brightness_ = 0;
  bool timer_ = false;
  unsigned long delay_on_ = 0;
  unsigned long delay_off_ = 0;
};

// A value as the kernel's kstrtoul(text, 10) reads it: an optional '+',
// decimal digits, an optional single trailing line feed. 0 when it reads,
// else EINVAL (or ERANGE beyond an unsigned long of 64 bits).
int parse_kernel_decimal(const std::string& text, unsigned long* value);

}  // namespace twin
