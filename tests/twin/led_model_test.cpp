// The twin's LED model: what each write does on the device's platform and on
// the stock Linux LED class with the timer trigger, as sequences of writes
// and the state and answers they leave.
#include <gtest/gtest.h>

#include <cerrno>

#include "led-model.h"

namespace {

using twin::LedModel;
using twin::LedSetup;
using twin::LedState;
using twin::Platform;

struct Step {
  const char* attribute;
  const char* bytes;
  int error;  // what the class answers
};

struct Case {
  const char* name;
  LedSetup setup;
  std::vector<Step> steps;
  LedState after;
};

LedSetup linux_led(bool timer, unsigned max_brightness = 255) {
  LedSetup setup;
  setup.platform = Platform::kLinux;
  setup.timer_trigger = timer;
  setup.max_brightness = max_brightness;
  return setup;
}

TEST(LedModel, WritesLeaveTheStateTheirPlatformGives) {
  LedSetup device;
  LedSetup no_delay_off;
  no_delay_off.missing = {"delay_off"};
  LedSetup refusing;
  refusing.refusing = {"brightness"};
  const std::vector<Case> cases = {
      {"device: text kept as written",
       device,
       {{"brightness", "255\n", 0}, {"delay_on", "500\n", 0}, {"delay_off", "abc", 0}},
       {"255", "-", "500", "abc"}},
      {"device: a missing attribute",
       no_delay_off,
       {{"delay_off", "500\n", ENOENT}},
       {"0", "-", "0", "-"}},
      {"device: a refusing attribute",
       refusing,
       {{"brightness", "255\n", EINVAL}},
       {"0", "-", "0", "0"}},
      {"linux: no trigger, no delay files",
       linux_led(false),
       {{"delay_on", "0\n", ENOENT}, {"brightness", "255\n", 0}},
       {"255", "none", "-", "-"}},
      {"linux: the timer trigger blinks at 1 Hz from the start",
       linux_led(true),
       {},
       {"255", "timer", "500", "500"}},
      {"linux: 0 to brightness removes the trigger and its files",
       linux_led(true),
       {{"brightness", "0\n", 0}, {"delay_on", "0\n", ENOENT}, {"delay_off", "500\n", ENOENT}},
       {"0", "none", "-", "-"}},
      {"linux: 0 to delay_on ends the blink dark",
       linux_led(true),
       {{"delay_on", "0\n", 0}},
       {"0", "timer", "0", "500"}},
      {"linux: a new brightness keeps the blink",
       linux_led(true, 1),
       {{"brightness", "255\n", 0}},
       {"1", "timer", "500", "500"}},
      {"linux: brightness clamped to max_brightness",
       linux_led(false, 1),
       {{"brightness", "7\n", 0}},
       {"1", "none", "-", "-"}},
      {"linux: values the kernel reads",
       linux_led(true),
       {{"delay_on", "+3\n", 0}, {"delay_off", "12", 0}},
       {"255", "timer", "3", "12"}},
      {"linux: values it refuses",
       linux_led(true),
       {{"delay_on", " 3", EINVAL},
        {"delay_on", "3\n\n", EINVAL},
        {"delay_on", "0x10", EINVAL},
        {"delay_on", "", EINVAL},
        {"delay_on", "-1", EINVAL},
        {"delay_on", "99999999999999999999999", ERANGE},
        {"max_brightness", "1\n", EACCES}},
       {"255", "timer", "500", "500"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LedModel led(c.setup);
    for (const auto& step : c.steps) {
      EXPECT_EQ(led.write(step.attribute, step.bytes), step.error)
          << step.attribute << " " << step.bytes;
    }
    EXPECT_EQ(led.state(), c.after);
  }
}

TEST(LedModel, LinuxAttributesComeAndGoWithTheTrigger) {
  LedModel led(linux_led(false));
  using Names = std::set<std::string>;
  EXPECT_EQ(led.attributes(), (Names{"brightness", "max_brightness", "trigger"}));
  EXPECT_EQ(led.read("trigger"), "[none] timer\n");
  EXPECT_EQ(led.write("trigger", "timer\n"), 0);
  EXPECT_EQ(led.attributes(),
            (Names{"brightness", "delay_off", "delay_on", "max_brightness", "trigger"}));
  EXPECT_EQ(led.read("delay_on"), "500\n");
  EXPECT_EQ(led.write("trigger", "heartbeat\n"), EINVAL);
  EXPECT_EQ(led.write("brightness", "0"), 0);
  EXPECT_EQ(led.attributes(), (Names{"brightness", "max_brightness", "trigger"}));
}

}  // namespace
