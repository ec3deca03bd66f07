// The atlas as one page that needs nothing but its images beside it: the
// style is inline, there is no script, and a blinking LED blinks by a CSS
// animation made for its own rate.
#include <cstdio>
#include <set>
#include <sstream>
#include <utility>

#include "atlas-internal.h"
#include "report.h"

namespace atlas {

namespace {

using twin::Frame;
using twin::kLeds;
using twin::Lamp;
using twin::LedState;
using twin::listed;
using twin::RunResult;

constexpr const char* kStyle = R"(
body { font: 14px/1.4 sans-serif; margin: 16px; background: #f4f4f0; color: #222; }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 18px; margin: 20px 0 8px; }
.cards { display: grid; grid-template-columns: repeat(auto-fill, minmax(410px, 1fr)); gap: 12px; }
.card { background: #fff; border: 1px solid #ccc; border-radius: 6px; padding: 10px; }
.card h3 { font-size: 15px; margin: 0 0 4px; }
.summary { color: #555; margin: 0 0 8px; }
.screen { display: block; image-rendering: pixelated; border: 6px solid #333; border-radius: 3px; }
.blank { width: 384px; height: 192px; border: 6px solid #333; border-radius: 3px; background: #ddd;
  display: flex; align-items: center; justify-content: center; color: #666; }
.leds { display: flex; gap: 6px; margin: 8px 0 2px; }
.led { text-align: center; font-size: 10px; color: #666; }
.lamp { display: block; width: 18px; height: 18px; border-radius: 50%; background: #8a8a8a;
  border: 1px solid #444; margin: 0 auto 1px; }
.lamp.lit { background: var(--colour); box-shadow: 0 0 6px var(--colour); }
.lamp.absent { background: none; border-style: dashed; }
.lamp.blinking { background: var(--colour); }
.leds-text { font-size: 12px; color: #444; margin: 0 0 6px; }
table.facts { border-collapse: collapse; margin: 4px 0; }
table.facts th { text-align: left; font-weight: normal; color: #555; padding: 1px 12px 1px 0; }
pre { background: #f0f0f0; padding: 4px 6px; margin: 2px 0 6px; white-space: pre-wrap;
  word-break: break-all; font-size: 12px; }
h4 { font-size: 12px; margin: 6px 0 0; color: #555; }
.alike { background: #fff6d6; padding: 4px 6px; margin: 6px 0 0; }
)";

std::string anchor(const Outcome& o) {
  return "<a href=\"#" + html_escape(o.what.slug) + "\">" + html_escape(o.what.name) + "</a>";
}

std::string blink_class(const Lamp& l) {
  return "blink-" + std::to_string(l.on_ms) + "-" + std::to_string(l.off_ms);
}

// One animation per blink rate: lit for the on share of the period, dark
// for the rest.
std::string blink_styles(const Atlas& atlas) {
  std::set<std::pair<long long, long long>> rates;
  std::vector<const RunResult*> results;
  for (const auto& o : atlas.outcomes) results.push_back(&o.result);
  for (const auto& cut : atlas.cuts) results.push_back(&cut.result);
  for (const RunResult* r : results) {
    for (const auto& led : r->final_leds) {
      const Lamp l = twin::lamp(led);
      if (l.state == Lamp::State::kBlinking) rates.insert({l.on_ms, l.off_ms});
    }
  }
  std::ostringstream css;
  for (const auto& [on, off] : rates) {
    const std::string name = blink_class({Lamp::State::kBlinking, 0, on, off});
    css << "." << name << " { animation: " << name << " " << on + off
        << "ms step-end infinite; }\n@keyframes " << name << " { 0% { background: var(--colour); } "
        << 100.0 * static_cast<double>(on) / static_cast<double>(on + off)
        << "%, 100% { background: #8a8a8a; } }\n";
  }
  return css.str();
}

std::string lamps(const std::vector<LedState>& leds) {
  std::string html = "<div class=\"leds\">";
  for (size_t i = 0; i < leds.size() && i < kLeds.size(); ++i) {
    const Lamp l = twin::lamp(leds[i]);
    std::string kind = "dark";
    if (l.state == Lamp::State::kLit) kind = "lit";
    if (l.state == Lamp::State::kAbsent) kind = "absent";
    if (l.state == Lamp::State::kBlinking) kind = "blinking " + blink_class(l);
    const std::string title = twin::led_label(i) + " " + kLeds[i].colour + ": " + twin::describe(l);
    html += "<span class=\"led\"><span class=\"lamp " + kind +
            "\" style=\"--colour: " + html_escape(kLeds[i].colour) + "\" title=\"" +
            html_escape(title) + "\"></span>#" + std::to_string(i) + "</span>";
  }
  return html + "</div><p class=\"leds-text\">LEDs: " + html_escape(twin::describe_leds(leds)) +
         "</p>";
}

// What a person sees on the device: the last screen and the LEDs.
std::string device_view(const Case& what, const RunResult& result, const std::string& image) {
  std::string html;
  const Frame* screen = twin::final_screen(result);
  if (screen != nullptr && !image.empty()) {
    html += "<img class=\"screen\" src=\"" + html_escape(image) + "\" width=\"" +
            std::to_string(screen->geometry.width * kImageScale) + "\" height=\"" +
            std::to_string(screen->geometry.height * kImageScale) + "\" alt=\"the last screen of " +
            html_escape(what.name) + "\">";
  } else {
    html += "<div class=\"blank\">nothing shown</div>";
  }
  return html + lamps(result.final_leds);
}

std::string device_view(const Outcome& o) { return device_view(o.what, o.result, o.image); }

std::string look_alikes(const Atlas& atlas, size_t index) {
  const Outcome& self = atlas.outcomes[index];
  std::vector<std::string> others;
  for (const size_t other : atlas.groups[self.group]) {
    if (other == index) continue;
    const auto by = twin::told_apart_by(self.result, atlas.outcomes[other].result);
    others.push_back(anchor(atlas.outcomes[other]) + " (told apart by " +
                     (by.empty() ? "nothing shown here" : listed(by)) + ")");
  }
  if (others.empty()) return "<p class=\"alike\">Looks like no other outcome on the device.</p>";
  return "<p class=\"alike\">Looks the same on the device as " + listed(others) + ".</p>";
}

std::string entry(const Atlas& atlas, size_t index) {
  const Outcome& o = atlas.outcomes[index];
  const RunResult& r = o.result;
  std::ostringstream html;
  html << "<section class=\"card\" id=\"" << html_escape(o.what.slug) << "\"><h3>"
       << html_escape(o.what.name) << "</h3><p class=\"summary\">" << html_escape(o.what.summary)
       << "</p>" << device_view(o) << "<table class=\"facts\"><tr><th>exit status</th><td>"
       << html_escape(twin::exit_text(r)) << "</td></tr><tr><th>export restarted</th><td>"
       << html_escape(twin::export_restart(r)) << "</td></tr><tr><th>power request</th><td>"
       << html_escape(twin::power_request(r)) << "</td></tr></table><h4>standard output</h4><pre>"
       << html_escape(visible_bytes(r.out)) << "</pre><h4>log file</h4>";
  const auto log = r.log();
  if (!log) {
    html << "<p>no log</p>";
  } else if (log->empty()) {
    html << "<p>an empty log file</p>";
  } else {
    html << "<pre>" << html_escape(visible_bytes(*log)) << "</pre>";
  }
  html << look_alikes(atlas, index) << "</section>\n";
  return html.str();
}

// One card per look: what the device shows and every outcome that shows it.
std::string group_card(const Atlas& atlas, const std::vector<size_t>& group) {
  std::vector<std::string> names;
  for (const size_t i : group) names.push_back(anchor(atlas.outcomes[i]));
  return "<section class=\"card\">" + device_view(atlas.outcomes[group.front()]) + "<p>" +
         std::to_string(group.size()) + (group.size() == 1 ? " outcome: " : " outcomes: ") +
         listed(names) + "</p><p class=\"alike\">Told apart by " +
         html_escape(twin::told_apart_in_group(named_runs(atlas), group)) + ".</p></section>\n";
}

std::string fact(const char* name, const std::string& value) {
  return "<tr><th>" + std::string(name) + "</th><td>" + html_escape(value) + "</td></tr>";
}

// A power cut: what the device showed at its moment, the outcomes that look
// the same, and what the cut left.
std::string cut_entry(const Atlas& atlas, const CutOutcome& cut) {
  const CutFacts& f = cut.facts;
  std::vector<std::string> alike;
  for (const size_t i : cut.looks_like) alike.push_back(anchor(atlas.outcomes[i]));
  std::ostringstream html;
  html << "<section class=\"card\" id=\"" << html_escape(cut.what.slug) << "\"><h3>"
       << html_escape(cut.what.name) << "</h3>" << device_view(cut.what, cut.result, cut.image)
       << "<p class=\"alike\">"
       << (alike.empty() ? "At that moment it looks like no outcome of a whole run."
                         : "At that moment it looks like " + listed(alike) + ".")
       << "</p><table class=\"facts\">" << fact("flags set before", f.flags)
       << fact("the volume afterwards", f.volume) << fact("its log", f.log)
       << fact("fsck.fat -n", f.fsck) << fact("the second run", f.second_run)
       << fact("fsck.fat -n after it", f.second_fsck) << "</table><h4>what to do</h4><p>"
       << html_escape(f.advice) << "</p></section>\n";
  return html.str();
}

}  // namespace

std::string html_escape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string visible_bytes(std::string_view bytes) {
  std::string out;
  for (const unsigned char c : bytes) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n' || c == '\t' || (c >= 0x20 && c < 0x7f)) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

std::string atlas_html(const Atlas& atlas) {
  std::ostringstream html;
  html << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
       << "<title>restoremark: every outcome as the device shows it</title>\n<style>" << kStyle
       << blink_styles(atlas) << "</style>\n</head>\n<body>\n"
       << "<h1>restoremark: every outcome as the device shows it</h1>\n<p>" << atlas.outcomes.size()
       << " outcomes, " << atlas.groups.size()
       << " different looks on the device (the last screen and the nine LEDs as the run left "
          "them). In the program's output and log, a byte outside printable ASCII is shown as "
          "\\xNN and a backslash as \\\\.</p>\n<h2>What the device shows</h2>\n<div "
          "class=\"cards\">\n";
  for (const auto& group : atlas.groups) html << group_card(atlas, group);
  html << "</div>\n<h2>The outcomes</h2>\n<div class=\"cards\">\n";
  for (size_t i = 0; i < atlas.outcomes.size(); ++i) html << entry(atlas, i);
  html << "</div>\n";
  if (!atlas.cuts.empty()) {
    html << "<h2>After a power cut</h2>\n<p>" << atlas.cuts.size()
         << " outcomes of power cuts as the full-system suite made them on a real kernel and "
            "a real FAT volume (docs/power-cuts.md; a cut that left different volumes in "
            "different runs has one for each): what the device showed when the power went (the twin "
            "cut at the same moment), and what the volume held afterwards and how the next run "
            "ended, as measured.</p>\n<div class=\"cards\">\n";
    for (const auto& cut : atlas.cuts) html << cut_entry(atlas, cut);
    html << "</div>\n";
  }
  html << "</body>\n</html>\n";
  return html.str();
}

}  // namespace atlas
