// The knobs as the command line, the tests and the system suite's scenario
// list give them: the value parsers, and each knob's accepted values (the
// scenario it leaves) and refused ones (the message the user reads).
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "knobs.h"

namespace {

using twin::Geometry;
using twin::Scenario;
using twin::ToolAnswer;
using Words = std::vector<std::string>;

// Each parser's accepted texts with what they give, and texts it refuses.
TEST(KnobParsers, Geometry) {
  const std::pair<const char*, Geometry> accepted[] = {
      {"128x64x1", {128, 64, 1}}, {"0x0x0", {0, 0, 0}}, {"999999999x1x32", {999999999, 1, 32}}};
  for (const auto& [text, geometry] : accepted) EXPECT_EQ(twin::parse_geometry(text), geometry);
  for (const char* text : {"1000000000x1x1", "128x64", "128x64x1x", "128X64x1", "x64x1", "-1x64x1",
                           "+1x64x1", "128x64x1 ", ""}) {
    EXPECT_EQ(twin::parse_geometry(text), std::nullopt) << text;
  }
}

TEST(KnobParsers, Answer) {
  const std::pair<const char*, ToolAnswer> accepted[] = {
      {"0", {false, 0}},         {"255", {false, 255}},   {"SIGKILL", {true, SIGKILL}},
      {"TERM", {true, SIGTERM}}, {"signal:9", {true, 9}}, {"signal:64", {true, 64}}};
  for (const auto& [text, answer] : accepted) EXPECT_EQ(twin::parse_answer(text), answer) << text;
  for (const char* text :
       {"256", "-1", "signal:0", "signal:65", "signal:", "sigkill", "SIG", "SIGNOPE", "", " 1"}) {
    EXPECT_EQ(twin::parse_answer(text), std::nullopt) << text;
  }
}

TEST(KnobParsers, Led) {
  const std::pair<const char*, int> accepted[] = {
      {"0", 0},     {"8", 8},   {"LED8:GREEN", 7}, {"LED8", 7},
      {"green", 7}, {"red", 6}, {"blue", 8},       {"LED9:BLUE:BLUETOOTH", 8}};
  for (const auto& [text, index] : accepted) EXPECT_EQ(twin::parse_led(text), index) << text;
  // Nine LEDs, #0 to #8; six of them yellow.
  for (const char* text : {"9", "yellow", "LED9:BLUE", "led8", "LED10", ""}) {
    EXPECT_EQ(twin::parse_led(text), std::nullopt) << text;
  }
}

TEST(KnobParsers, Count) {
  EXPECT_EQ(twin::parse_count("0", 10), 0);
  EXPECT_EQ(twin::parse_count("10", 10), 10);
  EXPECT_EQ(twin::parse_count("999999999999999999", 1LL << 62), 999999999999999999);
  EXPECT_EQ(twin::parse_count("11", 10), std::nullopt);
  // More digits than it reads, whatever the largest value.
  EXPECT_EQ(twin::parse_count("1000000000000000000", 1LL << 62), std::nullopt);
  for (const char* text : {"-1", "+1", "1e3", "0x10", " 1", ""}) {
    EXPECT_EQ(twin::parse_count(text, 10000), std::nullopt) << text;
  }
}

// A knob's accepted value: the scenario it leaves is the default changed by
// `expected` and nothing else.
struct Accepted {
  Words words;
  std::function<void(Scenario&)> expected;
};

TEST(Knobs, EachAcceptedValueChangesItsSettingOnly) {
  const auto answer = [](const char* tool, const char* option, ToolAnswer a) {
    return [=](Scenario& s) { s.answer(tool, option, a); };
  };
  const std::vector<Accepted> cases = {
      {{"--stop", "SIGKILL"}, answer(twin::kMsd, "--stop", {true, SIGKILL})},
      {{"--start", "3"}, answer(twin::kMsd, "--start", {false, 3})},
      {{"--factory", "signal:15"}, answer(twin::kAuth, "--make-factory", {true, 15})},
      {{"--restore", "255"}, answer(twin::kAuth, "--make-restore", {false, 255})},
      {{"--remove", "0"}, answer(twin::kAuth, "--remove", {false, 0})},
      {{"--no-tool", "orvex-auth"}, [](Scenario& s) { s.missing_tools = {twin::kAuth}; }},
      {{"--tool-not-executable", "orvex-msd"},
       [](Scenario& s) { s.non_executable_tools = {twin::kMsd}; }},
      {{"--tools-talk"}, [](Scenario& s) { s.tools_talk = true; }},
      {{"--tool-time", "1500"}, [](Scenario& s) { s.tool_time_ms = 1500; }},
      {{"--no-package-files"}, [](Scenario& s) { s.package_files = false; }},
      {{"--log-blocked"}, [](Scenario& s) { s.log_blocked = true; }},
      {{"--volume-readonly"}, [](Scenario& s) { s.volume_readonly = true; }},
      {{"--volume-size", "4096"}, [](Scenario& s) { s.volume_size = 4096; }},
      {{"--volume-full"},
       [](Scenario& s) {
         s.volume_full = true;
         s.volume_size = twin::kFullVolumeSize;
       }},
      // A size given before or after --volume-full is kept.
      {{"--volume-size", "8192", "--volume-full"},
       [](Scenario& s) {
         s.volume_full = true;
         s.volume_size = 8192;
       }},
      {{"--no-main-user-install"}, [](Scenario& s) { s.main_user_install = false; }},
      {{"--power", "open-refused"}, [](Scenario& s) { s.power = twin::Power::kOpenRefused; }},
      {{"--power", "missing"}, [](Scenario& s) { s.power = twin::Power::kMissing; }},
      {{"--no-display"}, [](Scenario& s) { s.display = twin::Display::kNone; }},
      {{"--display-readonly"}, [](Scenario& s) { s.display = twin::Display::kReadOnly; }},
      {{"--display-fails"}, [](Scenario& s) { s.display_info_fails = true; }},
      // The visible size leaves the virtual one as it was, in either order.
      {{"--virtual", "128x128", "--geometry", "120x64x8"},
       [](Scenario& s) {
         s.geometry = {120, 64, 8, 128, 128};
       }},
      {{"--display-takes", "0"}, [](Scenario& s) { s.display_write_limit = 0; }},
      {{"--display-write-fails", "EIO"}, [](Scenario& s) { s.display_write_error = EIO; }},
      {{"--display-write-fails", "4095"}, [](Scenario& s) { s.display_write_error = 4095; }},
      {{"--no-led", "red", "--no-led", "LED1"},
       [](Scenario& s) {
         s.missing_leds = {0, 6};
       }},
      {{"--no-attribute", "LED7:RED/delay_on"},
       [](Scenario& s) {
         s.missing_attributes = {{6, "delay_on"}};
       }},
      {{"--refuse", "8/brightness"},
       [](Scenario& s) {
         s.refusing_attributes = {{8, "brightness"}};
       }},
      {{"--real-time"}, [](Scenario& s) { s.real_time = true; }},
      {{"--platform", "linux"}, [](Scenario& s) { s.platform = twin::Platform::kLinux; }},
      {{"--fb-memory", "4294967296"}, [](Scenario& s) { s.display_memory = 1LL << 32; }},
      {{"--led-trigger", "timer"}, [](Scenario& s) { s.led_timer_trigger = true; }},
      {{"--max-brightness", "1"}, [](Scenario& s) { s.max_brightness = 1; }},
      {{"--cut", "remove", "--cut-delay", "40"},
       [](Scenario& s) {
         s.cut = twin::CutPoint::kRemove;
         s.cut_delay_ms = 40;
       }},
  };
  std::set<std::string> covered;
  for (const auto& c : cases) {
    Scenario scenario, expected;
    c.expected(expected);
    EXPECT_EQ(twin::apply_knobs(scenario, c.words), std::nullopt) << c.words[0];
    EXPECT_TRUE(scenario == expected) << c.words[0] << " " << c.words.back();
    for (const auto& word : c.words) covered.insert(word);
  }
  for (const auto& knob : twin::knobs()) EXPECT_TRUE(covered.count(knob.name)) << knob.name;
}

TEST(Knobs, EachRefusedValueSaysWhy) {
  const struct {
    Words words;
    const char* why;
  } cases[] = {
      {{"--stop", "256"}, "--stop: not an exit status or signal: 256"},
      {{"--factory"}, "--factory needs a value (A)"},
      {{"--no-tool", "orvex-foo"}, "--no-tool: no such tool: orvex-foo"},
      {{"--tool-not-executable", ""}, "--tool-not-executable: no such tool: "},
      {{"--volume-size", "4095"}, "--volume-size: expected a number from 4096: 4095"},
      {{"--tool-time", "3600001"}, "--tool-time: expected a number from 0: 3600001"},
      {{"--volume-size", "1099511627777"},
       "--volume-size: expected a number from 4096: 1099511627777"},
      {{"--power", "off"}, "--power: expected one of accept, refuse, missing, open-refused: off"},
      {{"--geometry", "128x64"},
       "--geometry: expected WIDTHxHEIGHTxBITS, such as 128x64x1: 128x64"},
      {{"--virtual", "128"}, "--virtual: expected WIDTHxHEIGHT, such as 128x128: 128"},
      {{"--virtual", "4294967296x1"},
       "--virtual: expected WIDTHxHEIGHT, such as 128x128: 4294967296x1"},
      {{"--display-takes", "-1"}, "--display-takes: expected a number from 0: -1"},
      {{"--display-write-fails", "EFOO"},
       "--display-write-fails: expected an errno name such as EIO, or its number: EFOO"},
      {{"--display-write-fails", "0"},
       "--display-write-fails: expected an errno name such as EIO, or its number: 0"},
      {{"--no-led", "yellow"}, "--no-led: no such LED: yellow"},
      {{"--no-attribute", "LED7"}, "--no-attribute: expected LED/ATTRIBUTE: LED7"},
      {{"--no-attribute", "LED7/trigger"}, "--no-attribute: no such attribute: trigger"},
      {{"--refuse", "LED10/brightness"}, "--refuse: no such LED: LED10"},
      {{"--platform", "windows"}, "--platform: expected one of device, linux: windows"},
      {{"--fb-memory", "4294967297"}, "--fb-memory: expected a number from 0: 4294967297"},
      {{"--led-trigger", "heartbeat"}, "--led-trigger: expected one of none, timer: heartbeat"},
      {{"--max-brightness", "0"}, "--max-brightness: expected a number from 1: 0"},
      {{"--max-brightness", "65536"}, "--max-brightness: expected a number from 1: 65536"},
      {{"--no-such-knob"}, "no such knob: --no-such-knob"},
      // The first refusal stops the rest.
      {{"--tools-talk", "--stop", "x", "--start", "y"}, "--stop: not an exit status or signal: x"},
  };
  for (const auto& c : cases) {
    Scenario scenario;
    EXPECT_EQ(twin::apply_knobs(scenario, c.words), std::optional<std::string>(c.why));
  }
}

}  // namespace
