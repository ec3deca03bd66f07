#include "render-options.h"

#include <charconv>
#include <string_view>

namespace {

// Largest image side accepted: far beyond any display the device may have, and
// small enough that scaled images stay a sane size.
constexpr int kMaxSide = 4096;
constexpr int kMaxScale = 32;

bool parse_number(std::string_view name, const char* text, int low, int high, int& value,
                  std::string& error) {
  const std::string_view digits(text);
  const auto [end, result] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || result != std::errc() || end != digits.data() + digits.size() ||
      value < low || value > high) {
    error = std::string(name) + " wants a whole number from " + std::to_string(low) + " to " +
            std::to_string(high) + ", not \"" + std::string(digits) + "\"";
    return false;
  }
  return true;
}

bool check_fit(const render_options& options, std::string& error) {
  if (options.width % 8 != 0) {
    error = "--width must be a multiple of 8, not " + std::to_string(options.width);
    return false;
  }
  const size_t line_capacity = static_cast<size_t>(options.height / kLineHeight);
  if (options.lines.size() > line_capacity) {
    error = "too many lines: " + std::to_string(options.lines.size()) + " given, a " +
            std::to_string(options.height) + "-row image holds " + std::to_string(line_capacity);
    return false;
  }
  const size_t character_capacity = static_cast<size_t>(options.width / kCharacterWidth);
  for (const std::string& line : options.lines) {
    if (line.size() > character_capacity) {
      error = "\"" + line + "\" does not fit: a " + std::to_string(options.width) +
              "-pixel line holds " + std::to_string(character_capacity) + " characters";
      return false;
    }
  }
  return true;
}

}  // namespace

const char* const kRenderUsage =
    "usage: restoremark-render [--font FILE] [--width W] [--height H] [--double-width]\n"
    "                          [--double-height] [--inverted] [--scale N] --output FILE.png\n"
    "                          [--] TEXT...\n"
    "Draws each TEXT as one console line (newest at the bottom) and writes the image as\n"
    "a PNG: set pixels black, clear pixels white, each pixel an N x N block.\n"
    "Defaults: the source tree's fonts/6x16.bdf, 128 x 64 pixels, scale 4.\n"
    "Exit status: 0 written, 1 font or output failed, 2 wrong command line or text too long.\n";

bool parse_render_options(int argc, const char* const* argv, render_options& options,
                          std::string& error) {
  bool options_done = false;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg(argv[i]);
    if (options_done || arg.empty() || arg[0] != '-') {
      options.lines.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
    } else if (arg == "--double-width") {
      options.double_width = true;
    } else if (arg == "--double-height") {
      options.double_height = true;
    } else if (arg == "--inverted") {
      options.inverted = true;
    } else if (arg == "--font" || arg == "--output" || arg == "--width" || arg == "--height" ||
               arg == "--scale") {
      if (i + 1 == argc) {
        error = std::string(arg) + " needs a value";
        return false;
      }
      const char* value = argv[++i];
      if (arg == "--font") {
        options.font = value;
      } else if (arg == "--output") {
        options.output = value;
      } else if (!parse_number(arg, value, 1, arg == "--scale" ? kMaxScale : kMaxSide,
                               arg == "--width"    ? options.width
                               : arg == "--height" ? options.height
                                                   : options.scale,
                               error)) {
        return false;
      }
    } else {
      error = "unknown option " + std::string(arg);
      return false;
    }
  }
  if (options.output.empty()) {
    error = "--output FILE.png is required";
    return false;
  }
  if (options.lines.empty()) {
    error = "no TEXT to draw";
    return false;
  }
  return check_fit(options, error);
}
