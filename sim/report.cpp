// What both reports share: how bytes, errors and LEDs are named, and the LED
// timeline a person watching the device saw.
#include "report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>

namespace twin {

std::string quoted(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string error_name(int error) {
  const char* name = strerrorname_np(error);
  return name != nullptr ? name : "errno " + std::to_string(error);
}

std::string led_label(size_t index) {
  const std::string directory = kLeds[index].directory;
  return "#" + std::to_string(index) + " " + directory.substr(0, directory.find(':'));
}

std::vector<LedMoment> led_timeline(const RunResult& result) {
  std::vector<LedMoment> moments{{0, 0, result.initial_leds}};
  bool in_run = false;
  for (const auto& record : result.records) {
    const auto* write = std::get_if<LedWrite>(&record);
    if (write == nullptr) {
      in_run = false;
      continue;
    }
    if (!in_run) moments.push_back({write->time, 0, moments.back().leds});
    in_run = true;
    LedMoment& now = moments.back();
    for (size_t i = 0; i < kLeds.size(); ++i) {
      if (write->led == kLeds[i].directory) now.leds[i] = write->after;
    }
    now.time = write->time;
    ++now.writes;
  }
  return moments;
}

namespace {

constexpr const char* kAsBefore = "as before the run";

std::string first_led_difference(const RunResult& r) {
  size_t differ = 0;
  std::string first;
  for (size_t i = 0; i < kLeds.size(); ++i) {
    const LedState& was = r.initial_leds[i];
    const LedState& is = r.final_leds[i];
    if (was == is) continue;
    if (differ++ > 0) continue;
    for (const auto& [name, before, after] :
         {std::tuple{"brightness", was.brightness, is.brightness},
          {"trigger", was.trigger, is.trigger},
          {"delay_on", was.delay_on, is.delay_on},
          {"delay_off", was.delay_off, is.delay_off}}) {
      if (before == after) continue;
      first = std::string(kLeds[i].directory) + " " + name + " was " + before + ", is " + after;
      break;
    }
  }
  if (differ == 0) return kAsBefore;
  return first + (differ > 1 ? " (and " + std::to_string(differ - 1) + " more LEDs)" : "");
}

std::string display_difference(const RunResult& r) {
  const size_t first = r.display_memory.find_first_not_of('\0');
  if (first == std::string::npos) return kAsBefore;
  const size_t differ =
      r.display_memory.size() - static_cast<size_t>(std::count(r.display_memory.begin(),
                                                               r.display_memory.end(), '\0'));
  return std::to_string(differ) + (differ == 1 ? " byte differs" : " bytes differ") +
         ", the first at " + std::to_string(first);
}

std::string volume_difference(const RunResult& r) {
  std::vector<std::string> changes;
  for (const auto& [name, bytes] : r.volume_before) {
    const auto now = r.volume.find(name);
    if (now == r.volume.end()) {
      changes.push_back(name + " removed");
    } else if (now->second != bytes) {
      changes.push_back(name + " changed");
    }
  }
  for (const auto& [name, bytes] : r.volume) {
    if (r.volume_before.count(name) == 0) changes.push_back(name + " added");
  }
  if (changes.empty()) return kAsBefore;
  return changes.front() +
         (changes.size() > 1 ? " (and " + std::to_string(changes.size() - 1) + " more)" : "");
}

}  // namespace

std::optional<LeftAsFound> left_as_found(const RunResult& r) {
  const bool leds_written = !r.led_writes.empty();
  const bool display_written = !r.frames.empty();
  const char* unwritten_display = r.display_memory.empty() ? "none" : "not written";
  const LeftAsFound left{leds_written ? first_led_difference(r) : "not written",
                         display_written ? display_difference(r) : unwritten_display,
                         volume_difference(r)};
  if ((leds_written && left.leds == kAsBefore) || (display_written && left.display == kAsBefore)) {
    return left;
  }
  return std::nullopt;
}

}  // namespace twin
