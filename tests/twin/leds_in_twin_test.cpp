// What the procedure does when the LED class is not as it expects: missing
// LEDs and attributes are reported by the LED operations and change nothing
// else; values the class refuses go unnoticed.
#include "twin_fixture.h"

using namespace expect;

namespace {

using ProcedureLeds = TwinTest;

TEST_F(ProcedureLeds, MissingGreenLedIsReportedAtEachUse) {
  twin::Scenario scenario;
  scenario.missing_leds = {7};
  const auto r = run_on_leds(scenario);
  const std::string& missing = kLedMissing;
  EXPECT_EQ(r.out,
            kBanner + missing + missing + missing + "Success.\n" + missing + kLedMissingInOn);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(picture(r), "LLLLLL..L");
}

TEST_F(ProcedureLeds, MissingDelayOffLeavesTheBlinkUnstarted) {
  twin::Scenario scenario;
  scenario.missing_attributes = {{7, "delay_off"}};
  const auto r = run_on_leds(scenario);
  EXPECT_EQ(r.out,
            kBanner + "LED Test: Error failed to open file /sys/class/leds/LED8:GREEN/delay_off\n" +
                "Success.\n");
  Writes start(kStartPattern.begin(), kStartPattern.end() - 2);  // no delay_on, no delay_off
  EXPECT_EQ(writes(r), concat(start, kSuccessPattern));
}

TEST_F(ProcedureLeds, RefusedValuesAreNotNoticed) {
  twin::Scenario scenario;
  scenario.refusing_attributes = {{8, "brightness"}, {7, "delay_on"}};
  const auto r = run_on_leds(scenario);
  EXPECT_EQ(r.out, kBanner + "Success.\n");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(writes(r), concat(kStartPattern, kSuccessPattern));  // every write was attempted
  EXPECT_EQ(refused_writes(r), 4u);  // green delay_on three times, blue brightness once
  EXPECT_EQ(picture(r), "LLLLLL.L.");
}

}  // namespace
