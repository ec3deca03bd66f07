// The platform check's LED items against the twin's LED class, on the
// device's platform and on the stock kernel's: what each item finds, and that
// every LED's attributes read afterwards as they read before.
#include <sys/stat.h>

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "check-leds.h"
#include "device_fixture.h"

namespace {

constexpr std::array<const char*, 9> kLeds = {
    "LED1:YELLOW:PIN1", "LED2:YELLOW:PIN2", "LED3:YELLOW:PIN3",
    "LED4:YELLOW:PIN4", "LED5:YELLOW:PIN5", "LED6:YELLOW:PIN6",
    "LED7:RED",         "LED8:GREEN",       "LED9:BLUE:BLUETOOTH"};

// Every LED's four attributes as read from the class, "-" for one that is not there.
std::vector<std::string> attribute_texts() {
  std::vector<std::string> texts;
  for (const char* led : kLeds) {
    for (const char* attribute : {"brightness", "trigger", "delay_on", "delay_off"}) {
      const std::string path = std::string("/sys/class/leds/") + led + "/" + attribute;
      struct stat s {};
      texts.push_back(std::string(led) + "/" + attribute + "=" +
                      (stat(path.c_str(), &s) == 0 ? support::read_file(path) : "-"));
    }
  }
  return texts;
}

std::string line(const item_result& item) {
  return std::string(item.failed ? "FAIL " : "PASS ") + std::string(item.detail, item.length);
}

struct Case {
  const char* name;
  twin::Scenario device;
  const char* attributes;
  const char* blink_end;
  const char* brightness;
};

// Names the case in gtest's messages instead of the record's bytes.
[[maybe_unused]] void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

twin::Scenario stock(bool timer, unsigned max_brightness) {
  twin::Scenario s;
  s.platform = twin::Platform::kLinux;
  s.led_timer_trigger = timer;
  s.max_brightness = max_brightness;
  return s;
}

twin::Scenario device_with(int missing_led, std::pair<int, std::string> refusing) {
  twin::Scenario s;
  if (missing_led >= 0) s.missing_leds.insert(missing_led);
  if (refusing.first >= 0) s.refusing_attributes.insert(refusing);
  return s;
}

const char* const kAllThere =
    "PASS all nine have brightness, delay_on and delay_off, also right after \"0\" to brightness";
const char* const kBlinkEnds =
    "PASS all nine took a \"500\"/\"500\" blink and \"0\" in delay_on, then read dark for 1200 ms";
const char* const kMissing = "FAIL LED7:RED is missing: no directory /sys/class/leds/LED7:RED";

class CheckLeds : public DeviceTest, public testing::WithParamInterface<Case> {};

TEST_P(CheckLeds, MeasuresAndPutsEveryLedBack) {
  const Case& c = GetParam();
  use_leds(twin::make_device(c.device).leds);
  const auto before = attribute_texts();
  item_result attributes{};
  item_result blink_end{};
  item_result brightness{};
  check_leds(attributes, blink_end, brightness);
  EXPECT_EQ(line(attributes), c.attributes);
  EXPECT_EQ(line(blink_end), c.blink_end);
  EXPECT_EQ(line(brightness), c.brightness);
  EXPECT_EQ(attribute_texts(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Platforms, CheckLeds,
    testing::Values(
        Case{"device", twin::Scenario{}, kAllThere, kBlinkEnds,
             "PASS all nine took \"0\" and \"255\", then read 255; every LED put back"},
        Case{"stock_kernel", stock(false, 1),
             "FAIL LED1:YELLOW:PIN1 has no delay_on at the start, with trigger none",
             "PASS all nine took a \"500\"/\"500\" blink and \"0\" in delay_on, then read dark "
             "for 1200 ms; the delay files came only with the timer trigger",
             "PASS all nine took \"0\" and \"255\", then read 1; every LED put back"},
        Case{"stock_kernel_blinking", stock(true, 1),
             "FAIL LED1:YELLOW:PIN1 has no delay_on right after \"0\" to brightness",
             "PASS all nine took a \"500\"/\"500\" blink and \"0\" in delay_on, then read dark "
             "for 1200 ms; the delay files came only with the timer trigger",
             "PASS all nine took \"0\" and \"255\", then read 1; every LED put back"},
        Case{"missing_led", device_with(6, {-1, ""}), kMissing, kMissing,
             "FAIL LED7:RED is missing: no directory /sys/class/leds/LED7:RED; every LED put back"},
        Case{"refusing_brightness", device_with(-1, {2, "brightness"}), kAllThere, kBlinkEnds,
             "FAIL LED3:YELLOW:PIN3 did not take \"0\" in brightness: Invalid argument; every LED "
             "put back"},
        Case{"refusing_delay_on", device_with(-1, {7, "delay_on"}), kAllThere,
             "FAIL LED8:GREEN did not take \"500\" in delay_on: Invalid argument",
             "PASS all nine took \"0\" and \"255\", then read 255; every LED put back"}),
    [](const testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

}  // namespace
