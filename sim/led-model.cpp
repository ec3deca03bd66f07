#include "led-model.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace twin {

namespace {

constexpr const char* kBrightness = "brightness";
constexpr const char* kDelayOn = "delay_on";
constexpr const char* kDelayOff = "delay_off";
constexpr const char* kTrigger = "trigger";
constexpr const char* kMaxBrightness = "max_brightness";
// The timer trigger blinks at 1 Hz when it is selected without delays.
constexpr unsigned long kDefaultDelay = 500;

std::string without_line_end(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace

bool LedState::lit() const { return std::atol(brightness.c_str()) > 0; }
bool LedState::blinking() const {
  return std::atol(delay_on.c_str()) > 0 && std::atol(delay_off.c_str()) > 0;
}

int parse_kernel_decimal(const std::string& text, unsigned long* value) {
  size_t i = text.size() > 0 && text[0] == '+' ? 1 : 0;
  size_t end = text.size();
  if (end > i && text[end - 1] == '\n') --end;
  if (i == end) return EINVAL;
  unsigned long long result = 0;
  for (; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return EINVAL;
    const unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (result > (std::numeric_limits<unsigned long long>::max() - digit) / 10) return ERANGE;
    result = result * 10 + digit;
  }
  *value = static_cast<unsigned long>(result);
  return 0;
}

LedModel::LedModel(LedSetup setup) : setup_(std::move(setup)) {
  if (setup_.platform == Platform::kLinux) select_timer(setup_.timer_trigger);
}

std::set<std::string> LedModel::attributes() const {
  if (setup_.platform == Platform::kLinux) {
    std::set<std::string> present = {kBrightness, kMaxBrightness, kTrigger};
    if (timer_) present.insert({kDelayOn, kDelayOff});
    return present;
  }
  std::set<std::string> present;
  for (const char* name : {kBrightness, kDelayOn, kDelayOff}) {
    if (setup_.missing.count(name) == 0) present.insert(name);
  }
  return present;
}

int LedModel::write(const std::string& attribute, const std::string& bytes) {
  if (!has(attribute)) return ENOENT;
  if (setup_.refusing.count(attribute) != 0) return EINVAL;
  if (setup_.platform == Platform::kLinux) return write_linux(attribute, bytes);
  const std::string value = without_line_end(bytes);
  if (attribute == kBrightness) text_.brightness = value;
  if (attribute == kDelayOn) text_.delay_on = value;
  if (attribute == kDelayOff) text_.delay_off = value;
  return 0;
}

void LedModel::select_timer(bool on) {
  timer_ = on;
  if (on) {
    // Selected without delays of its own, the trigger blinks at 1 Hz, at
    // full brightness unless the LED was lit already.
    if (delay_on_ == 0 && delay_off_ == 0) delay_on_ = delay_off_ = kDefaultDelay;
    if (brightness_ == 0) brightness_ = setup_.max_brightness;
  } else {
    brightness_ = 0;  // leaving the trigger switches the LED off
  }
}

int LedModel::write_linux(const std::string& attribute, const std::string& bytes) {
  if (attribute == kTrigger) {
    const std::string name = without_line_end(bytes);
    if (name != "none" && name != "timer") return EINVAL;
    select_timer(name == "timer");
    return 0;
  }
  unsigned long value = 0;
  if (const int error = parse_kernel_decimal(bytes, &value); error != 0) return error;
  if (attribute == kBrightness) {
    // 0 removes the trigger; any other value changes the brightness, also
    // the one a blink shows.
    if (value == 0) select_timer(false);
    brightness_ = value < setup_.max_brightness ? value : setup_.max_brightness;
    return 0;
  }
  if (attribute == kMaxBrightness) return EACCES;  // read-only
  // A delay of 0 on ends the blink with the LED dark; both 0 blink at 1 Hz.
  if (attribute == kDelayOn) delay_on_ = value;
  if (attribute == kDelayOff) delay_off_ = value;
  if (delay_on_ == 0 && delay_off_ == 0) delay_on_ = delay_off_ = kDefaultDelay;
  if (delay_on_ == 0) brightness_ = 0;
  if (delay_on_ > 0 && delay_off_ > 0 && brightness_ == 0) brightness_ = setup_.max_brightness;
  return 0;
}

std::string LedModel::read(const std::string& attribute) const {
  const LedState s = state();
  if (attribute == kMaxBrightness) return std::to_string(setup_.max_brightness) + "\n";
  if (attribute == kTrigger) return timer_ ? "none [timer]\n" : "[none] timer\n";
  if (attribute == kBrightness) return s.brightness + "\n";
  if (attribute == kDelayOn) return s.delay_on + "\n";
  if (attribute == kDelayOff) return s.delay_off + "\n";
  return "";
}

LedState LedModel::state() const {
  if (setup_.platform == Platform::kDevice) {
    LedState s = text_;
    if (!has(kDelayOn)) s.delay_on = "-";
    if (!has(kDelayOff)) s.delay_off = "-";
    if (!has(kBrightness)) s.brightness = "-";
    return s;
  }
  LedState s;
  s.brightness = std::to_string(brightness_);
  s.trigger = timer_ ? "timer" : "none";
  s.delay_on = timer_ ? std::to_string(delay_on_) : "-";
  s.delay_off = timer_ ? std::to_string(delay_off_) : "-";
  return s;
}

}  // namespace twin
