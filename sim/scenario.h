// A scenario says how the twin's device behaves during one run: how each
// tool answers each option, what the volume holds, which LEDs and attributes
// exist, how the power driver answers. Presets name the common cases; every
// knob can also be set alone.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace twin {

// The device's nine LED directories under /sys/class/leds, by index.
inline constexpr std::array<const char*, 9> kLedNames = {
    "LED1:YELLOW:PIN1", "LED2:YELLOW:PIN2", "LED3:YELLOW:PIN3",
    "LED4:YELLOW:PIN4", "LED5:YELLOW:PIN5", "LED6:YELLOW:PIN6",
    "LED7:RED",         "LED8:GREEN",       "LED9:BLUE:BLUETOOTH",
};

// The attributes each LED directory offers.
inline constexpr std::array<const char*, 3> kLedAttributes = {"brightness", "delay_on", "delay_off"};

inline constexpr const char* kMsd = "orvex-msd";
inline constexpr const char* kAuth = "orvex-auth";

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
  uint32_t width = 128;  // xres and xres_virtual
  uint32_t height = 64;  // yres and yres_virtual
  uint32_t bits_per_pixel = 1;
  bool operator==(const Geometry&) const = default;
};

struct Scenario {
  std::string name = "success";
  // "tool option" -> answer; options not listed succeed.
  std::map<std::string, ToolAnswer> answers;
  bool package_files = true;      // the four package files lie on the volume
  bool log_blocked = false;       // a folder stands where the log is created
  bool volume_readonly = false;   // the volume is mounted read-only
  long long volume_size = 0;      // bytes of a size-limited volume; 0: unlimited
  bool volume_full = false;       // a user's file fills what room the volume has
  bool main_user_install = true;  // /usr/local/main-user/install exists
  Power power = Power::kAccepts;
  bool real_time = false;         // sleeps take their real time
  bool tools_talk = false;        // the tools print a line of their own
  std::set<int> missing_leds;                    // LED indexes without a directory
  std::set<std::pair<int, std::string>> missing_attributes;  // (index, attribute)
  std::set<std::pair<int, std::string>> refusing_attributes;
  std::set<std::string> missing_tools;         // tool names not installed
  std::set<std::string> non_executable_tools;  // installed without execute permission
  Display display = Display::kWritable;
  Geometry geometry;
  bool display_info_fails = false;  // the screen information request is refused
  long display_write_limit = -1;    // bytes the display takes per write; -1: all

  void answer(const std::string& tool, const std::string& option, ToolAnswer a) {
    answers[tool + " " + option] = a;
  }
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
// "7", or an LED directory name such as "LED8:GREEN".
std::optional<int> parse_led(std::string_view text);
std::string describe(const ToolAnswer& answer);

}  // namespace twin
