// The writing half of the twin's journal: one line per record, appended to
// the journal file with one write, in the order things happened. Used inside
// the sandbox (the preload library, the fake device tools) and by the LED
// file system, so it needs nothing but the C library.
//
// A record is its kind and its fields, each field after a tab, ended by a
// line feed. Inside a field every byte that is not printable ASCII, and '%',
// is written as %XX, so a field never holds a tab or a line end. The
// decoder (journal.h) knows each kind's fields and refuses anything else.
//
// A record is never split or merged: one that does not fit the buffer is
// replaced by a "lost" record naming its kind, which the decoder reports as
// a lost record. A record that cannot be written at all is reported on
// standard error, where the twin's runs and tests look for anything at all.
#pragma once

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace journal {

// The record kinds, as they stand at the start of a line.
inline constexpr const char* kLoaded = "loaded";     // preload library: it is in the program
inline constexpr const char* kTool = "tool";         // fake tool: a call as it arrived
inline constexpr const char* kWait = "wait";         // preload: a child's end as the parent saw it
inline constexpr const char* kLed = "led";           // LED class: one write system call
inline constexpr const char* kFbInfo = "fb-info";    // preload: a screen information request
inline constexpr const char* kFbWrite = "fb-write";  // preload: one write to the display
inline constexpr const char* kPower = "power";       // preload: a request on /dev/power
inline constexpr const char* kSleep = "sleep";       // preload: a sleep, in nanoseconds
inline constexpr const char* kSync = "sync";         // preload: a sync()
inline constexpr const char* kUsage = "usage";       // preload: peak memory at exit
inline constexpr const char* kLost = "lost";         // a record too large to keep
// Written by the full-system suite's power driver, which stands in for the
// device's outside any sandbox: an open of /dev/power, with its flags.
inline constexpr const char* kPowerOpen = "power-open";
// Written by a fake tool that takes time (a scenario's tool time): how long,
// in nanoseconds.
inline constexpr const char* kToolTime = "tool-time";

// Writes to a file descriptor without passing through any wrapper of
// write(): the preload library wraps write() itself.
inline ssize_t raw_write(int fd, const void* data, size_t size) {
  return syscall(SYS_write, fd, data, size);
}

class Writer {
 public:
  explicit Writer(const char* kind) : kind_(kind) { put_raw(kind); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  Writer& field(const char* text) { return field(text, text == nullptr ? 0 : strlen(text)); }
  Writer& field(const char* bytes, size_t size) {
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
    return *this;
  }
  Writer& number(long long value) {
    char text[32];
    const int n = snprintf(text, sizeof text, "%lld", value);
    return field(text, n > 0 ? static_cast<size_t>(n) : 0);
  }

  // Appends the record to `path` with one write and keeps errno as it was,
  // so that the program under test sees no trace of the recording. Returns
  // false, after saying so on standard error, when the record did not reach
  // the journal whole.
  bool commit(const char* path) {
    const int saved = errno;
    const bool ok = append(path);
    errno = saved;
    return ok;
  }

 private:
  bool append(const char* path) {
    const int fd = open(path, O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return complain("cannot open", path);
    if (overflow_) {
      // The record itself is gone; the journal says so in its place.
      used_ = 0;
      overflow_ = false;
      put_raw(kLost);
      put('\t');
      put_raw(kind_);
    }
    put('\n');
    const ssize_t written = raw_write(fd, text_, used_);
    close(fd);
    if (written != static_cast<ssize_t>(used_)) return complain("cannot append to", path);
    return true;
  }

  bool complain(const char* what, const char* path) {
    char message[512];
    const int n = snprintf(message, sizeof message,
                           "restoremark-twin: %s the journal %s: a %s record is lost (%s)\n", what,
                           path, kind_, strerror(errno));
    if (n > 0) raw_write(2, message, static_cast<size_t>(n) < sizeof message ? n : sizeof message);
    return false;
  }

  void put_raw(const char* text) {
    for (; *text != '\0'; ++text) put(*text);
  }
  void put(char c) {
    if (used_ < sizeof text_ - 1) {
      text_[used_++] = c;
    } else {
      overflow_ = true;
    }
  }

  const char* kind_;
  char text_[65536];
  size_t used_ = 0;
  bool overflow_ = false;
};

}  // namespace journal
