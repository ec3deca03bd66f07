// The platform check's item lines and exit status.
#include <gtest/gtest.h>

#include <string>

#include "bdf_test_support.h"
#include "check-report.h"

namespace {

std::string line(int number, const item_result& item) {
  char text[700];
  format_item_line(text, sizeof text, number, item);
  return text;
}

TEST(CheckReport, TheFirstFailureStaysAndNotesFollowIt) {
  item_result item{};
  item_measured(item, "measured %d", 1);
  EXPECT_EQ(line(9, item), "PASS 9 The console font (measured 1)");
  item_fail(item, "first %s", "failure");
  item_fail(item, "second failure");
  item_measured(item, "measured again");
  item_note(item, "put back");
  EXPECT_EQ(line(2, item), "FAIL 2 A 1-bit-per-pixel geometry (first failure; put back)");

  item_result bare{};
  item_note(bare, "only a note");
  EXPECT_EQ(line(4, bare), "PASS 4 \"0\" in delay_on ends a blink (only a note)");
}

TEST(CheckReport, ALongDetailIsCutInsideItsRecord) {
  item_result item{};
  const std::string long_text(1000, 'x');
  item_measured(item, "%s", long_text.c_str());
  item_note(item, "%s", "lost");
  EXPECT_EQ(item.length, sizeof item.detail - 1);
  EXPECT_EQ(item.detail[item.length], '\0');
  const std::string text = line(1, item);
  EXPECT_EQ(text.substr(text.size() - 3), "xx)") << "the line is not cut";
}

// A line printed in two parts, a note added between them, reads as one.
TEST(CheckReport, ALineLeftOpenIsFinishedWithItsNotes) {
  item_result item{};
  item_measured(item, "geometry");
  const std::string printed = support::capture_stdout([&] {
    const size_t open = print_item(2, item, 0, false);
    item_note(item, "put back");
    print_item(2, item, open, true);
  });
  EXPECT_EQ(printed, line(2, item) + "\n");
  EXPECT_EQ(printed, "PASS 2 A 1-bit-per-pixel geometry (geometry; put back)\n");
}

TEST(CheckReport, ExitStatusIsOneWhenAnyItemFails) {
  item_result items[kItemCount] = {};
  EXPECT_EQ(exit_status(items), 0);
  item_fail(items[kItemCount - 1], "no font");
  EXPECT_EQ(exit_status(items), 1);
  EXPECT_STREQ(item_title(kItemCount + 1), "?");
}

}  // namespace
