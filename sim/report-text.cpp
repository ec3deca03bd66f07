// The report a person reads: the program's own output and end first, then
// each thing the device saw, in the order of the run.
#include <cstdio>
#include <cstring>
#include <sstream>

#include "report.h"

namespace twin {

namespace {

std::string seconds(double t) {
  char text[32];
  snprintf(text, sizeof text, "%7.3fs", t);
  return text;
}

std::string padded(std::string text, size_t width) {
  if (text.size() < width) text += std::string(width - text.size(), ' ');
  return text;
}

constexpr size_t kCellWidth = 9;
const char* kColours[] = {"33", "33", "33", "33", "33", "33", "31", "32", "34"};

// One LED as a fixed-width cell: "##" lit, ".." dark, "~500/500" blinking,
// "--" not there.
std::string cell(const LedState& led, size_t index, bool colour) {
  std::string text;
  if (led.brightness == "-") {
    text = "--";
  } else if (led.blinking()) {
    text = "~" + led.delay_on + "/" + led.delay_off;
  } else if (led.lit()) {
    text = led.brightness == "255" ? "##" : "#" + led.brightness;
  } else {
    text = "..";
  }
  const std::string cell = padded(text, kCellWidth - 1) + " ";
  if (!colour || (!led.lit() && !led.blinking())) return cell;
  const std::string style = led.blinking() ? "5;" : "1;";
  return "\033[" + style + kColours[index] + "m" + text + "\033[0m" + cell.substr(text.size());
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

void program_part(std::ostringstream& out, const RunResult& r) {
  out << "---- standard output of restoremark ----\n" << r.out;
  if (!r.out.empty() && r.out.back() != '\n') out << "\n(no line end at the end)\n";
  if (!r.err.empty()) out << "---- standard error ----\n" << r.err;
  out << "---- exit status: ";
  if (r.signal) {
    const char* name = sigabbrev_np(r.signal);
    out << "killed by " << (name ? "SIG" + std::string(name) : std::to_string(r.signal))
        << " ----\n";
  } else {
    out << r.exit_status << " ----\n";
  }
  out << "\nDevice report, scenario '" << r.scenario << "'"
      << (r.platform == Platform::kLinux ? ", on a stock Linux kernel's drivers" : "") << "\n";
  if (r.arch != Arch::kHost) {
    out << "(an " << arch_name(r.arch) << " program, run through " << emulator(r.arch).string()
        << ")\n";
  }
}

void tools_part(std::ostringstream& out, const RunResult& r) {
  out << "\nTool calls (argv as received; how the program saw each end; inherited descriptors):\n";
  if (r.tool_calls.empty() && r.children_without_tool.empty()) out << "  none\n";
  for (const auto& call : r.tool_calls) {
    out << "  " << seconds(call.time) << "  /usr/bin/" << call.tool << " ";
    for (const auto& arg : call.argv) out << " " << quoted(arg);
    out << "  -> " << call.ended;
    if (!call.note.empty()) out << " (" << call.note << ")";
    out << "\n             descriptors: " << call.descriptors << "\n";
  }
  for (const auto& child : r.children_without_tool) {
    out << "  " << seconds(child.time) << "  a child that started no tool -> "
        << describe_wait_status(child.status) << "\n";
  }
}

void leds_part(std::ostringstream& out, const RunResult& r, bool colour) {
  if (r.led_writes.empty()) {
    out << "\nLED timeline: no LED attribute was written\n";
    return;
  }
  out << "\nLED timeline (virtual time; ## lit, .. dark, ~on/off blinking in ms, -- no LED):\n";
  out << "  " << padded("time", 8) << " ";
  for (size_t i = 0; i < kLeds.size(); ++i) out << padded(led_label(i), kCellWidth);
  out << "\n";
  const auto timeline = led_timeline(r);
  for (size_t m = 0; m < timeline.size(); ++m) {
    const auto& moment = timeline[m];
    out << "  " << (m == 0 ? padded(" before", 8) : seconds(moment.time)) << " ";
    for (size_t i = 0; i < moment.leds.size(); ++i) out << cell(moment.leds[i], i, colour);
    if (m > 0) out << "(" << moment.writes << (moment.writes == 1 ? " write)" : " writes)");
    out << "\n";
  }
  size_t refused = 0;
  for (const auto& w : r.led_writes) refused += w.accepted ? 0 : 1;
  out << "  " << r.led_writes.size() << " attribute writes";
  if (refused) out << ", " << refused << " refused by the LED class";
  out << "\n  (#0-#5 yellow, #6 red, #7 green, #8 blue: --no-led takes the #, LED7 or red)\n";
}

void display_part(std::ostringstream& out, const RunResult& r, const ReportStyle& style) {
  out << "\nDisplay /dev/fb0: ";
  if (r.pushes.empty()) {
    out << "nothing pushed\n";
    return;
  }
  out << r.pushes.size() << (r.pushes.size() == 1 ? " push" : " pushes") << " tried, "
      << r.frames.size() << " landed\n";
  size_t frame = 0;
  for (size_t i = 0; i < r.pushes.size(); ++i) {
    const FbWrite& push = r.pushes[i];
    out << "  push " << i + 1 << " at " << seconds(push.time) << ": " << push.offered
        << " bytes offered at position " << push.position << ", ";
    if (push.result < 0) {
      out << "failed with " << error_name(push.error) << "\n";
      continue;
    }
    out << push.result << " taken";
    if (push.result > 0 && push.at != push.position) out << " at offset " << push.at;
    if (push.result == 0) {
      out << "\n";
      continue;
    }
    if (frame < style.frame_files.size()) out << ", " << style.frame_files[frame];
    out << "\n";
    const Geometry& g = r.frames[frame].geometry;
    if (g.width <= kLargestTextArt && g.height <= kLargestTextArt) out << text_art(r.frames[frame]);
    ++frame;
  }
  if (r.platform == Platform::kLinux) {
    const size_t visible = r.frames.empty() ? 0 : r.frames.back().bytes.size();
    size_t beyond = 0;
    for (size_t i = visible; i < r.display_memory.size(); ++i) beyond += r.display_memory[i] != 0;
    out << "  display memory: " << r.display_memory.size() << " bytes, " << beyond
        << " non-zero bytes beyond the screen\n";
  }
}

void rest_part(std::ostringstream& out, const RunResult& r, bool peak_memory) {
  out << "\nPower requests on /dev/power:\n";
  if (r.power_requests.empty()) out << "  none\n";
  for (const auto& p : r.power_requests) {
    char line[128];
    snprintf(line, sizeof line, "ioctl(0x%llX, %lld) -> %s", p.request, p.argument,
             p.accepted ? "accepted" : "refused");
    out << "  " << seconds(p.time) << "  " << line << "\n";
  }
  out << "\nSleeps and syncs:\n";
  if (r.sleeps.empty() && r.syncs.empty()) out << "  none\n";
  for (const auto& record : r.records) {
    if (const auto* s = std::get_if<Sleep>(&record)) {
      char text[32];
      snprintf(text, sizeof text, "sleep %g s", s->seconds);
      out << "  " << seconds(s->time) << "  " << text << "\n";
    } else if (const auto* sync = std::get_if<Sync>(&record)) {
      out << "  " << seconds(sync->time) << "  sync\n";
    }
  }
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
  if (const auto left = left_as_found(r)) {
    out << "\nWhat the run changed, against the device as it found it:\n"
        << "  LEDs: " << left->leds << "\n  display memory: " << left->display
        << "\n  volume /mnt/vfat: " << left->volume << "\n";
  }
  if (peak_memory) {
    out << "Peak resident memory: ";
    if (r.peak_rss_kib) {
      out << *r.peak_rss_kib << " KiB"
          << (r.arch != Arch::kHost ? " (the emulator's, holding the program)" : "") << "\n";
    } else {
      out << "not recorded (the program did not exit)\n";
    }
  }
  if (!r.image.empty()) out << "Device image kept at " << r.image.string() << "\n";
}

}  // namespace

std::string text_report(const RunResult& r, const ReportStyle& style) {
  std::ostringstream out;
  program_part(out, r);
  tools_part(out, r);
  leds_part(out, r, style.colour);
  display_part(out, r, style);
  rest_part(out, r, style.peak_memory);
  return out.str();
}

}  // namespace twin
