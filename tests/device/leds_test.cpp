// LED control against the twin's LED class: the bytes of every write, their
// order, and the messages and results when an LED or attribute is missing.
#include "leds.h"

#include <tuple>

#include "device_fixture.h"

namespace {

using expect::Write;
using expect::writes;

class Leds : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    use_leds(all_leds());
  }
};

TEST_F(Leds, OnWritesTheBrightnessInDecimal) {
  EXPECT_EQ(led_on(0, 255), 0);
  EXPECT_EQ(led_on(6, 0), 0);
  EXPECT_EQ(led_on(8, 7), 0);
  EXPECT_EQ(writes(recorded()), (expect::Writes{{"LED1:YELLOW:PIN1", "brightness", "255\n"},
                                                {"LED7:RED", "brightness", "0\n"},
                                                {"LED9:BLUE:BLUETOOTH", "brightness", "7\n"}}));
}

TEST_F(Leds, OffAndBlinkStopWriteZeroToOneAttributeEach) {
  EXPECT_EQ(led_off(3), 0);
  EXPECT_EQ(led_blink_stop(3), 0);
  EXPECT_EQ(writes(recorded()), (expect::Writes{{"LED4:YELLOW:PIN4", "brightness", "0\n"},
                                                {"LED4:YELLOW:PIN4", "delay_on", "0\n"}}));
}

TEST_F(Leds, BlinkStartWritesOnTimeThenOffTime) {
  EXPECT_EQ(led_blink_start(7, 500, 250), 0);
  EXPECT_EQ(led_blink_start(7, 51, 51), 0);
  EXPECT_EQ(writes(recorded()), (expect::Writes{{"LED8:GREEN", "delay_on", "500\n"},
                                                {"LED8:GREEN", "delay_off", "250\n"},
                                                {"LED8:GREEN", "delay_on", "51\n"},
                                                {"LED8:GREEN", "delay_off", "51\n"}}));
}

TEST_F(Leds, BlinkRatesOf50msOrLessAreRefusedBeforeAnyOpen) {
  for (auto [on, off] : {std::pair{50u, 500u}, {500u, 50u}, {0u, 0u}}) {
    int result = -1;
    EXPECT_EQ(stdout_of([&] { result = led_blink_start(7, on, off); }),
              "LED Test: Error blink rate not supported\n");
    EXPECT_EQ(result, 1);
  }
  EXPECT_TRUE(recorded().led_writes.empty());
}

TEST_F(Leds, LargeBlinkTimesAreWrittenUnsigned) {
  EXPECT_EQ(led_blink_start(0, 4000000000u, 100), 0);
  EXPECT_EQ(recorded().led_writes.at(0).text, "4000000000\n");
}

TEST_F(Leds, RefusedValueStillCountsAsDone) {
  auto layout = all_leds();
  layout["LED1:YELLOW:PIN1"].refusing = {"brightness"};
  layout["LED8:GREEN"].refusing = {"delay_off"};
  use_leds(layout);
  EXPECT_EQ(led_on(0, 255), 0);
  EXPECT_EQ(led_blink_start(7, 500, 500), 0);
  const auto w = recorded().led_writes;
  ASSERT_EQ(w.size(), 3u);
  EXPECT_FALSE(w[0].accepted);
  EXPECT_TRUE(w[1].accepted);
  EXPECT_FALSE(w[2].accepted);
}

TEST_F(Leds, MissingDirectoryIsNotAvailableWithEachOperationsWording) {
  auto layout = all_leds();
  layout.erase("LED2:YELLOW:PIN2");
  use_leds(layout);
  int results[4];
  const std::string out = stdout_of([&] {
    results[0] = led_on(1, 255);
    results[1] = led_off(1);
    results[2] = led_blink_start(1, 50, 50);  // presence is checked before the rate
    results[3] = led_blink_stop(1);
  });
  EXPECT_EQ(out, expect::kLedMissingInOn + expect::kLedMissing + expect::kLedMissing +
                     expect::kLedMissing);
  for (int r : results) EXPECT_EQ(r, 1);
  EXPECT_TRUE(recorded().led_writes.empty());
}

TEST_F(Leds, MissingAttributeIsAnOpenFailureNamingIt) {
  auto layout = all_leds();
  layout["LED1:YELLOW:PIN1"].missing = {"brightness", "delay_on"};
  use_leds(layout);
  int results[4];
  const std::string out = stdout_of([&] {
    results[0] = led_on(0, 1);
    results[1] = led_off(0);
    results[2] = led_blink_start(0, 100, 100);
    results[3] = led_blink_stop(0);
  });
  // The LED class cannot create files, so the open fails with EACCES (13).
  EXPECT_EQ(out,
            "LED Test: Error failed to open file /sys/class/leds/LED1:YELLOW:PIN1/brightness. "
            "Error 13\n"
            "LED Test: Error failed to open file /sys/class/leds/LED1:YELLOW:PIN1/brightness\n"
            "LED Test: Error failed to open file /sys/class/leds/LED1:YELLOW:PIN1/delay_on\n"
            "LED Test: Error failed to open file /sys/class/leds/LED1:YELLOW:PIN1/delay_on\n");
  for (int r : results) EXPECT_EQ(r, 1);
  EXPECT_TRUE(recorded().led_writes.empty());
}

TEST_F(Leds, MissingDelayOffLeavesDelayOnUnwritten) {
  auto layout = all_leds();
  layout["LED8:GREEN"].missing = {"delay_off"};
  use_leds(layout);
  int result = 0;
  EXPECT_EQ(stdout_of([&] { result = led_blink_start(7, 500, 500); }),
            "LED Test: Error failed to open file /sys/class/leds/LED8:GREEN/delay_off\n");
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(recorded().led_writes.empty());
}

TEST_F(Leds, IndexOutsideTheTableIsAnLedThatIsNotThere) {
  int results[3];
  const std::string out = stdout_of([&] {
    results[0] = led_on(9, 255);
    results[1] = led_off(-1);
    results[2] = led_blink_start(1000, 100, 100);
  });
  EXPECT_EQ(out, expect::kLedMissingInOn + expect::kLedMissing + expect::kLedMissing);
  for (int r : results) EXPECT_EQ(r, 1);
  errno = 0;
  EXPECT_EQ(led_file_open(9, "/brightness"), nullptr);
  EXPECT_EQ(errno, EINVAL);
}

TEST_F(Leds, StatusTellsWhetherTheFirstBrightnessExists) {
  std::string out = stdout_of([] { EXPECT_EQ(get_led_status(), 1); });
  auto layout = all_leds();
  layout["LED1:YELLOW:PIN1"].missing = {"brightness"};
  use_leds(layout);
  out += stdout_of([] { EXPECT_EQ(get_led_status(), 0); });
  EXPECT_EQ(out, "");
  EXPECT_TRUE(recorded().led_writes.empty());
}

TEST_F(Leds, FileOpenGivesAWritableStreamOrNullWithErrno) {
  FILE* stream = led_file_open(8, "/brightness");
  ASSERT_NE(stream, nullptr);
  fputs("12\n", stream);
  fclose(stream);
  EXPECT_EQ(recorded().led_writes.at(0).text, "12\n");
  errno = 0;
  EXPECT_EQ(led_file_open(8, "/trigger"), nullptr);
  EXPECT_EQ(errno, EACCES);
}

}  // namespace
