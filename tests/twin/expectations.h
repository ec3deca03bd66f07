// What the device must see, written out independently of the program: the
// tool command lines and the LED write sequences of each indicator pattern.
#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "twin.h"

namespace expect {

using Argv = std::vector<std::string>;
inline const Argv kStop = {"orvex-msd", "--stop"};
inline const Argv kStart = {"orvex-msd", "--start"};
inline const Argv kFactory = {"orvex-auth", "--make-factory"};
inline const Argv kRestore = {"orvex-auth", "--make-restore"};
inline const Argv kRemove = {"orvex-auth", "--remove", "/usr/local/main-user/install"};

inline const std::string kBanner = "K300-RESTOREMARK-V1-0\n";
inline const std::string kLog = "K300-RESTOREMARK-V1-0.log";
inline const std::string kFactoryLine = "Failed to set the factory restore point flag.\n";
inline const std::string kRestoreLine = "Failed to set the restore point flag.\n";

// (LED directory, attribute, bytes written)
using Write = std::tuple<std::string, std::string, std::string>;
using Writes = std::vector<Write>;

inline const Writes kStartPattern = {
    {"LED1:YELLOW:PIN1", "brightness", "0\n"}, {"LED1:YELLOW:PIN1", "delay_on", "0\n"},
    {"LED2:YELLOW:PIN2", "brightness", "0\n"}, {"LED2:YELLOW:PIN2", "delay_on", "0\n"},
    {"LED3:YELLOW:PIN3", "brightness", "0\n"}, {"LED3:YELLOW:PIN3", "delay_on", "0\n"},
    {"LED4:YELLOW:PIN4", "brightness", "0\n"}, {"LED4:YELLOW:PIN4", "delay_on", "0\n"},
    {"LED5:YELLOW:PIN5", "brightness", "0\n"}, {"LED5:YELLOW:PIN5", "delay_on", "0\n"},
    {"LED6:YELLOW:PIN6", "brightness", "0\n"}, {"LED6:YELLOW:PIN6", "delay_on", "0\n"},
    {"LED7:RED", "brightness", "0\n"},         {"LED7:RED", "delay_on", "0\n"},
    {"LED8:GREEN", "brightness", "0\n"},       {"LED8:GREEN", "delay_on", "0\n"},
    {"LED9:BLUE:BLUETOOTH", "brightness", "255\n"},
    {"LED8:GREEN", "delay_on", "500\n"},       {"LED8:GREEN", "delay_off", "500\n"},
};

inline const Writes kSuccessPattern = {
    {"LED8:GREEN", "delay_on", "0\n"},
    {"LED1:YELLOW:PIN1", "brightness", "255\n"}, {"LED2:YELLOW:PIN2", "brightness", "255\n"},
    {"LED3:YELLOW:PIN3", "brightness", "255\n"}, {"LED4:YELLOW:PIN4", "brightness", "255\n"},
    {"LED5:YELLOW:PIN5", "brightness", "255\n"}, {"LED6:YELLOW:PIN6", "brightness", "255\n"},
    {"LED8:GREEN", "brightness", "255\n"},
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
  for (const auto& call : r.tool_calls()) out.push_back(call.argv);
  return out;
}

inline Writes writes(const twin::RunResult& r) {
  Writes out;
  for (const auto& w : r.led_writes()) out.emplace_back(w.led, w.attribute, w.text);
  return out;
}

// The LEDs as a person sees them at the end: 'L' lit, '.' dark, '~' blinking,
// index 0 to 8 from left to right.
inline std::string picture(const twin::RunResult& r) {
  std::string out;
  for (const auto& led : r.final_leds()) out += led.blinking() ? '~' : led.lit() ? 'L' : '.';
  return out;
}

inline const std::string kSuccessLeds = "LLLLLL.LL";  // six yellow, green, blue
inline const std::string kFailureLeds = "......L.L";  // red and blue

}  // namespace expect
