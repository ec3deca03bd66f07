// How the twin's device behaves, as the pieces inside the sandbox read it:
// the power driver's answer, the frame buffer's screen information and how
// it takes writes, virtual or real time, and how each device tool answers
// each option and how long it takes. One file of "key=value" lines, written by the twin (or a
// device test) and read afresh at every use by the preload library and the
// fake tools, so that a test can change the device between calls. Its one
// encoder and one strict decoder are here; both need only the C library.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"

namespace twin_settings {

using twin::Platform;

// How a device tool ends for one option: with an exit status, or killed.
struct Answer {
  char tool[16] = "";
  char option[32] = "";
  bool by_signal = false;
  int value = 0;
};

// Where the power is cut: during a tool call ("orvex-auth --make-factory"),
// or right after the power request, named as this tool and option.
inline constexpr const char* kPowerCutTool = "power";
inline constexpr const char* kPowerCutOption = "request";

struct Settings {
  // How writes to the frame buffer land, within `fb_memory` bytes: the stock
  // Linux fbdev driver writes at the file position and advances it; the
  // device's stores each whole-image write from the start of the screen and
  // leaves the position alone, and takes any other write as the stock one.
  Platform platform = Platform::kDevice;
  bool power_refuses = false;
  bool real_time = false;
  bool tools_talk = false;
  long long tool_time_ms = 0;  // every tool call takes this long before it answers
  bool fb_info_refused = false;
  unsigned xres = 128, yres = 64, xres_virtual = 128, yres_virtual = 64, bits_per_pixel = 1;
  long fb_takes = -1;       // bytes the display takes per write; -1: all offered
  int fb_fails = 0;         // errno with which every write fails; 0: none
  long long fb_memory = 0;  // display memory in bytes
  int answer_count = 0;
  Answer answers[16];
  // The power cut, if any: the call it comes in and how long the device
  // runs on there before the power goes.
  char cut_tool[16] = "";
  char cut_option[32] = "";
  long long cut_delay_ms = 0;
};

// Whether the power goes during `tool option`.
inline bool cuts_at(const Settings& s, const char* tool, const char* option) {
  return s.cut_tool[0] != '\0' && strcmp(s.cut_tool, tool) == 0 && strcmp(s.cut_option, option) == 0;
}

// Sets the power cut. False when a name is too long for it.
inline bool set_cut(Settings& s, const char* tool, const char* option, long long delay_ms) {
  if (strlen(tool) >= sizeof s.cut_tool || strlen(option) >= sizeof s.cut_option) return false;
  strcpy(s.cut_tool, tool);
  strcpy(s.cut_option, option);
  s.cut_delay_ms = delay_ms;
  return true;
}

// The answer for `tool option`, or null when it succeeds (exit 0).
inline const Answer* find_answer(const Settings& s, const char* tool, const char* option) {
  const Answer* found = nullptr;
  for (int i = 0; i < s.answer_count; ++i) {
    if (strcmp(s.answers[i].tool, tool) == 0 && strcmp(s.answers[i].option, option) == 0) {
      found = &s.answers[i];
    }
  }
  return found;
}

// Adds or replaces an answer. False when the table is full or a name is too
// long for it.
inline bool set_answer(Settings& s, const char* tool, const char* option, bool by_signal,
                       int value) {
  Answer* slot = const_cast<Answer*>(find_answer(s, tool, option));
  if (slot == nullptr) {
    if (s.answer_count == static_cast<int>(sizeof s.answers / sizeof s.answers[0])) return false;
    if (strlen(tool) >= sizeof slot->tool || strlen(option) >= sizeof slot->option) return false;
    slot = &s.answers[s.answer_count++];
    strcpy(slot->tool, tool);
    strcpy(slot->option, option);
  }
  slot->by_signal = by_signal;
  slot->value = value;
  return true;
}

inline bool write_settings(const Settings& s, const char* path) {
  FILE* file = fopen(path, "we");
  if (file == nullptr) return false;
  fprintf(file, "platform=%s\n", s.platform == Platform::kLinux ? "linux" : "device");
  fprintf(file, "power=%s\n", s.power_refuses ? "refuse" : "accept");
  fprintf(file, "time=%s\n", s.real_time ? "real" : "virtual");
  fprintf(file, "tools=%s\n", s.tools_talk ? "talk" : "quiet");
  if (s.tool_time_ms != 0) fprintf(file, "tools.time=%lld\n", s.tool_time_ms);
  fprintf(file, "fb.info=%s\n", s.fb_info_refused ? "refuse" : "answer");
  fprintf(file, "fb.geometry=%u %u %u %u %u\n", s.xres, s.yres, s.xres_virtual, s.yres_virtual,
          s.bits_per_pixel);
  fprintf(file, "fb.takes=%ld\nfb.fails=%d\nfb.memory=%lld\n", s.fb_takes, s.fb_fails, s.fb_memory);
  for (int i = 0; i < s.answer_count; ++i) {
    const Answer& a = s.answers[i];
    fprintf(file, "answer=%s %s %s %d\n", a.tool, a.option, a.by_signal ? "signal" : "exit",
            a.value);
  }
  if (s.cut_tool[0] != '\0') {
    fprintf(file, "cut=%s %s %lld\n", s.cut_tool, s.cut_option, s.cut_delay_ms);
  }
  const bool written = ferror(file) == 0;
  return fclose(file) == 0 && written;
}

namespace detail {

// One whole decimal number from `text` to its end (or to a space, which
// then moves `text` past it).
inline bool number(const char*& text, long long low, long long high, long long* out) {
  char* end = nullptr;
  errno = 0;
  const long long value = strtoll(text, &end, 10);
  if (end == text || errno != 0 || value < low || value > high) return false;
  if (*end != '\0' && *end != ' ') return false;
  text = *end == ' ' ? end + 1 : end;
  *out = value;
  return true;
}

inline bool choice(const char* value, const char* no, const char* yes, bool* out) {
  if (strcmp(value, no) == 0) return *out = false, true;
  if (strcmp(value, yes) == 0) return *out = true, true;
  return false;
}

inline bool geometry(const char* text, Settings* s) {
  unsigned* fields[] = {&s->xres, &s->yres, &s->xres_virtual, &s->yres_virtual, &s->bits_per_pixel};
  for (unsigned* field : fields) {
    long long value = 0;
    if (!number(text, 0, 0xFFFFFFFFLL, &value)) return false;
    *field = static_cast<unsigned>(value);
  }
  return *text == '\0';
}

inline bool answer(const char* text, Settings* s) {
  char tool[16], option[32], kind[8];
  int value = 0;
  int used = 0;
  if (sscanf(text, "%15s %31s %7s %d%n", tool, option, kind, &value, &used) != 4) return false;
  if (text[used] != '\0') return false;
  const bool by_signal = strcmp(kind, "signal") == 0;
  if (!by_signal && strcmp(kind, "exit") != 0) return false;
  if (value < (by_signal ? 1 : 0) || value > (by_signal ? 64 : 255)) return false;
  return set_answer(*s, tool, option, by_signal, value);
}

inline bool cut(const char* text, Settings* s) {
  char tool[16], option[32];
  long long delay = 0;
  int used = 0;
  if (sscanf(text, "%15s %31s %n", tool, option, &used) != 2) return false;
  const char* rest = text + used;
  if (!number(rest, 0, 600000, &delay) || *rest != '\0') return false;
  return set_cut(*s, tool, option, delay);
}

inline bool line(const char* key, const char* value, Settings* s) {
  long long n = 0;
  const char* v = value;
  if (strcmp(key, "platform") == 0) {
    bool on_linux = false;
    if (!choice(value, "device", "linux", &on_linux)) return false;
    s->platform = on_linux ? Platform::kLinux : Platform::kDevice;
    return true;
  }
  if (strcmp(key, "power") == 0) return choice(value, "accept", "refuse", &s->power_refuses);
  if (strcmp(key, "time") == 0) return choice(value, "virtual", "real", &s->real_time);
  if (strcmp(key, "tools") == 0) return choice(value, "quiet", "talk", &s->tools_talk);
  if (strcmp(key, "tools.time") == 0) {
    return number(v, 0, 3600000, &s->tool_time_ms) && *v == '\0';
  }
  if (strcmp(key, "fb.info") == 0) return choice(value, "answer", "refuse", &s->fb_info_refused);
  if (strcmp(key, "fb.geometry") == 0) return geometry(value, s);
  if (strcmp(key, "fb.takes") == 0) {
    if (!number(v, -1, 0x7FFFFFFF, &n) || *v != '\0') return false;
    s->fb_takes = static_cast<long>(n);
    return true;
  }
  if (strcmp(key, "fb.fails") == 0) {
    if (!number(v, 0, 4095, &n) || *v != '\0') return false;
    s->fb_fails = static_cast<int>(n);
    return true;
  }
  if (strcmp(key, "fb.memory") == 0) {
    if (!number(v, 0, 1LL << 40, &n) || *v != '\0') return false;
    s->fb_memory = n;
    return true;
  }
  if (strcmp(key, "answer") == 0) return answer(value, s);
  if (strcmp(key, "cut") == 0) return cut(value, s);
  return false;
}

}  // namespace detail

// Reads the settings file whole. A line that is not one of the lines above
// fails the read with `why` naming it: a device set up wrongly must not pass
// for one set up as asked.
inline bool read_settings(const char* path, Settings* s, char* why, size_t why_size) {
  *s = Settings{};
  FILE* file = fopen(path, "re");
  if (file == nullptr) {
    snprintf(why, why_size, "cannot open %s: %s", path, strerror(errno));
    return false;
  }
  char text[256];
  int number = 0;
  bool ok = true;
  while (ok && fgets(text, sizeof text, file) != nullptr) {
    ++number;
    const size_t length = strlen(text);
    char* equals = strchr(text, '=');
    ok = length > 0 && text[length - 1] == '\n' && equals != nullptr;
    if (ok) {
      text[length - 1] = '\0';
      *equals = '\0';
      ok = detail::line(text, equals + 1, s);
      *equals = '=';
    }
    if (!ok) snprintf(why, why_size, "%s line %d is not a setting: %s", path, number, text);
  }
  fclose(file);
  return ok;
}

}  // namespace twin_settings
