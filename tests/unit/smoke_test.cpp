#include <gtest/gtest.h>

#include "bdf-reader.h"

TEST(FontState, StartsEmpty) {
  EXPECT_EQ(current_font.chars, nullptr);
  EXPECT_EQ(get_bdf_char(65), nullptr);
}
