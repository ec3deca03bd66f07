// The frame-buffer console against a /dev/fb0 of the test's own: a plain file
// whose screen information the twin's preload library answers, and which
// takes every push of the whole image at its start.
#include "console_fixture.h"

namespace {

using console_test::Console;
using console_test::kFontPath;
using console_test::solid_font;
namespace fs = std::filesystem;

TEST_F(Console, StartsWithoutWritingAndKeepsOneDescriptor) {
  const int before = support::open_descriptors();
  EXPECT_EQ(stdout_of([&] { EXPECT_EQ(start(), 0); }), "");
  EXPECT_EQ(fs::file_size("/dev/fb0"), 0u);
  EXPECT_EQ(support::open_descriptors(), before + 1);
  lcd_term();
  started_ = false;
  EXPECT_EQ(support::open_descriptors(), before);
}

TEST_F(Console, StartFailuresSayWhyAndLeaveNoDescriptor) {
  const int before = support::open_descriptors();
  settings.fb_info_refused = true;
  apply();
  EXPECT_EQ(stdout_of([&] { EXPECT_EQ(start(), 1); }),
            "Failed to obtain the display information.\n");
  settings.fb_info_refused = false;
  set_geometry(100, 64, 1);
  EXPECT_EQ(stdout_of([&] { EXPECT_EQ(start(), 1); }),
            "Unsupported display geometry 100x64 at 1 bits per pixel.\n");
  unlink("/dev/fb0");
  EXPECT_EQ(stdout_of([&] { EXPECT_EQ(start(), 1); }), "Failed to open the display device.\n");
  EXPECT_EQ(support::open_descriptors(), before);
}

TEST_F(Console, ClearPushesTheBackgroundOfTheBitmapsMode) {
  ASSERT_EQ(start(), 0);
  EXPECT_EQ(lcd_clear(), 0);
  mmap_set_inverted();
  EXPECT_EQ(lcd_clear(), 0);
  // The scrolled-in line is cleared to 0 whatever the inverted mode.
  EXPECT_EQ(lcd_puts(""), 0);
  const auto f = frames();
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0], std::string(1024, '\0'));
  EXPECT_EQ(f[1], std::string(1024, '\xff'));
  EXPECT_EQ(f[2], std::string(768, '\xff') + std::string(256, '\0'));
}

TEST_F(Console, EachLineGoesOnTheBottomAndPushesTheOthersUp) {
  ASSERT_EQ(start(), 0);
  lcd_clear();
  EXPECT_EQ(lcd_puts("AB"), 0);
  EXPECT_EQ(lcd_puts("C"), 0);
  EXPECT_EQ(lcd_puts(""), 0);
  const auto f = frames();
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(inside_outside(f[1], 0, 48, 12, 64), std::make_pair(12 * 16, 0));
  EXPECT_EQ(inside_outside(f[2], 0, 32, 12, 48).first, 12 * 16);
  EXPECT_EQ(inside_outside(f[2], 0, 48, 6, 64), std::make_pair(6 * 16, 12 * 16));
  EXPECT_EQ(inside_outside(f[3], 0, 16, 12, 32).first, 12 * 16);
  EXPECT_EQ(inside_outside(f[3], 0, 32, 6, 48), std::make_pair(6 * 16, 12 * 16));
}

TEST_F(Console, LongLineIsCutAtTheScreensCapacity) {
  ASSERT_EQ(start(), 0);
  lcd_clear();
  lcd_puts("0123456789012345678901234567890");  // 31 characters, 21 fit
  const auto f = frames();
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(inside_outside(f[1], 0, 48, 126, 64), std::make_pair(21 * 6 * 16, 0));
}

TEST_F(Console, PushThatTakesSomeBytesCountsAsDoneOneThatTakesNoneDoesNot) {
  ASSERT_EQ(start(), 0);
  settings.fb_takes = 100;
  apply();
  EXPECT_EQ(stdout_of([] { EXPECT_EQ(lcd_update(), 0); }), "");
  settings.fb_takes = 0;
  apply();
  EXPECT_EQ(stdout_of([] {
              EXPECT_EQ(lcd_update(), 1);
              EXPECT_EQ(lcd_clear(), 1);
              EXPECT_EQ(lcd_puts("x"), 1);
            }),
            expect::kDisplayNotUpdated + expect::kDisplayNotUpdated + expect::kDisplayNotUpdated);
  EXPECT_EQ(fs::file_size("/dev/fb0"), 100u);
}

TEST_F(Console, SmallerFontKeepsTheLineHeightAndCapacity) {
  install_font(solid_font(4, 8));
  ASSERT_EQ(start(), 0);
  lcd_clear();
  lcd_puts("0123456789012345678901234567890");
  const auto f = frames();
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(inside_outside(f[1], 0, 48, 84, 56), std::make_pair(21 * 4 * 8, 0));
}

TEST_F(Console, LargerFontDrawsNothingOutsideTheImage) {
  install_font(solid_font(16, 30));
  ASSERT_EQ(start(), 0);
  lcd_clear();
  lcd_puts("AB");
  const auto f = frames();
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(fs::file_size("/dev/fb0"), 1024u);  // each push at the start
  // Two 16 x 30 cells at the bottom line, cut off by the bottom edge.
  EXPECT_EQ(inside_outside(f[1], 0, 48, 32, 64), std::make_pair(32 * 16, 0));
}

TEST_F(Console, MissingFontDoesNotStopTheConsole) {
  unlink(kFontPath);
  EXPECT_EQ(stdout_of([&] { EXPECT_EQ(start(), 0); }),
            "Failed to open font file - /usr/share/fonts/6x16.bdf\n");
  EXPECT_EQ(lcd_puts("AB"), 0);
  EXPECT_EQ(frames(), (std::vector<std::string>{std::string(1024, '\0')}));
}

TEST_F(Console, DeeperPixelsPushTheWholeImage) {
  set_geometry(128, 64, 8);
  ASSERT_EQ(start(), 0);
  lcd_puts("A");
  const auto f = frames(8192);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].size(), 8192u);
  EXPECT_EQ(inside_outside(f[0].substr(0, 1024), 0, 48, 6, 64), std::make_pair(6 * 16, 0));
  EXPECT_EQ(f[0].substr(1024), std::string(8192 - 1024, '\0'));
}

}  // namespace
