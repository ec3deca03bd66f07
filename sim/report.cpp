// What both reports share: how bytes, errors and LEDs are named, and the LED
// timeline a person watching the device saw.
#include "report.h"

#include <cstdio>
#include <cstring>

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

}  // namespace twin
