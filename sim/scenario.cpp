#include "scenario.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace twin {

namespace {

constexpr ToolAnswer kFails{false, 1};

struct PresetEntry {
  Preset preset;
  void (*apply)(Scenario&);
};

const std::vector<PresetEntry>& entries() {
  static const std::vector<PresetEntry> kEntries = {
      {{"success", "every step succeeds; the power request is accepted"}, [](Scenario&) {}},
      {{"no-display", "a device without a display: progress on the LEDs"},
       [](Scenario& s) { s.display = Display::kNone; }},
      {{"display-readonly", "/dev/fb0 is there but not writable: progress on the LEDs"},
       [](Scenario& s) { s.display = Display::kReadOnly; }},
      {{"display-fails", "the display driver refuses the screen information request"},
       [](Scenario& s) { s.display_info_fails = true; }},
      {{"volume-full",
        "the package files are gone and a user's file fills the volume: no log line fits"},
       [](Scenario& s) {
         s.package_files = false;
         s.volume_size = kFullVolumeSize;
         s.volume_full = true;
         s.answer(kAuth, "--make-factory", kFails);
       }},
      {{"export-stop-fails", "orvex-msd --stop exits with 1"},
       [](Scenario& s) { s.answer(kMsd, "--stop", kFails); }},
      {{"log-not-created", "a folder stands where the log file would be created"},
       [](Scenario& s) { s.log_blocked = true; }},
      {{"factory-refused", "orvex-auth --make-factory exits with 1"},
       [](Scenario& s) { s.answer(kAuth, "--make-factory", kFails); }},
      {{"restore-refused", "orvex-auth --make-restore exits with 1"},
       [](Scenario& s) { s.answer(kAuth, "--make-restore", kFails); }},
      {{"power-missing", "there is no /dev/power"}, [](Scenario& s) { s.power = Power::kMissing; }},
      {{"power-refused", "the power driver refuses the request"},
       [](Scenario& s) { s.power = Power::kRefuses; }},
      {{"main-user-absent", "/usr/local/main-user/install does not exist"},
       [](Scenario& s) { s.main_user_install = false; }},
      {{"main-user-removal-refused", "orvex-auth --remove exits with 1"},
       [](Scenario& s) { s.answer(kAuth, "--remove", kFails); }},
      {{"export-restart-refused", "the factory flag is refused and orvex-msd --start exits with 1"},
       [](Scenario& s) {
         s.answer(kAuth, "--make-factory", kFails);
         s.answer(kMsd, "--start", kFails);
       }},
      {{"factory-tool-killed", "orvex-auth --make-factory is killed by SIGKILL"},
       [](Scenario& s) {
         s.answer(kAuth, "--make-factory", {true, SIGKILL});
       }},
      {{"export-stop-killed", "orvex-msd --stop is killed by SIGTERM"},
       [](Scenario& s) {
         s.answer(kMsd, "--stop", {true, SIGTERM});
       }},
  };
  return kEntries;
}

std::optional<int> parse_int(std::string_view text, int low, int high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

}  // namespace

const std::vector<Preset>& presets() {
  static const std::vector<Preset> kPresets = [] {
    std::vector<Preset> out;
    for (const auto& e : entries()) out.push_back(e.preset);
    return out;
  }();
  return kPresets;
}

std::optional<Scenario> preset(std::string_view name) {
  for (const auto& e : entries()) {
    if (e.preset.name == name) {
      Scenario s;
      s.name = e.preset.name;
      e.apply(s);
      return s;
    }
  }
  return std::nullopt;
}

std::optional<ToolAnswer> parse_answer(std::string_view text) {
  if (auto status = parse_int(text, 0, 255)) return ToolAnswer{false, *status};
  if (text.rfind("signal:", 0) == 0) {
    if (auto number = parse_int(text.substr(7), 1, 64)) return ToolAnswer{true, *number};
    return std::nullopt;
  }
  std::string name(text.rfind("SIG", 0) == 0 ? text.substr(3) : text);
  for (int number = 1; number < NSIG; ++number) {
    const char* abbrev = sigabbrev_np(number);
    if (abbrev != nullptr && name == abbrev) return ToolAnswer{true, number};
  }
  return std::nullopt;
}

std::optional<int> parse_led(std::string_view text) {
  if (auto index = parse_int(text, 0, 8)) return index;
  std::optional<int> by_colour;
  int with_colour = 0;
  for (size_t i = 0; i < kLeds.size(); ++i) {
    const std::string_view directory = kLeds[i].directory;
    if (text == directory || text == directory.substr(0, directory.find(':'))) {
      return static_cast<int>(i);
    }
    if (text == kLeds[i].colour) {
      by_colour = static_cast<int>(i);
      ++with_colour;
    }
  }
  return with_colour == 1 ? by_colour : std::nullopt;
}

std::optional<long long> parse_count(std::string_view text, long long max) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > max) return std::nullopt;
  return value;
}

std::optional<Geometry> parse_geometry(std::string_view text) {
  uint32_t values[3];
  for (int i = 0; i < 3; ++i) {
    const auto end = i < 2 ? text.find('x') : text.size();
    if (end == std::string_view::npos) return std::nullopt;
    const auto value = parse_int(text.substr(0, end), 0, 999999999);
    if (!value) return std::nullopt;
    values[i] = static_cast<uint32_t>(*value);
    text.remove_prefix(i < 2 ? end + 1 : end);
  }
  return Geometry{values[0], values[1], values[2], 0, 0};
}

}  // namespace twin
