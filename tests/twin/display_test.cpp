// The procedure on a device with a writable display: what the screen shows
// after every push, pixel for pixel, and how a display that cannot start or
// cannot be drawn on ends the run.
#include <unistd.h>

#include <cerrno>

#include "twin_fixture.h"

using namespace expect;

namespace {

using Display = TwinTest;

TEST_F(Display, SuccessShowsBannerThenOutcomeAndTouchesNoLed) {
  const auto r = run(preset("success"));
  EXPECT_EQ(r.out, kBanner + "Success.\n");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_TRUE(r.led_writes.empty());
  const twin::Geometry g;
  EXPECT_EQ(screens(r), (std::vector<std::vector<std::string>>{
                            blank(g), screen(g, {"K300-RESTOREMARK-V1-0"}),
                            screen(g, {"K300-RESTOREMARK-V1-0", "Success."})}));
  for (const auto& frame : r.frames) EXPECT_EQ(frame.bytes.size(), 1024u);
  // Each whole image lands at the start of the display memory and leaves the
  // file position alone.
  for (const auto& push : r.pushes) EXPECT_EQ(push.position, 0);
  EXPECT_TRUE(r.display_memory == r.frames.back().bytes + std::string((8 << 20) - 1024, '\0'));
  EXPECT_EQ(
      trace(r),
      "T(--stop) D D T(--make-factory) T(--make-restore) D Y T(--remove) Y P(accepted) S(10)");
  EXPECT_EQ(r.log(), std::nullopt);
}

TEST_F(Display, ToolsInheritTheDisplayDescriptor) {
  const auto calls = run(preset("success")).tool_calls;
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_NE(calls[1].descriptors.find("=/dev/fb0"), std::string::npos) << calls[1].descriptors;
  EXPECT_EQ(calls[3].descriptors.find("=/dev/fb0"), std::string::npos) << calls[3].descriptors;
}

TEST_F(Display, RefusedFactoryFlagEndsWithErrorOnTheBottomLine) {
  const auto r = run(preset("factory-refused"));
  EXPECT_EQ(r.out, kBanner + "Error.\n");
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.log(), kFactoryLine);
  EXPECT_TRUE(r.led_writes.empty());
  const auto frames = r.frames;
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames.back().rows(), screen({}, {"K300-RESTOREMARK-V1-0", "Error."}));
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRemove, kStart}));
}

TEST_F(Display, DisplayThatCannotStartEndsTheRunWithItsLogLine) {
  const auto r = run(preset("display-fails"));
  EXPECT_EQ(r.out, kBanner + "Failed to obtain the display information.\n");
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.log(), kDisplayLine);
  EXPECT_EQ(r.log()->size(), 45u);
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kRemove, kStart}));
  EXPECT_TRUE(r.frames.empty());
  EXPECT_TRUE(r.led_writes.empty());
}

TEST_F(Display, ReadOnlyDisplayMeansLedMode) {
  const auto r = run(preset("display-readonly"));
  EXPECT_EQ(r.out, kBanner + "Success.\n");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(writes(r), concat(kStartPattern, kSuccessPattern));
  EXPECT_TRUE(r.frames.empty());
}

TEST_F(Display, NarrowScreenCutsTheBannerToTwentyCharacters) {
  const twin::Geometry g{120, 64, 1};
  const auto r = run(on_display("success", g));
  EXPECT_EQ(r.exit_status, 0);
  const auto frames = r.frames;
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[1].rows(), screen(g, {"K300-RESTOREMARK-V1-"}));
  EXPECT_EQ(frames[2].rows(), screen(g, {"K300-RESTOREMARK-V1-0", "Success."}));
}

TEST_F(Display, OneLineScreenShowsOnlyTheNewestLine) {
  const twin::Geometry g{64, 16, 1};
  const auto r = run(on_display("success", g));
  EXPECT_EQ(r.exit_status, 0);
  ASSERT_EQ(r.frames.size(), 3u);
  EXPECT_EQ(r.frames[2].rows(), screen(g, {"Success."}));
}

