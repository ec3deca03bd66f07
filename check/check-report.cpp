// Item results and their lines. The detail text is built with vsnprintf in
// the record's own buffer, so a long detail is cut rather than overrun.
#include "check-report.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

constexpr const char* kTitles[kItemCount] = {
    "Every whole-image write shows the whole image from the start of the screen",
    "A 1-bit-per-pixel geometry",
    "Every LED's blink attributes are there at each moment of the patterns",
    "\"0\" in delay_on ends a blink",
    "Brightness values",
    "The /dev/power request",
    "The tools' exit status",
    "A FAT volume at /mnt/vfat",
    "The console font",
};

constexpr size_t kLineSize = 640;

__attribute__((format(printf, 2, 0))) void append(item_result& item, const char* format,
                                                  va_list arguments) {
  const size_t room = sizeof item.detail - item.length;
  if (room <= 1) return;
  // Every caller starts the list right before; clang-tidy 14 sees it uninitialised on one path
  // when it checks several files in one run.
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
  const int n = vsnprintf(item.detail + item.length, room, format, arguments);
  if (n > 0) item.length += static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room - 1;
}

void append_text(item_result& item, const char* text) {
  const size_t room = sizeof item.detail - item.length;
  const size_t n = strnlen(text, room - 1);
  memcpy(item.detail + item.length, text, n);
  item.length += n;
  item.detail[item.length] = '\0';
}

__attribute__((format(printf, 2, 0))) void replace(item_result& item, const char* format,
                                                   va_list arguments) {
  item.length = 0;
  item.detail[0] = '\0';
  append(item, format, arguments);
}

__attribute__((format(printf, 2, 0))) void append_note(item_result& item, const char* format,
                                                       va_list arguments) {
  if (item.length > 0) append_text(item, "; ");
  append(item, format, arguments);
}

}  // namespace

// printf-style, so that the compiler checks every format against its arguments.
void item_fail(item_result& item, const char* fmt, ...) {  // NOLINT(cert-dcl50-cpp): printf-style
  if (item.failed) return;
  item.failed = true;
  va_list arguments;
  va_start(arguments, fmt);
  replace(item, fmt, arguments);
  va_end(arguments);
}

void item_measured(item_result& item, const char* fmt, ...) {  // NOLINT(cert-dcl50-cpp): as above
  if (item.failed) return;
  va_list arguments;
  va_start(arguments, fmt);
  replace(item, fmt, arguments);
  va_end(arguments);
}

void item_note(item_result& item, const char* fmt, ...) {  // NOLINT(cert-dcl50-cpp): as above
  va_list arguments;
  va_start(arguments, fmt);
  append_note(item, fmt, arguments);
  va_end(arguments);
}

const char* item_title(int number) {
  return number >= 1 && number <= kItemCount ? kTitles[number - 1] : "?";
}

void format_item_line(char* out, size_t size, int number, const item_result& item) {
  snprintf(out, size, "%s %d %s (%.*s)", item.failed ? "FAIL" : "PASS", number, item_title(number),
           static_cast<int>(item.length), item.detail);
}

size_t print_item(int number, const item_result& item, size_t from, bool finished) {
  char line[kLineSize];
  format_item_line(line, sizeof line, number, item);
  size_t end = strlen(line);
  if (!finished && end > 0) --end;  // the closing parenthesis waits for the notes
  if (from < end) fwrite(line + from, 1, end - from, stdout);
  if (finished) fputc('\n', stdout);
  fflush(stdout);
  return end;
}

int exit_status(const item_result (&items)[kItemCount]) {
  return std::any_of(std::begin(items), std::end(items),
                     [](const item_result& item) { return item.failed; })
             ? 1
             : 0;
}
