#include "report.h"

#include <cstdio>
#include <sstream>

namespace twin {

namespace {

std::string seconds(double t) {
  char text[32];
  snprintf(text, sizeof text, "%7.3fs", t);
  return text;
}

std::string duration(double s) {
  char text[32];
  snprintf(text, sizeof text, "%g s", s);
  return text;
}

// Bytes as a C string literal: printable ASCII as is, the rest escaped.
std::string quoted(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string json_string(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\u%04x", c);  // bytes above 0x7f as code points
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

const char* kColours[] = {"33", "33", "33", "33", "33", "33", "31", "32", "34"};

// One LED as a fixed-width cell: "##" lit, ".." dark, "~500/500" blinking.
std::string cell(const LedState& led, size_t index, bool colour) {
  std::string text;
  if (led.blinking()) {
    text = "~" + led.delay_on + "/" + led.delay_off;
  } else if (led.lit()) {
    text = led.brightness == "255" ? "##" : "#" + led.brightness;
  } else {
    text = "..";
  }
  std::string padded = text + std::string(text.size() < 9 ? 9 - text.size() : 1, ' ');
  if (!colour || (!led.lit() && !led.blinking())) return padded;
  const std::string style = led.blinking() ? "5;" : "1;";
  return "\033[" + style + kColours[index] + "m" + text + "\033[0m" + padded.substr(text.size());
}

// The image in half blocks: each character shows two pixel rows.
std::string text_art(const Frame& frame) {
  static const char* kBlocks[] = {" ", "\u2580", "\u2584", "\u2588"};  // none, top, bottom, both
  const Geometry& g = frame.geometry;
  std::string out = "  +" + std::string(g.width, '-') + "+\n";
  for (uint32_t y = 0; y < g.height; y += 2) {
    out += "  |";
    for (uint32_t x = 0; x < g.width; ++x) {
      out += kBlocks[(frame.pixel(x, y) ? 1 : 0) + (frame.pixel(x, y + 1) ? 2 : 0)];
    }
    out += "|\n";
  }
  return out + "  +" + std::string(g.width, '-') + "+\n";
}

constexpr uint32_t kLargestTextArt = 320;

}  // namespace

std::vector<LedMoment> led_timeline(const RunResult& result) {
  std::vector<LedMoment> moments(1);
  moments[0].leds.assign(kLedNames.size(), LedState{});
  bool in_run = false;
  for (const auto& event : result.events) {
    if (event.kind != "led") {
      in_run = false;
      continue;
    }
    if (!in_run) moments.push_back({event.time, 0, moments.back().leds});
    in_run = true;
    LedMoment& now = moments.back();
    const auto& f = event.fields;
    if (f.size() == 4) apply(now.leds, {f[0], f[1], f[2], f[3] == "accepted", event.time});
    now.time = event.time;
    ++now.writes;
  }
  return moments;
}

std::string text_report(const RunResult& r, const ReportStyle& style) {
  std::ostringstream out;
  out << "---- standard output of restoremark ----\n" << r.out;
  if (!r.out.empty() && r.out.back() != '\n') out << "\n(no line end at the end)\n";
  if (!r.err.empty()) out << "---- standard error ----\n" << r.err;
  out << "---- exit status: ";
  if (r.signal) {
    out << "killed by signal " << r.signal << " ----\n";
  } else {
    out << r.exit_status << " ----\n";
  }

  out << "\nDevice report, scenario '" << r.scenario << "'\n";
  if (r.arch != Arch::kHost) {
    out << "(an " << arch_name(r.arch) << " program, run through " << emulator(r.arch).string()
        << ")\n";
  }
  out << "\nTool calls (argv as received; inherited descriptors):\n";
  if (r.tool_calls().empty()) out << "  none\n";
  for (const auto& call : r.tool_calls()) {
    out << "  " << seconds(call.time) << "  /usr/bin/" << call.tool << " ";
    for (const auto& arg : call.argv) out << " " << quoted(arg);
    out << "  -> " << call.outcome;
    if (!call.note.empty()) out << " (" << call.note << ")";
    out << "\n             descriptors: " << call.descriptors << "\n";
  }

  if (r.led_writes().empty()) {
    out << "\nLED timeline: no LED attribute was written\n";
  } else {
    out << "\nLED timeline (virtual time; ## lit, .. dark, ~on/off blinking in ms):\n";
    out << "  time    ";
    for (const char* name : kLedNames) {
      // "LED8:GREEN" -> "LED8 G": the LED and its colour.
      const std::string full(name);
      const auto colon = full.find(':');
      const std::string label = full.substr(0, colon) + " " + full.substr(colon + 1, 1);
      out << label << std::string(9 - label.size(), ' ');
    }
    out << "\n";
    const auto timeline = led_timeline(r);
    for (size_t m = 0; m < timeline.size(); ++m) {
      const auto& moment = timeline[m];
      out << "  " << (m == 0 ? std::string(" before ") : seconds(moment.time)) << " ";
      for (size_t i = 0; i < moment.leds.size(); ++i) out << cell(moment.leds[i], i, style.colour);
      if (m > 0) out << "(" << moment.writes << (moment.writes == 1 ? " write)" : " writes)");
      out << "\n";
    }
    size_t refused = 0;
    for (const auto& w : r.led_writes()) refused += w.accepted ? 0 : 1;
    out << "  " << r.led_writes().size() << " attribute writes";
    if (refused) out << ", " << refused << " refused by the LED class";
    out << "\n";
  }

  const auto frames = r.frames();
  out << "\nDisplay /dev/fb0: ";
  if (frames.empty())
    out << "nothing pushed\n";
  else
    out << frames.size() << " images pushed\n";
  for (size_t i = 0; i < frames.size(); ++i) {
    const Frame& frame = frames[i];
    out << "  frame " << i + 1 << " at " << seconds(frame.time) << ", " << frame.bytes.size()
        << " bytes";
    if (i < style.frame_files.size()) out << ", " << style.frame_files[i];
    out << "\n";
    if (frame.geometry.width <= kLargestTextArt && frame.geometry.height <= kLargestTextArt) {
      out << text_art(frame);
    }
  }

  out << "\nPower requests on /dev/power:\n";
  if (r.power_requests().empty()) out << "  none\n";
  for (const auto& p : r.power_requests()) {
    char line[128];
    snprintf(line, sizeof line, "ioctl(0x%llX, %lld) -> %s", p.request, p.argument,
             p.accepted ? "accepted" : "refused");
    out << "  " << seconds(p.time) << "  " << line << "\n";
  }

  out << "\nSleeps:\n";
  if (r.sleeps().empty()) out << "  none\n";
  for (const auto& s : r.sleeps())
    out << "  " << seconds(s.time) << "  " << duration(s.seconds) << "\n";

  out << "\nVolume /mnt/vfat after the run:\n";
  if (r.volume.empty()) out << "  empty\n";
  for (const auto& [name, bytes] : r.volume) {
    out << "  " << name;
    if (name.back() != '/') out << " (" << bytes.size() << " bytes)";
    out << "\n";
  }
  const auto log = r.log();
  out << "Log file: " << (log ? quoted(*log) : std::string("none")) << "\n";
  out << "Main-user install file: " << (r.main_user_install_left ? "still there" : "gone") << "\n";
  out << "Peak resident memory: ";
  if (const auto kib = r.peak_rss_kib()) {
    out << *kib << " KiB";
    if (r.arch != Arch::kHost) out << " (the emulator's, holding the program)";
    out << "\n";
  } else {
    out << "not recorded (the program did not exit)\n";
  }
  if (!r.image.empty()) out << "Device image kept at " << r.image.string() << "\n";
  return out.str();
}

std::string json_report(const RunResult& r) {
  std::ostringstream out;
  auto list = [&out](const auto& items, auto&& each) {
    out << "[";
    bool first = true;
    for (const auto& item : items) {
      out << (first ? "" : ",") << "\n    ";
      first = false;
      each(item);
    }
    out << (first ? "]" : "\n  ]");
  };
  out << "{\n  \"scenario\": " << json_string(r.scenario) << ",\n";
  out << "  \"arch\": " << json_string(std::string(arch_name(r.arch))) << ",\n";
  out << "  \"exit_status\": " << r.exit_status << ",\n  \"signal\": " << r.signal << ",\n";
  out << "  \"stdout\": " << json_string(r.out) << ",\n  \"stderr\": " << json_string(r.err)
      << ",\n";
  out << "  \"tool_calls\": ";
  list(r.tool_calls(), [&out](const ToolCall& c) {
    out << "{\"time\": " << c.time << ", \"tool\": " << json_string(c.tool) << ", \"argv\": [";
    for (size_t i = 0; i < c.argv.size(); ++i) out << (i ? ", " : "") << json_string(c.argv[i]);
    out << "], \"outcome\": " << json_string(c.outcome) << ", \"note\": " << json_string(c.note)
        << ", \"descriptors\": " << json_string(c.descriptors) << "}";
  });
  out << ",\n  \"led_writes\": ";
  list(r.led_writes(), [&out](const LedWrite& w) {
    out << "{\"time\": " << w.time << ", \"led\": " << json_string(w.led)
        << ", \"attribute\": " << json_string(w.attribute) << ", \"text\": " << json_string(w.text)
        << ", \"accepted\": " << (w.accepted ? "true" : "false") << "}";
  });
  out << ",\n  \"led_timeline\": ";
  list(led_timeline(r), [&out](const LedMoment& m) {
    out << "{\"time\": " << m.time << ", \"writes\": " << m.writes << ", \"leds\": {";
    for (size_t i = 0; i < m.leds.size(); ++i) {
      const auto& led = m.leds[i];
      out << (i ? ", " : "") << json_string(kLedNames[i])
          << ": {\"brightness\": " << json_string(led.brightness)
          << ", \"delay_on\": " << json_string(led.delay_on)
          << ", \"delay_off\": " << json_string(led.delay_off) << ", \"state\": \""
          << (led.blinking() ? "blinking"
              : led.lit()    ? "lit"
                             : "dark")
          << "\"}";
    }
    out << "}}";
  });
  out << ",\n  \"power_requests\": ";
  list(r.power_requests(), [&out](const PowerRequest& p) {
    out << "{\"time\": " << p.time << ", \"request\": " << p.request
        << ", \"argument\": " << p.argument << ", \"accepted\": " << (p.accepted ? "true" : "false")
        << "}";
  });
  out << ",\n  \"sleeps\": ";
  list(r.sleeps(), [&out](const Sleep& s) {
    out << "{\"time\": " << s.time << ", \"seconds\": " << s.seconds << "}";
  });
  out << ",\n  \"volume\": ";
  list(r.volume, [&out](const auto& entry) {
    out << "{\"name\": " << json_string(entry.first) << ", \"bytes\": " << json_string(entry.second)
        << "}";
  });
  out << ",\n  \"frames\": ";
  list(r.frames(), [&out](const Frame& f) {
    out << "{\"time\": " << f.time << ", \"bytes\": " << f.bytes.size()
        << ", \"width\": " << f.geometry.width << ", \"height\": " << f.geometry.height
        << ", \"rows\": [";
    const auto rows = f.rows();
    for (size_t i = 0; i < rows.size(); ++i) out << (i ? ", " : "") << json_string(rows[i]);
    out << "]}";
  });
  const auto log = r.log();
  out << ",\n  \"log\": " << (log ? json_string(*log) : "null");
  out << ",\n  \"main_user_install_left\": " << (r.main_user_install_left ? "true" : "false");
  const auto kib = r.peak_rss_kib();
  out << ",\n  \"peak_rss_kib\": " << (kib ? std::to_string(*kib) : "null");
  out << "\n}\n";
  return out.str();
}

}  // namespace twin