TEST_F(Display, DeeperPixelsPushTheWholeImageWithTheRestBlank) {
  const twin::Geometry g{128, 64, 8};
  const auto r = run(on_display("success", g));
  EXPECT_EQ(r.exit_status, 0);
  const auto frames = r.frames;
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[2].bytes.size(), 8192u);
  EXPECT_EQ(frames[2].rows(), screen(g, {"K300-RESTOREMARK-V1-0", "Success."}));
  EXPECT_EQ(frames[2].bytes.substr(1024), std::string(8192 - 1024, '\0'));
}

TEST_F(Display, UndrawableGeometriesEndLikeADisplayThatCannotStart) {
  const std::vector<std::pair<twin::Geometry, std::string>> odd = {
      {{128, 15, 1}, "128x15 at 1"},                 // lower than one text line
      {{128, 0, 1}, "128x0 at 1"},                   // no rows at all
      {{0, 64, 1}, "0x64 at 1"},                     // no columns
      {{124, 64, 1}, "124x64 at 1"},                 // rows of part bytes
      {{128, 64, 0}, "128x64 at 0"},                 // no bits per pixel
      {{65536, 65536, 8}, "65536x65536 at 8"},       // size beyond 32 bits
      {{4294967288u, 64, 1}, "4294967288x64 at 1"},  // width beyond the bitmap's range
  };
  for (const auto& [geometry, text] : odd) {
    SCOPED_TRACE(text);
    expect_refused_display(run(on_display("success", geometry)), text);
  }
}

TEST_F(Display, MissingFontStillRunsTheConsoleWithEmptyLines) {
  options_.files.font.clear();
  const auto r = run(preset("success"));
  EXPECT_EQ(r.out, kBanner + "Failed to open font file - /usr/share/fonts/6x16.bdf\nSuccess.\n");
  EXPECT_EQ(r.exit_status, 0);
  ASSERT_EQ(r.frames.size(), 3u);
  for (const auto& frame : r.frames) EXPECT_EQ(frame.rows(), blank({}));
}

TEST_F(Display, DisplayThatTakesPartOfAPushCountsAsUpdated) {
  auto scenario = preset("success");
  scenario.display_write_limit = 100;
  const auto r = run(scenario);
  EXPECT_EQ(r.out, kBanner + "Success.\n");
  EXPECT_EQ(r.exit_status, 0);
  ASSERT_EQ(r.pushes.size(), 3u);
  for (const auto& push : r.pushes) EXPECT_EQ(push.result, 100);
  EXPECT_EQ(r.display_memory.substr(0, 100), r.pushes.back().bytes);
}

// The console draws into xres_virtual x yres: a screen whose lines are
// longer than it shows, and whose virtual height is more than it shows.
TEST_F(Display, ImageIsTheVirtualWidthByTheVisibleHeight) {
  const auto scenario = with_knobs("success", {"--geometry", "120x64x1", "--virtual", "128x128"});
  const auto r = run(scenario);
  expect_exit(r, 0);
  const twin::Geometry& g = scenario.geometry;
  EXPECT_EQ(screens(r),
            (std::vector<std::vector<std::string>>{blank(g), screen(g, {kBannerLine}),
                                                   screen(g, {kBannerLine, "Success."})}));
  for (const auto& push : r.pushes) EXPECT_EQ(push.offered, 128 * 64 / 8);
}

// A push that takes nothing, or fails, is reported at each push; the
// display does not decide the run.
TEST_F(Display, PushThatTakesNothingOrFailsIsReportedAtEachPush) {
  struct Case {
    std::vector<std::string> knobs;
    long long result;
    int error;
  };
  for (const auto& c :
       {Case{{"--display-takes", "0"}, 0, 0}, Case{{"--display-write-fails", "EIO"}, -1, EIO}}) {
    SCOPED_TRACE(c.knobs[0]);
    const auto r = run(with_knobs("success", c.knobs));
    expect_exit(r, 0);
    EXPECT_EQ(r.out, kBanner + kDisplayNotUpdated + kDisplayNotUpdated + "Success.\n" +
                         kDisplayNotUpdated);
    ASSERT_EQ(r.pushes.size(), 3u);
    for (const auto& push : r.pushes) {
      EXPECT_EQ(push.result, c.result);
      EXPECT_EQ(push.error, c.error);
    }
    EXPECT_TRUE(r.frames.empty());
  }
}

}  // namespace
