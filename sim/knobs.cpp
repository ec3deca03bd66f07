#include "knobs.h"

#include <cstring>

namespace twin {

namespace {

using Result = std::optional<std::string>;

Result answer(Scenario& s, const char* tool, const char* option, std::string_view v) {
  const auto a = parse_answer(v);
  if (!a) return "not an exit status or signal: " + std::string(v);
  s.answer(tool, option, *a);
  return std::nullopt;
}

Result led_attribute(std::set<std::pair<int, std::string>>& into, std::string_view v) {
  const auto slash = v.rfind('/');
  if (slash == std::string_view::npos) return "expected LED/ATTRIBUTE: " + std::string(v);
  const auto led = parse_led(v.substr(0, slash));
  if (!led) return "no such LED: " + std::string(v.substr(0, slash));
  const std::string attribute(v.substr(slash + 1));
  for (const char* known : kLedAttributes) {
    if (attribute == known) {
      into.insert({*led, attribute});
      return std::nullopt;
    }
  }
  return "no such attribute: " + attribute;
}

Result tool(std::set<std::string>& into, std::string_view v) {
  if (v != kMsd && v != kAuth) return "no such tool: " + std::string(v);
  into.insert(std::string(v));
  return std::nullopt;
}

Result count(long long& into, std::string_view v, long long low, long long max) {
  const auto n = parse_count(v, max);
  if (!n || *n < low)
    return "expected a number from " + std::to_string(low) + ": " + std::string(v);
  into = *n;
  return std::nullopt;
}

template <typename T>
Result choice(T& into, std::string_view v, std::initializer_list<std::pair<const char*, T>> names) {
  for (const auto& [name, value] : names) {
    if (v == name) {
      into = value;
      return std::nullopt;
    }
  }
  std::string list;
  for (const auto& [name, value] : names) list += (list.empty() ? "" : ", ") + std::string(name);
  return "expected one of " + list + ": " + std::string(v);
}

// An errno by name ("EIO") or number.
Result error_number(int& into, std::string_view v) {
  for (int e = 1; e < 134; ++e) {
    const char* name = strerrorname_np(e);
    if (name != nullptr && v == name) return into = e, std::nullopt;
  }
  long long n = 0;
  if (count(n, v, 1, 4095))
    return "expected an errno name such as EIO, or its number: " + std::string(v);
  into = static_cast<int>(n);
  return std::nullopt;
}

Result virtual_size(Geometry& g, std::string_view v) {
  const auto x = v.find('x');
  const auto w = parse_count(v.substr(0, x), 0xFFFFFFFF);
  const auto h =
      x == std::string_view::npos ? std::nullopt : parse_count(v.substr(x + 1), 0xFFFFFFFF);
  if (!w || !h) return "expected WIDTHxHEIGHT, such as 128x128: " + std::string(v);
  g.virtual_width = static_cast<uint32_t>(*w);
  g.virtual_height = static_cast<uint32_t>(*h);
  return std::nullopt;
}

Result set(bool& flag) { return flag = true, std::nullopt; }

Result cut_point(CutPoint& into, std::string_view v) {
  std::string names;
  for (const auto& entry : kCutPoints) {
    if (v == entry.name) return into = entry.point, std::nullopt;
    names += (names.empty() ? "" : ", ") + std::string(entry.name);
  }
  return "expected one of " + names + ": " + std::string(v);
}

// The table itself, in the order --help lists it.
const std::vector<Knob> kKnobs = {
    {"--stop", "A", "how orvex-msd answers --stop",
     [](Scenario& s, std::string_view v) { return answer(s, kMsd, "--stop", v); }},
    {"--start", "A", "how orvex-msd answers --start",
     [](Scenario& s, std::string_view v) { return answer(s, kMsd, "--start", v); }},
    {"--factory", "A", "how orvex-auth answers --make-factory",
     [](Scenario& s, std::string_view v) { return answer(s, kAuth, "--make-factory", v); }},
    {"--restore", "A", "how orvex-auth answers --make-restore",
     [](Scenario& s, std::string_view v) { return answer(s, kAuth, "--make-restore", v); }},
    {"--remove", "A", "how orvex-auth answers --remove",
     [](Scenario& s, std::string_view v) { return answer(s, kAuth, "--remove", v); }},
    {"--no-tool", "TOOL", "the tool is not installed (orvex-msd or orvex-auth)",
     [](Scenario& s, std::string_view v) { return tool(s.missing_tools, v); }},
    {"--tool-not-executable", "TOOL", "the tool is installed without execute permission",
     [](Scenario& s, std::string_view v) { return tool(s.non_executable_tools, v); }},
    {"--tools-talk", nullptr, "the tools print a line of their own on standard output",
     [](Scenario& s, std::string_view) { return set(s.tools_talk); }},
    {"--tool-time", "MS", "every tool call takes MS milliseconds before it answers",
     [](Scenario& s, std::string_view v) { return count(s.tool_time_ms, v, 0, 3600000); }},
    {"--no-package-files", nullptr, "the package files are not on the volume",
     [](Scenario& s, std::string_view) { return s.package_files = false, Result(); }},
    {"--log-blocked", nullptr, "a folder stands where the log file would be created",
     [](Scenario& s, std::string_view) { return set(s.log_blocked); }},
    {"--volume-readonly", nullptr, "the volume is mounted read-only",
     [](Scenario& s, std::string_view) { return set(s.volume_readonly); }},
    {"--volume-size", "BYTES", "the volume is a file system of that size",
     [](Scenario& s, std::string_view v) { return count(s.volume_size, v, 4096, 1LL << 40); }},
    {"--volume-full", nullptr,
     "a user's file fills the volume (64 KiB unless --volume-size says otherwise)",
     [](Scenario& s, std::string_view) {
       if (s.volume_size == 0) s.volume_size = kFullVolumeSize;
       return set(s.volume_full);
     }},
    {"--no-main-user-install", nullptr, "/usr/local/main-user/install does not exist",
     [](Scenario& s, std::string_view) { return s.main_user_install = false, Result(); }},
    {"--power", "MODE", "accept (default), refuse, missing or open-refused",
     [](Scenario& s, std::string_view v) {
       return choice(s.power, v,
                     {{"accept", Power::kAccepts},
                      {"refuse", Power::kRefuses},
                      {"missing", Power::kMissing},
                      {"open-refused", Power::kOpenRefused}});
     }},
    {"--no-display", nullptr, "a device without /dev/fb0: progress on the LEDs",
     [](Scenario& s, std::string_view) { return s.display = Display::kNone, Result(); }},
    {"--display-readonly", nullptr, "/dev/fb0 is there but not writable",
     [](Scenario& s, std::string_view) { return s.display = Display::kReadOnly, Result(); }},
    {"--display-fails", nullptr, "the screen information request is refused",
     [](Scenario& s, std::string_view) { return set(s.display_info_fails); }},
    {"--geometry", "WxHxBPP", "the visible screen: xres, yres, bits per pixel (128x64x1)",
     [](Scenario& s, std::string_view v) {
       const auto g = parse_geometry(v);
       if (!g) return Result("expected WIDTHxHEIGHTxBITS, such as 128x64x1: " + std::string(v));
       const Geometry old = s.geometry;
       s.geometry = *g;
       s.geometry.virtual_width = old.virtual_width;
       s.geometry.virtual_height = old.virtual_height;
       return Result();
     }},
    {"--virtual", "WxH", "xres_virtual and yres_virtual (default: the visible size)",
     [](Scenario& s, std::string_view v) { return virtual_size(s.geometry, v); }},
    {"--display-takes", "N", "the display takes at most N bytes per write (0: none)",
     [](Scenario& s, std::string_view v) {
       long long n = 0;
       if (auto why = count(n, v, 0, 0x7FFFFFFF)) return why;
       s.display_write_limit = static_cast<long>(n);
       return Result();
     }},
    {"--display-write-fails", "ERRNO", "every write to the display fails with that error (EIO)",
     [](Scenario& s, std::string_view v) { return error_number(s.display_write_error, v); }},
    {"--no-led", "LED", "the LED's directory is missing (LED: 0-8, LED7, LED7:RED or red)",
     [](Scenario& s, std::string_view v) {
       const auto led = parse_led(v);
       if (!led) return Result("no such LED: " + std::string(v));
       s.missing_leds.insert(*led);
       return Result();
     }},
    {"--no-attribute", "LED/ATTR", "the attribute is missing (device platform)",
     [](Scenario& s, std::string_view v) { return led_attribute(s.missing_attributes, v); }},
    {"--refuse", "LED/ATTR", "the attribute refuses every written value",
     [](Scenario& s, std::string_view v) { return led_attribute(s.refusing_attributes, v); }},
    {"--real-time", nullptr, "sleeps take their real time",
     [](Scenario& s, std::string_view) { return set(s.real_time); }},
    {"--platform", "NAME",
     "device (default): the platform the program is made for; linux: a stock kernel's LED "
     "class and fbdev driver",
     [](Scenario& s, std::string_view v) {
       return choice(s.platform, v, {{"device", Platform::kDevice}, {"linux", Platform::kLinux}});
     }},
    {"--fb-memory", "BYTES", "the display memory (default 8388608)",
     [](Scenario& s, std::string_view v) { return count(s.display_memory, v, 0, 1LL << 32); }},
    {"--led-trigger", "NAME", "linux platform: the trigger every LED starts with (none, timer)",
     [](Scenario& s, std::string_view v) {
       return choice(s.led_timer_trigger, v, {{"none", false}, {"timer", true}});
     }},
    {"--cut", "POINT",
     "the power goes during that tool call (stop, factory, restore, remove, start) or right "
     "after the power request (power)",
     [](Scenario& s, std::string_view v) { return cut_point(s.cut, v); }},
    {"--cut-delay", "MS",
     "the device runs on MS ms at the cut point before the power goes (default 0)",
     [](Scenario& s, std::string_view v) { return count(s.cut_delay_ms, v, 0, 600000); }},
    {"--max-brightness", "N", "linux platform: every LED's max_brightness (default 255)",
     [](Scenario& s, std::string_view v) {
       long long n = 0;
       if (auto why = count(n, v, 1, 0xFFFF)) return why;
       s.max_brightness = static_cast<unsigned>(n);
       return Result();
     }},
};

}  // namespace

const std::vector<Knob>& knobs() { return kKnobs; }

const Knob* find_knob(std::string_view name) {
  for (const auto& knob : knobs()) {
    if (name == knob.name) return &knob;
  }
  return nullptr;
}

std::optional<std::string> apply_knobs(Scenario& scenario, const std::vector<std::string>& words) {
  for (size_t i = 0; i < words.size(); ++i) {
    const Knob* knob = find_knob(words[i]);
    if (knob == nullptr) return "no such knob: " + words[i];
    std::string_view value;
    if (knob->value != nullptr) {
      if (i + 1 == words.size()) return words[i] + " needs a value (" + knob->value + ")";
      value = words[++i];
    }
    if (auto why = knob->apply(scenario, value)) return std::string(knob->name) + ": " + *why;
  }
  return std::nullopt;
}

std::string knobs_help() {
  constexpr size_t kColumn = 25;  // where the help text starts, as in the CLI's own help
  std::string out;
  for (const auto& knob : kKnobs) {
    std::string left =
        "  " + std::string(knob.name) + (knob.value ? " " + std::string(knob.value) : "");
    left += left.size() < kColumn - 1 ? std::string(kColumn - left.size(), ' ')
                                      : "\n" + std::string(kColumn, ' ');
    out += left + knob.help + "\n";
  }
  return out;
}

}  // namespace twin
