// The platform check's reading of LED attributes as the LED class prints
// them, and the writes that put an LED back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "check-led-state.h"

namespace {

struct scanned {
  bool found;
  std::string selected;
  bool offers_timer;
};

// Feeds `text` in pieces of `piece` bytes, as reads of any size would.
scanned scan(const std::string& text, size_t piece) {
  trigger_scan s{};
  for (size_t at = 0; at < text.size(); at += piece) {
    trigger_scan_feed(s, text.data() + at, std::min(piece, text.size() - at));
  }
  trigger_scan_finish(s);
  return {s.found, s.found ? s.selected : "", s.offers_timer};
}

TEST(CheckTriggerText, SelectedTriggerAndTimerWhateverThePieces) {
  const std::string many(300, 'x');  // a word longer than any trigger name
  struct example {
    std::string text;
    scanned expected;
  };
  for (const example& e : std::vector<example>{
           {"none [timer] heartbeat\n", {true, "timer", true}},
           {"[none] timer\n", {true, "none", true}},
           {"[none] kbd-scrolllock mmc0\n", {true, "none", false}},
           {"none default-on [heartbeat]", {true, "heartbeat", false}},  // no line end
           {"none timer\n", {false, "", true}},                          // nothing selected
           {"[" + many + "] timer\n", {false, "", true}},                // too long to keep
           {many + " [timer]\n", {true, "timer", true}},
           {"[] [none\n", {false, "", false}},
           {"", {false, "", false}},
       }) {
    for (const size_t piece : {size_t{1}, size_t{3}, size_t{4096}}) {
      SCOPED_TRACE(e.text.substr(0, 40) + " in pieces of " + std::to_string(piece));
      const scanned got = scan(e.text, piece);
      EXPECT_EQ(got.found, e.expected.found);
      EXPECT_EQ(got.selected, e.expected.selected);
      EXPECT_EQ(got.offers_timer, e.expected.offers_timer);
    }
  }
}

TEST(CheckLedValue, DecimalAsTheClassPrintsIt) {
  struct example {
    const char* text;
    bool reads;
    unsigned long value;
  };
  for (const example& e :
       {example{"0\n", true, 0}, example{"255\n", true, 255}, example{"500", true, 500},
        example{"18446744073709551615\n", true, ~0UL}, example{"18446744073709551616\n", false, 0},
        example{"\n", false, 0}, example{"", false, 0}, example{"-1\n", false, 0},
        example{" 5\n", false, 0}, example{"5 \n", false, 0}, example{"0\n0\n", false, 0},
        example{"12a\n", false, 0}}) {
    if (sizeof(unsigned long) < 8 && std::strlen(e.text) > 12) continue;  // 64-bit values only
    SCOPED_TRACE(e.text);
    unsigned long value = 7;
    EXPECT_EQ(parse_led_value(e.text, std::strlen(e.text), value), e.reads);
    EXPECT_EQ(value, e.reads ? e.value : 7);
  }
}

led_state state(unsigned long brightness, const char* trigger, long delay_on, long delay_off) {
  led_state s{};
  s.has_brightness = true;
  s.brightness = brightness;
  s.has_trigger = trigger != nullptr;
  if (trigger != nullptr) std::strcpy(s.trigger, trigger);
  s.has_delay_on = delay_on >= 0;
  s.delay_on = delay_on >= 0 ? static_cast<unsigned long>(delay_on) : 0;
  s.has_delay_off = delay_off >= 0;
  s.delay_off = delay_off >= 0 ? static_cast<unsigned long>(delay_off) : 0;
  return s;
}

std::string plan_of(const led_state& saved) {
  led_write plan[kMaxRestoreWrites];
  const int count = led_restore_plan(saved, plan);
  std::string text;
  for (int i = 0; i < count; ++i) text += std::string(plan[i].attribute) + "=" + plan[i].text;
  return text;
}

// The trigger first, then the delays, the brightness last, and never a 0
// that would end a trigger or a blink the LED had.
TEST(CheckLedRestore, PlansWritesInAnOrderThatDoesNotUndoItself) {
  struct example {
    const char* what;
    led_state saved;
    const char* plan;
  };
  for (const example& e : {
           example{"stock, dark", state(0, "none", -1, -1), "trigger=none\nbrightness=0\n"},
           example{"stock, lit", state(1, "none", -1, -1), "trigger=none\nbrightness=1\n"},
           example{"stock, blinking, read dark", state(0, "timer", 500, 500),
                   "trigger=timer\ndelay_on=500\ndelay_off=500\n"},
           example{"stock, blinking, read lit", state(1, "timer", 200, 800),
                   "trigger=timer\ndelay_on=200\ndelay_off=800\nbrightness=1\n"},
           example{"stock, heartbeat", state(0, "heartbeat", -1, -1), "trigger=heartbeat\n"},
           example{"device, steady", state(255, nullptr, 0, 500),
                   "delay_on=0\ndelay_off=500\nbrightness=255\n"},
           example{"device, blinking, read dark", state(0, nullptr, 500, 500),
                   "delay_on=500\ndelay_off=500\n"},
           example{"device, dark", state(0, nullptr, 0, 0),
                   "delay_on=0\ndelay_off=0\nbrightness=0\n"},
       }) {
    SCOPED_TRACE(e.what);
    EXPECT_EQ(plan_of(e.saved), e.plan);
  }
  led_state unread{};  // nothing could be read: nothing is written
  EXPECT_EQ(plan_of(unread), "");
}

TEST(CheckLedRestore, DifferenceOnlyInWhatARestorePutsBack) {
  const led_state blinking = state(0, "timer", 500, 500);
  EXPECT_EQ(led_restore_difference(blinking, blinking), nullptr);
  EXPECT_EQ(led_restore_difference(blinking, state(1, "timer", 500, 500)), nullptr);  // a phase
  EXPECT_STREQ(led_restore_difference(blinking, state(0, "none", -1, -1)), "trigger");
  EXPECT_STREQ(led_restore_difference(blinking, state(0, "timer", 0, 500)), "delay_on");
  EXPECT_STREQ(led_restore_difference(blinking, state(0, "timer", 500, -1)), "delay_off");
  EXPECT_STREQ(led_restore_difference(state(0, "none", -1, -1), state(1, "none", -1, -1)),
               "brightness");

  char was[kTriggerNameSize];
  char now[kTriggerNameSize];
  led_value_text(blinking, "trigger", was, sizeof was);
  led_value_text(state(0, "none", -1, -1), "delay_on", now, sizeof now);
  EXPECT_STREQ(was, "timer");
  EXPECT_STREQ(now, "absent");
}

}  // namespace
