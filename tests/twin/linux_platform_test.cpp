// The program on the twin's model of a stock Linux kernel (--platform
// linux): the LED class whose delay files exist only under the timer
// trigger, and the fbdev driver that writes at the file position within its
// display memory. What the program does there is what the system test sees
// on a real kernel; the program does not change for it.
#include <cerrno>
#include <tuple>

#include "twin_fixture.h"

using namespace expect;

namespace {

using LinuxPlatform = TwinTest;

std::string no_delay_on(const char* led) {
  return "LED Test: Error failed to open file /sys/class/leds/" + std::string(led) + "/delay_on\n";
}

TEST_F(LinuxPlatform, LedPatternsLoseEveryBlinkWithOrWithoutTheTimerAtStart) {
  std::string start;
  for (size_t i = 0; i < 8; ++i) start += no_delay_on(twin::kLeds[i].directory);
  start += no_delay_on("LED8:GREEN");  // the green blink cannot start
  const std::string out = kBanner + start + "Success.\n" + no_delay_on("LED8:GREEN");
  // The blue LED is never switched off: with the timer at start it blinks on.
  for (const auto& [trigger, leds] : {std::pair{"none", "LLLLLL.LL"}, {"timer", "LLLLLL.L~"}}) {
    SCOPED_TRACE(trigger);
    const auto r =
        run_on_leds(with_knobs("success", {"--platform", "linux", "--led-trigger", trigger}));
    expect_exit(r, 0);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(picture(r), leds);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(r.final_leds[i].trigger, "none") << i;
  }
}

TEST_F(LinuxPlatform, PushesLandAtTheFilePositionWithinTheDisplayMemory) {
  struct Case {
    const char* memory;
    std::vector<std::tuple<long long, int, long long>> pushes;  // result, errno, position
    std::string out;
  };
  const std::string failed = kDisplayNotUpdated;
  const std::vector<Case> cases = {
      {"8388608", {{1024, 0, 0}, {1024, 0, 1024}, {1024, 0, 2048}}, kBanner + "Success.\n"},
      {"1024",
       {{1024, 0, 0}, {-1, ENOSPC, 1024}, {-1, ENOSPC, 1024}},
       kBanner + failed + "Success.\n" + failed},
      // An image larger than the memory is cut to it; after that, a write
      // larger than the memory fails with EFBIG before it could be cut.
      {"512",
       {{512, 0, 0}, {-1, EFBIG, 512}, {-1, EFBIG, 512}},
       kBanner + failed + "Success.\n" + failed},
  };
  const twin::Geometry g;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.memory);
    const auto r = run(with_knobs("success", {"--platform", "linux", "--fb-memory", c.memory}));
    expect_exit(r, 0);
    EXPECT_EQ(r.out, c.out);
    ASSERT_EQ(r.pushes.size(), c.pushes.size());
    for (size_t i = 0; i < c.pushes.size(); ++i) {
      const auto& [result, error, position] = c.pushes[i];
      EXPECT_EQ(r.pushes[i].result, result) << i;
      EXPECT_EQ(r.pushes[i].error, error) << i;
      EXPECT_EQ(r.pushes[i].position, position) << i;
    }
    // The screen shows the start of the memory: the first push, blank.
    for (const auto& frame : r.frames) EXPECT_EQ(frame.rows(), blank(g));
  }
}

TEST_F(LinuxPlatform, BannerAndOutcomeLieBeyondTheScreen) {
  const auto r = run(with_knobs("factory-refused", {"--platform", "linux"}));
  expect_exit(r, 1);
  const twin::Geometry g;
  ASSERT_EQ(r.display_memory.size(), 8u << 20);
  const twin::Frame second{0, r.display_memory.substr(1024, 1024), g};
  const twin::Frame third{0, r.display_memory.substr(2048, 1024), g};
  EXPECT_EQ(second.rows(), screen(g, {kBannerLine}));
  EXPECT_EQ(third.rows(), screen(g, {kBannerLine, "Error."}));
  EXPECT_EQ(r.display_memory.find_first_not_of('\0', 3072), std::string::npos);
}

}  // namespace
