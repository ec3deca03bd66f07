// A scenario says how the twin's device behaves during one run: how each
// tool answers each option, what the volume holds, which LEDs and attributes
// exist, how the frame buffer and the power driver answer. Presets name the
// common cases; knobs (knobs.h) change one setting each, the same way for the
// CLI, the tests and the system test's scenario list.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform.h"
#include "settings.h"

namespace twin {

// One of the device's nine LEDs: its directory under /sys/class/leds and
// the colour a person sees.
struct LedName {
  const char* directory;
  const char* colour;
};

// By index, as the device program numbers them (0-5 yellow, 6 red, 7 green,
// 8 blue).
inline constexpr std::array<LedName, 9> kLeds = {{
    {"LED1:YELLOW:PIN1", "yellow"},
    {"LED2:YELLOW:PIN2", "yellow"},
    {"LED3:YELLOW:PIN3", "yellow"},
    {"LED4:YELLOW:PIN4", "yellow"},
    {"LED5:YELLOW:PIN5", "yellow"},
    {"LED6:YELLOW:PIN6", "yellow"},
    {"LED7:RED", "red"},
    {"LED8:GREEN", "green"},
    {"LED9:BLUE:BLUETOOTH", "blue"},
}};

// The attributes each LED directory of the device offers.
inline constexpr std::array<const char*, 3> kLedAttributes = {"brightness", "delay_on",
                                                              "delay_off"};

// The size of a full volume unless a scenario gives one: room for the files
// of the volume and little else.
inline constexpr long long kFullVolumeSize = 64 * 1024;

inline constexpr const char* kMsd = "orvex-msd";
inline constexpr const char* kAuth = "orvex-auth";

// The program's log file on the volume.
inline constexpr const char* kLogName = "K300-RESTOREMARK-V1-0.log";

// A power cut: the moment of the run at which the device loses its power.
// The program and everything it started end there; the run goes no further.
enum class CutPoint { kNone, kStop, kFactory, kRestore, kRemove, kPower, kStart };

struct CutPointName {
  CutPoint point;
  const char* name;    // as the --cut knob takes it
  const char* tool;    // the call during which the power goes, as the settings
  const char* option;  // name it ("power request": right after the request)
  const char* moment;  // for a person: "during the factory flag"
};

inline constexpr std::array<CutPointName, 6> kCutPoints = {{
    {CutPoint::kStop, "stop", kMsd, "--stop", "during the export stop"},
    {CutPoint::kFactory, "factory", kAuth, "--make-factory", "during the factory flag"},
    {CutPoint::kRestore, "restore", kAuth, "--make-restore", "during the restore flag"},
    {CutPoint::kRemove, "remove", kAuth, "--remove", "during the install-file removal"},
    {CutPoint::kPower, "power", twin_settings::kPowerCutTool, twin_settings::kPowerCutOption,
     "right after the power request"},
    {CutPoint::kStart, "start", kMsd, "--start", "during the export restart"},
}};

// The entry of a cut point, or null for kNone.
inline const CutPointName* find_cut_point(CutPoint point) {
  for (const auto& entry : kCutPoints) {
    if (entry.point == point) return &entry;
  }
  return nullptr;
}

// How a tool ends: with an exit status, or killed by a signal.
struct ToolAnswer {
  bool by_signal = false;
  int value = 0;
  bool operator==(const ToolAnswer&) const = default;
};

enum class Power { kAccepts, kRefuses, kMissing, kOpenRefused };

// "/dev/fb0": writable (display mode), present but not writable, or absent.
enum class Display { kWritable, kReadOnly, kNone };

// What the frame-buffer driver reports in its screen information.
struct Geometry {
  uint32_t width = 128;  // xres
  uint32_t height = 64;  // yres
  uint32_t bits_per_pixel = 1;
  uint32_t virtual_width = 0;   // xres_virtual; 0: the same as xres
  uint32_t virtual_height = 0;  // yres_virtual; 0: the same as yres
  uint32_t xres_virtual() const { return virtual_width ? virtual_width : width; }
  uint32_t yres_virtual() const { return virtual_height ? virtual_height : height; }
  bool operator==(const Geometry&) const = default;
};

struct Scenario {
  std::string name = "success";
  Platform platform = Platform::kDevice;
  // "tool option" -> answer; options not listed succeed.
  std::map<std::string, ToolAnswer> answers;
  bool package_files = true;      // the four package files lie on the volume
  bool log_blocked = false;       // a folder stands where the log is created
  bool volume_readonly = false;   // the volume is mounted read-only
  long long volume_size = 0;      // bytes of a size-limited volume; 0: unlimited
  bool volume_full = false;       // a user's file fills the size-limited volume
  bool main_user_install = true;  // /usr/local/main-user/install exists
  Power power = Power::kAccepts;
  bool real_time = false;                                    // sleeps take their real time
  bool tools_talk = false;                                   // the tools print a line of their own
  std::set<int> missing_leds;                                // LED indexes without a directory
  std::set<std::pair<int, std::string>> missing_attributes;  // (index, attribute)
  std::set<std::pair<int, std::string>> refusing_attributes;
  bool led_timer_trigger = false;  // Linux platform: every LED starts blinking by the timer trigger
  unsigned max_brightness = 255;   // Linux platform
  std::set<std::string> missing_tools;         // tool names not installed
  std::set<std::string> non_executable_tools;  // installed without execute permission
  // Every tool call takes this long before it answers.
  long long tool_time_ms = 0;
  Display display = Display::kWritable;
  Geometry geometry;
  bool display_info_fails = false;     // the screen information request is refused
  long display_write_limit = -1;       // bytes the display takes per write; -1: all
  int display_write_error = 0;         // errno with which every push fails; 0: none
  long long display_memory = 8 << 20;  // bytes of display memory
  // Where the power goes, and how long the device runs on there before it
  // does. The twin cuts at once: its volume is a folder that keeps every
  // write, as a device's volume does once its dirty pages are written back.
  CutPoint cut = CutPoint::kNone;
  long long cut_delay_ms = 0;

  void answer(const std::string& tool, const std::string& option, ToolAnswer a) {
    answers[tool + " " + option] = a;
  }
  bool operator==(const Scenario&) const = default;
};

struct Preset {
  std::string name;
  std::string summary;
};

// Every preset, in the order the help text lists them.
const std::vector<Preset>& presets();
// The scenario of a preset, or nothing for an unknown name.
std::optional<Scenario> preset(std::string_view name);

// "WxHxBPP", such as "128x64x1".
std::optional<Geometry> parse_geometry(std::string_view text);
// "0".."255" is an exit status; "SIGKILL", "KILL" or "signal:9" a signal.
std::optional<ToolAnswer> parse_answer(std::string_view text);
// An LED by index (0-8), directory ("LED8:GREEN"), its first part ("LED8")
// or its colour where only one LED has it ("green").
std::optional<int> parse_led(std::string_view text);
// "0".."max" in decimal, nothing else.
std::optional<long long> parse_count(std::string_view text, long long max);

}  // namespace twin
