// The console font. The reader prints why a font does not load on standard
// output; that message is caught in a memory file and becomes part of the
// item's line, so that the check's output stays one line per item.
#include "check-font.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "bdf-reader.h"
#include "font.h"

namespace {

constexpr const char* kFontPath = "/usr/share/fonts/6x16.bdf";
constexpr int kCellWidth = 6;
constexpr int kCellHeight = 16;
// Every text the program draws on the display.
constexpr const char* kDrawnTexts[] = {"K300-RESTOREMARK-V1-0", "Success.", "Error."};
constexpr size_t kMessageSize = 200;

// Loads the font with standard output going to a memory file; the first line
// printed meanwhile lands in `message`.
int load_catching_output(char (&message)[kMessageSize]) {
  message[0] = '\0';
  fflush(stdout);
  const int memory = memfd_create("restoremark-check-font", MFD_CLOEXEC);
  const int saved = memory >= 0 ? dup(STDOUT_FILENO) : -1;
  if (saved < 0 || dup2(memory, STDOUT_FILENO) < 0) {
    if (memory >= 0) close(memory);
    if (saved >= 0) close(saved);
    return font_load(kFontPath);  // its message then stands on a line of its own
  }
  const int result = font_load(kFontPath);
  fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  const ssize_t length = pread(memory, message, kMessageSize - 1, 0);
  close(memory);
  message[length > 0 ? length : 0] = '\0';
  message[strcspn(message, "\n")] = '\0';
  return result;
}

// The first character of the drawn texts the font has no glyph for, or 0.
char missing_glyph(const char*& text) {
  for (const char* drawn : kDrawnTexts) {
    for (const char* c = drawn; *c != '\0'; ++c) {
      if (get_bdf_char(static_cast<uint8_t>(*c)) == nullptr) {
        text = drawn;
        return *c;
      }
    }
  }
  return 0;
}

}  // namespace

void check_font(item_result& item) {
  char message[kMessageSize];
  if (load_catching_output(message) != 0) {
    item_fail(item, "%s does not load: %s", kFontPath,
              message[0] != '\0' ? message : "the reader gave no reason");
    return;
  }
  if (current_font.width != kCellWidth || current_font.height != kCellHeight) {
    item_fail(item, "%s has cells of %dx%d, not 6x16", kFontPath, current_font.width,
              current_font.height);
  }
  const char* text = nullptr;
  if (const char missing = missing_glyph(text)) {
    item_fail(item, "%s has no glyph for '%c' of \"%s\"", kFontPath, missing, text);
  }
  item_measured(item,
                "%s loads in 6x16 cells, %d glyphs, one for every character of \"%s\", "
                "\"%s\" and \"%s\"",
                kFontPath, current_font.count, kDrawnTexts[0], kDrawnTexts[1], kDrawnTexts[2]);
}
