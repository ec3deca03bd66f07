// What the device must see, written out independently of the program: the
// tool command lines, the messages, the LED write sequences of each
// indicator pattern, and the views of a run that tests compare with them.
#pragma once

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "result.h"
#include "scenario.h"

namespace expect {

using Argv = std::vector<std::string>;
inline const Argv kStop = {"orvex-msd", "--stop"};
inline const Argv kStart = {"orvex-msd", "--start"};
inline const Argv kFactory = {"orvex-auth", "--make-factory"};
inline const Argv kRestore = {"orvex-auth", "--make-restore"};
inline const Argv kRemove = {"orvex-auth", "--remove", "/usr/local/main-user/install"};
// A tool's answer that refuses: exit status 1.
inline constexpr twin::ToolAnswer kRefused{false, 1};

inline const std::string kBanner = "K300-RESTOREMARK-V1-0\n";
inline const std::string kLog = "K300-RESTOREMARK-V1-0.log";
inline const std::string kBannerLine = "K300-RESTOREMARK-V1-0";
inline const std::string kFactoryLine = "Failed to set the factory restore point flag.\n";
inline const std::string kRestoreLine = "Failed to set the restore point flag.\n";
inline const std::string kDisplayLine = "Failed to initialise the display '/dev/fb0'.\n";

inline const std::string kLogPath = "/mnt/vfat/K300-RESTOREMARK-V1-0.log";
inline const std::string kLogNotUpdated = "Failed to update the log file '" + kLogPath + "'.\n";
inline const std::string kLogNotStarted = "Failed to start the log file '" + kLogPath + "'.\n";
inline const std::string kStopFailed = "Failed to stop the Mass Storage Device export.\n";
inline const std::string kStartFailed = "Failed to start the Mass Storage Device export.\n";
inline const std::string kRemoveFailed = "Failed to remove '/usr/local/main-user/install'.\n";
inline const std::string kPowerNotOpened = "Failed to open the power management device.\n";
inline const std::string kPowerRefused = "Power management ioctl failed.\n";
inline const std::string kDisplayNotUpdated = "Failed to update the display.\n";
inline const std::string kLedMissing = "LED Test: Error LED not available.\n";
inline const std::string kLedMissingInOn = "LED Test: Error LED not availiable.\n";

// (LED directory, attribute, bytes written)
using Write = std::tuple<std::string, std::string, std::string>;
using Writes = std::vector<Write>;

inline const Writes kStartPattern = {
    {"LED1:YELLOW:PIN1", "brightness", "0\n"},
    {"LED1:YELLOW:PIN1", "delay_on", "0\n"},
    {"LED2:YELLOW:PIN2", "brightness", "0\n"},
    {"LED2:YELLOW:PIN2", "delay_on", "0\n"},
    {"LED3:YELLOW:PIN3", "brightness", "0\n"},
    {"LED3:YELLOW:PIN3", "delay_on", "0\n"},
    {"LED4:YELLOW:PIN4", "brightness", "0\n"},
    {"LED4:YELLOW:PIN4", "delay_on", "0\n"},
    {"LED5:YELLOW:PIN5", "brightness", "0\n"},
    {"LED5:YELLOW:PIN5", "delay_on", "0\n"},
    {"LED6:YELLOW:PIN6", "brightness", "0\n"},
    {"LED6:YELLOW:PIN6", "delay_on", "0\n"},
    {"LED7:RED", "brightness", "0\n"},
    {"LED7:RED", "delay_on", "0\n"},
    {"LED8:GREEN", "brightness", "0\n"},
    {"LED8:GREEN", "delay_on", "0\n"},
    {"LED9:BLUE:BLUETOOTH", "brightness", "255\n"},
    {"LED8:GREEN", "delay_on", "500\n"},
    {"LED8:GREEN", "delay_off", "500\n"},
};

inline const Writes kSuccessPattern = {
    {"LED8:GREEN", "delay_on", "0\n"},           {"LED1:YELLOW:PIN1", "brightness", "255\n"},
    {"LED2:YELLOW:PIN2", "brightness", "255\n"}, {"LED3:YELLOW:PIN3", "brightness", "255\n"},
    {"LED4:YELLOW:PIN4", "brightness", "255\n"}, {"LED5:YELLOW:PIN5", "brightness", "255\n"},
    {"LED6:YELLOW:PIN6", "brightness", "255\n"}, {"LED8:GREEN", "brightness", "255\n"},
};

inline const Writes kFailurePattern = {
    {"LED8:GREEN", "brightness", "0\n"},
    {"LED8:GREEN", "delay_on", "0\n"},
    {"LED7:RED", "brightness", "255\n"},
};

inline Writes concat(const Writes& a, const Writes& b) {
  Writes all = a;
  all.insert(all.end(), b.begin(), b.end());
  return all;
}

inline std::vector<Argv> argvs(const twin::RunResult& r) {
  std::vector<Argv> out;
  for (const auto& call : r.tool_calls) out.push_back(call.argv);
  return out;
}

inline Writes writes(const twin::RunResult& r) {
  Writes out;
  for (const auto& w : r.led_writes) out.emplace_back(w.led, w.attribute, w.text);
  return out;
}

inline size_t refused_writes(const twin::RunResult& r) {
  size_t refused = 0;
  for (const auto& w : r.led_writes) refused += w.accepted ? 0 : 1;
  return refused;
}

// The LEDs as a person sees them at the end: 'L' lit, '.' dark, '~' blinking,
// index 0 to 8 from left to right.
inline std::string picture(const twin::RunResult& r) {
  std::string out;
  for (const auto& led : r.final_leds) out += led.blinking() ? '~' : led.lit() ? 'L' : '.';
  return out;
}

inline const std::string kSuccessLeds = "LLLLLL.LL";  // six yellow, green, blue
inline const std::string kFailureLeds = "......L.L";  // red and blue

inline std::set<std::string> volume_names(const twin::RunResult& r) {
  std::set<std::string> names;
  for (const auto& [name, bytes] : r.volume) names.insert(name);
  return names;
}

inline const std::set<std::string> kUntouchedVolume = {"K300-RESTOREMARK-V1-0.tar.gz", "install",
                                                       "install.sig", "main-user.crt", "notes.txt"};

// Every screen the display showed, in order, as '#'/'.' rows.
inline std::vector<std::vector<std::string>> screens(const twin::RunResult& r) {
  std::vector<std::vector<std::string>> out;
  for (const auto& frame : r.frames) out.push_back(frame.rows());
  return out;
}

inline std::vector<std::string> last_screen(const twin::RunResult& r) {
  return r.frames.empty() ? std::vector<std::string>{} : r.frames.back().rows();
}

// The run as one line of what happened, in order: T(option) a tool call,
// L<n> n consecutive LED writes, D a push to the display, Y a sync,
// S(seconds) a sleep, P(accepted|refused) a power request. Shows the order
// of steps at a glance.
inline std::string trace(const twin::RunResult& r) {
  std::string out;
  int leds = 0;
  for (const auto& record : r.records) {
    if (std::holds_alternative<twin::LedWrite>(record)) {
      ++leds;
      continue;
    }
    if (leds) out += "L" + std::to_string(leds) + " ";
    leds = 0;
    if (const auto* call = std::get_if<twin::ToolCall>(&record)) {
      out += "T(" + (call->argv.size() > 1 ? call->argv[1] : "") + ") ";
    } else if (const auto* sleep = std::get_if<twin::Sleep>(&record)) {
      out += "S(" + std::to_string(static_cast<long>(sleep->seconds)) + ") ";
    } else if (const auto* power = std::get_if<twin::PowerRequest>(&record)) {
      out += std::string("P(") + (power->accepted ? "accepted" : "refused") + ") ";
    } else if (std::holds_alternative<twin::FbWrite>(record)) {
      out += "D ";
    } else if (std::holds_alternative<twin::Sync>(record)) {
      out += "Y ";
    }
  }
  if (leds) out += "L" + std::to_string(leds) + " ";
  if (!out.empty()) out.pop_back();
  return out;
}

}  // namespace expect
