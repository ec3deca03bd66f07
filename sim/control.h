// What the twin's pieces inside the sandbox (the preload library and the fake
// device tools) share with the twin outside it: fixed paths of the control
// folder and the journal's line format. Header-only and libc-only, because the
// preload library is loaded into the device program.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>

namespace twin_control {

// The control folder, bound into the sandbox at this path.
inline constexpr const char* kDir = "/run/restoremark-twin";
// Every event, one line each, appended in the order it happened.
inline constexpr const char* kJournal = "/run/restoremark-twin/journal";
// "key=value" lines read by the preload library.
inline constexpr const char* kSettings = "/run/restoremark-twin/settings";
// "tool option answer" lines read by the fake tools.
inline constexpr const char* kAnswers = "/run/restoremark-twin/answers";
// The preload library itself.
inline constexpr const char* kPreload = "/run/restoremark-twin/libtwin-preload.so";

// A journal line: fields separated by tabs, ended by a line feed. Inside a
// field every byte that is not printable ASCII, and '%', are written as %XX.
class Line {
 public:
  explicit Line(const char* kind) { append_field(kind); }

  void field(const char* text) { field(text, text == nullptr ? 0 : __builtin_strlen(text)); }
  void field(const char* bytes, size_t size) {
    put('\t');
    for (size_t i = 0; i < size; ++i) {
      const auto c = static_cast<unsigned char>(bytes[i]);
      if (c < 0x20 || c >= 0x7f || c == '%') {
        static constexpr char kHex[] = "0123456789ABCDEF";
        put('%');
        put(kHex[c >> 4]);
        put(kHex[c & 15]);
      } else {
        put(static_cast<char>(c));
      }
    }
  }
  void number(long long value) {
    char text[32];
    const int n = snprintf(text, sizeof text, "%lld", value);
    field(text, n > 0 ? static_cast<size_t>(n) : 0);
  }

  // Appends the line to the journal with one write, keeping errno as it was so
  // that the program under test sees no trace of the recording.
  bool commit(const char* journal = kJournal) {
    const int saved = errno;
    put('\n');
    bool ok = !overflow_;
    const int fd = open(journal, O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
      ok = false;
    } else {
      ok = write(fd, text_, used_) == static_cast<ssize_t>(used_) && ok;
      close(fd);
    }
    errno = saved;
    return ok;
  }

 private:
  void append_field(const char* text) {
    for (; *text != '\0'; ++text) put(*text);
  }
  void put(char c) {
    if (used_ < sizeof text_ - 1) {
      text_[used_++] = c;
    } else {
      overflow_ = true;
    }
  }

  char text_[16384];
  size_t used_ = 0;
  bool overflow_ = false;
};

}  // namespace twin_control
