#include "guest-look.h"

#include <sstream>
#include <utility>

#include "build-paths.h"
#include "font.h"
#include "looks.h"
#include "mmap.h"
#include "restoremark.h"
#include "result.h"

namespace guest {

namespace {

constexpr const char* kBanner = "K300-RESTOREMARK-V1-0";

// The screen after the console drew these lines, as rows of '#' and '.'.
std::vector<std::string> console_rows(const std::vector<const char*>& lines, size_t width,
                                      size_t height) {
  twin::Frame frame;
  frame.geometry.width = static_cast<uint32_t>(width);
  frame.geometry.height = static_cast<uint32_t>(height);
  frame.bytes.assign(width * height / 8, '\0');
  mmap_buffer bitmap{reinterpret_cast<uint8_t*>(frame.bytes.data()), static_cast<int32_t>(width),
                     static_cast<int32_t>(height), 0, 0};
  for (const char* line : lines) lcd_draw_line(bitmap, line);
  return frame.rows();
}

}  // namespace

std::pair<std::string, twin::LedState> led_line(const std::string& line) {
  std::istringstream words(line);
  std::string name;
  words >> name;
  twin::LedState s;
  for (std::string word; words >> word;) {
    const auto equals = word.find('=');
    const std::string key = word.substr(0, equals), value = word.substr(equals + 1);
    if (key == "brightness") s.brightness = value;
    if (key == "trigger") s.trigger = value;
    if (key == "delay_on") s.delay_on = value;
    if (key == "delay_off") s.delay_off = value;
  }
  return {name, s};
}

std::string led_words(const std::string& leds_file) {
  std::vector<twin::LedState> leds;
  std::istringstream lines(leds_file);
  for (std::string line; std::getline(lines, line);) leds.push_back(led_line(line).second);
  return twin::describe_leds(leds);
}

std::string screen_words(const std::vector<std::string>& panel) {
  if (panel.empty() || panel[0].size() % 8 != 0 || panel.size() < 16) {
    return "a screen the console does not draw";
  }
  const std::vector<std::pair<const char*, std::vector<const char*>>> screens = {
      {"nothing", {}},
      {"the banner", {kBanner}},
      {"the banner and \"Success.\"", {kBanner, "Success."}},
      {"the banner and \"Error.\"", {kBanner, "Error."}},
  };
  if (font_load(build_paths::kShippedFont) != 0) return "(the console font does not load)";
  std::string words = "a screen the console does not draw";
  for (const auto& [name, lines] : screens) {
    if (console_rows(lines, panel[0].size(), panel.size()) == panel) {
      words = name;
      break;
    }
  }
  font_release();
  return words;
}

}  // namespace guest
