// Command line of restoremark-render: parsed and checked before anything is
// drawn, so that every mistake is reported with a message and no image.
#pragma once

#include <string>
#include <vector>

struct render_options {
  std::string font;
  int width = 128;
  int height = 64;
  bool double_width = false;
  bool double_height = false;
  bool inverted = false;
  int scale = 4;
  std::string output;
  std::vector<std::string> lines;
};

// The console's text grid: every line is 16 rows high and holds width / 6
// characters, whatever the font's cell size.
inline constexpr int kLineHeight = 16;
inline constexpr int kCharacterWidth = 6;

// Fills `options` from the arguments (after the program name). Returns false
// with a one-line `error` when the command line is wrong or the text does not
// fit the image.
bool parse_render_options(int argc, const char* const* argv, render_options& options,
                          std::string& error);

// How to call the tool.
extern const char* const kRenderUsage;
