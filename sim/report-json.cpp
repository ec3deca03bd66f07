// The report as one JSON document, for scripts. Byte strings that are plain
// text go in as {"text": ...}; any other bytes (a binary file on the volume,
// a control byte in the output) as {"base64": ...}.
#include <sstream>

#include "report.h"

namespace twin {

namespace {

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k) {
      group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0);
    }
    for (size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

std::string json_bytes(const std::string& bytes) {
  for (unsigned char c : bytes) {
    if ((c < 0x20 && c != '\n' && c != '\t') || c >= 0x7f) {
      return "{\"base64\": \"" + base64(bytes) + "\"}";
    }
  }
  return "{\"text\": " + json_string(bytes) + "}";
}

const char* boolean(bool value) { return value ? "true" : "false"; }

template <typename Items, typename Each>
void list(std::ostringstream& out, const char* name, const Items& items, Each&& each) {
  out << ",\n  \"" << name << "\": [";
  bool first = true;
  for (const auto& item : items) {
    out << (first ? "" : ",") << "\n    ";
    first = false;
    each(item);
  }
  out << (first ? "]" : "\n  ]");
}

std::string led_state(const LedState& led) {
  return "{\"brightness\": " + json_string(led.brightness) +
         ", \"trigger\": " + json_string(led.trigger) +
         ", \"delay_on\": " + json_string(led.delay_on) +
         ", \"delay_off\": " + json_string(led.delay_off) + ", \"state\": \"" +
         (led.blinking() ? "blinking"
          : led.lit()    ? "lit"
                         : "dark") +
         "\"}";
}

void devices(std::ostringstream& out, const RunResult& r, const ReportStyle& style) {
  list(out, "tool_calls", r.tool_calls, [&out](const ToolCall& c) {
    out << "{\"time\": " << c.time << ", \"tool\": " << json_string(c.tool) << ", \"argv\": [";
    for (size_t i = 0; i < c.argv.size(); ++i) out << (i ? ", " : "") << json_bytes(c.argv[i]);
    out << "], \"answer\": " << json_string(c.answer) << ", \"ended\": " << json_string(c.ended)
        << ", \"note\": " << json_string(c.note)
        << ", \"descriptors\": " << json_bytes(c.descriptors) << "}";
  });
  list(out, "children_without_tool", r.children_without_tool, [&out](const ChildEnd& c) {
    out << "{\"time\": " << c.time << ", \"ended\": " << json_string(describe_wait_status(c.status))
        << "}";
  });
  list(out, "led_writes", r.led_writes, [&out](const LedWrite& w) {
    out << "{\"time\": " << w.time << ", \"led\": " << json_string(w.led)
        << ", \"attribute\": " << json_string(w.attribute) << ", \"bytes\": " << json_bytes(w.text)
        << ", \"accepted\": " << boolean(w.accepted) << ", \"after\": " << led_state(w.after)
        << "}";
  });
  list(out, "final_leds", r.final_leds, [&out](const LedState& led) { out << led_state(led); });
  list(out, "pushes", r.pushes, [&out](const FbWrite& p) {
    out << "{\"time\": " << p.time << ", \"offered\": " << p.offered << ", \"result\": " << p.result
        << ", \"error\": " << (p.result < 0 ? json_string(error_name(p.error)) : "null")
        << ", \"position\": " << p.position;
    // Where the driver stored it, when that is not the file position.
    if (p.result > 0 && p.at != p.position) out << ", \"at\": " << p.at;
    out << "}";
  });
  size_t index = 0;
  list(out, "frames", r.frames, [&](const Frame& f) {
    out << "{\"time\": " << f.time << ", \"width\": " << f.geometry.width
        << ", \"height\": " << f.geometry.height << ", \"file\": "
        << (index < style.frame_files.size() ? json_string(style.frame_files[index]) : "null")
        << ", \"rows\": [";
    const auto rows = f.rows();
    for (size_t i = 0; i < rows.size(); ++i) out << (i ? ", " : "") << json_string(rows[i]);
    out << "]}";
    ++index;
  });
  list(out, "power_requests", r.power_requests, [&out](const PowerRequest& p) {
    out << "{\"time\": " << p.time << ", \"request\": " << p.request
        << ", \"argument\": " << p.argument << ", \"accepted\": " << boolean(p.accepted) << "}";
  });
  list(out, "sleeps", r.sleeps, [&out](const Sleep& s) {
    out << "{\"time\": " << s.time << ", \"seconds\": " << s.seconds << "}";
  });
  list(out, "syncs", r.syncs, [&out](const Sync& s) { out << "{\"time\": " << s.time << "}"; });
}

}  // namespace

std::string json_report(const RunResult& r, const ReportStyle& style) {
  std::ostringstream out;
  out << "{\n  \"scenario\": " << json_string(r.scenario);
  out << ",\n  \"platform\": \"" << (r.platform == Platform::kLinux ? "linux" : "device") << "\"";
  out << ",\n  \"arch\": " << json_string(std::string(arch_name(r.arch)));
  out << ",\n  \"exit_status\": " << r.exit_status << ",\n  \"signal\": " << r.signal;
  out << ",\n  \"stdout\": " << json_bytes(r.out) << ",\n  \"stderr\": " << json_bytes(r.err);
  devices(out, r, style);
  list(out, "volume", r.volume, [&out](const auto& entry) {
    out << "{\"name\": " << json_string(entry.first) << ", \"bytes\": " << json_bytes(entry.second)
        << "}";
  });
  const auto log = r.log();
  out << ",\n  \"log\": " << (log ? json_bytes(*log) : "null");
  out << ",\n  \"main_user_install_left\": " << boolean(r.main_user_install_left);
  if (const auto left = left_as_found(r)) {
    out << ",\n  \"left_as_found\": {\"leds\": " << json_string(left->leds)
        << ", \"display_memory\": " << json_string(left->display)
        << ", \"volume\": " << json_string(left->volume) << "}";
  }
  if (style.peak_memory) {
    out << ",\n  \"peak_rss_kib\": " << (r.peak_rss_kib ? std::to_string(*r.peak_rss_kib) : "null");
  }
  out << "\n}\n";
  return out.str();
}

}  // namespace twin
