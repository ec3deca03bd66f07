// restoremark-render run as a user runs it: exit status, messages, and the
// PNG it writes, decoded again with libpng.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "build-paths.h"
#include "files.h"
#include "font_builder.h"

namespace {

struct Result {
  int status;
  std::string output;  // standard output and standard error together
};

struct Decoded {
  bool ok = false;
  unsigned width = 0;
  unsigned height = 0;
  std::vector<uint8_t> grey;

  bool black(unsigned x, unsigned y) const { return grey[y * width + x] == 0x00; }
  bool white(unsigned x, unsigned y) const { return grey[y * width + x] == 0xFF; }
};

std::string shell_quoted(const std::string& arg) {
  std::string text = "'";
  for (const char c : arg) {
    text += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return text + "'";
}

class RenderToolTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "render_tool_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    png_ = dir_ + "/out.png";
  }

  void TearDown() override { std::filesystem::remove_all(dir_); }

  Result run(const std::vector<std::string>& args) const {
    std::string command = shell_quoted(build_paths::kRenderTool);
    for (const std::string& arg : args) {
      command += " " + shell_quoted(arg);
    }
    const std::string log = dir_ + "/log.txt";
    const int raw = std::system((command + " >" + shell_quoted(log) + " 2>&1").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, support::read_file(log)};
  }

  Decoded decode() const {
    Decoded decoded;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, png_.c_str()) == 0) {
      return decoded;
    }
    image.format = PNG_FORMAT_GRAY;
    decoded.grey.resize(PNG_IMAGE_SIZE(image));
    decoded.ok = png_image_finish_read(&image, nullptr, decoded.grey.data(), 0, nullptr) != 0;
    decoded.width = image.width;
    decoded.height = image.height;
    return decoded;
  }

  // A 6 x 16 font with one glyph, 'X': a solid block of the whole cell.
  std::string write_block_font() const {
    return test_fonts::FontBuilder()
        .name("block")
        .size(16, 75, 75)
        .property("FONT_ASCENT 12")
        .glyph(
            test_fonts::Glyph('X').name("X").widths(500, 6).rows(std::vector<uint32_t>(16, 0xFC)))
        .write(dir_ + "/block.bdf");
  }

  bool png_exists() const { return std::filesystem::exists(png_); }

  std::string dir_;
  std::string png_;
};

TEST_F(RenderToolTest, DrawsSetPixelsBlackOnWhiteScaledOnTheBottomLine) {
  const std::string font = write_block_font();
  const Result result = run(
      {"--font", font, "--width", "16", "--height", "32", "--scale", "2", "--output", png_, "X"});
  ASSERT_EQ(result.status, 0) << result.output;
  const Decoded image = decode();
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.width, 32u);
  EXPECT_EQ(image.height, 64u);
  for (unsigned y = 0; y < image.height; ++y) {
    for (unsigned x = 0; x < image.width; ++x) {
      const bool in_cell = x < 12 && y >= 32;
      ASSERT_TRUE(in_cell ? image.black(x, y) : image.white(x, y)) << x << ", " << y;
    }
  }
}

TEST_F(RenderToolTest, EachTextIsALineAndEarlierLinesMoveUp) {
  const std::string font = write_block_font();
  Result result = run({"--font", font, "--width", "16", "--height", "32", "--scale", "1",
                       "--double-width", "--output", png_, "X", " "});
  ASSERT_EQ(result.status, 0) << result.output;
  Decoded image = decode();
  ASSERT_TRUE(image.ok);
  // Top line: the block twice as wide. Bottom line: the space, which the font
  // lacks, as a blank cell.
  for (unsigned y = 0; y < 32; ++y) {
    for (unsigned x = 0; x < 16; ++x) {
      ASSERT_EQ(image.black(x, y), y < 16 && x < 12) << x << ", " << y;
    }
  }

  result = run({"--font", font, "--width", "16", "--height", "16", "--scale", "1", "--inverted",
                "--output", png_, " "});
  ASSERT_EQ(result.status, 0) << result.output;
  image = decode();
  ASSERT_TRUE(image.ok);
  for (unsigned y = 0; y < 16; ++y) {
    for (unsigned x = 0; x < 16; ++x) {
      ASSERT_EQ(image.black(x, y), x < 6) << x << ", " << y;
    }
  }
}

TEST_F(RenderToolTest, RendersThePackageNameWithTheShippedFont) {
  const Result result = run({"--output", png_, "K300-RESTOREMARK-V1-0"});
  ASSERT_EQ(result.status, 0) << result.output;
  const Decoded image = decode();
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.width, 512u);
  EXPECT_EQ(image.height, 256u);
  bool ink_above = false;
  bool ink_below = false;
  for (unsigned y = 0; y < image.height; ++y) {
    for (unsigned x = 0; x < image.width; ++x) {
      (y < 192 ? ink_above : ink_below) |= image.black(x, y);
    }
  }
  EXPECT_FALSE(ink_above);
  EXPECT_TRUE(ink_below);
}

TEST_F(RenderToolTest, WrongCommandLinesFailWithAMessageAndNoImage) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--output", png_}, "no TEXT"},
      {{"text"}, "--output FILE.png is required"},
      {{"--width", "abc", "--output", png_, "x"}, "--width wants a whole number"},
      {{"--height", "-16", "--output", png_, "x"}, "--height wants a whole number"},
      {{"--scale", "0", "--output", png_, "x"}, "--scale wants a whole number"},
      {{"--width", "12x", "--output", png_, "x"}, "--width wants a whole number"},
      {{"--width", "100", "--output", png_, "x"}, "--width must be a multiple of 8"},
      {{"--bold", "--output", png_, "x"}, "unknown option --bold"},
      {{"--output", png_, "--font"}, "--font needs a value"},
      {{"--output", png_, "1", "2", "3", "4", "5"},
       "too many lines: 5 given, a 64-row image holds 4"},
      {{"--output", png_, "0123456789012345678901"}, "does not fit: a 128-pixel line holds 21"},
  };
  for (const Case& c : cases) {
    const Result result = run(c.args);
    EXPECT_EQ(result.status, 2) << c.message;
    EXPECT_NE(result.output.find(c.message), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("usage:"), std::string::npos);
    EXPECT_FALSE(png_exists()) << c.message;
  }
}

TEST_F(RenderToolTest, FontOrOutputFailuresFailWithAMessage) {
  Result result = run({"--font", dir_ + "/missing.bdf", "--output", png_, "x"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("cannot load the font " + dir_ + "/missing.bdf"), std::string::npos)
      << result.output;
  EXPECT_FALSE(png_exists());

  result = run({"--font", write_block_font(), "--output", dir_ + "/no/such/dir.png", "X"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("cannot create " + dir_ + "/no/such/dir.png"), std::string::npos)
      << result.output;
}

TEST_F(RenderToolTest, TextAfterDoubleDashMayStartWithADash) {
  const std::string font = write_block_font();
  const Result result = run({"--font", font, "--output", png_, "--", "--X"});
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_TRUE(decode().ok);
}

}  // namespace
