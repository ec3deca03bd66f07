// The atlas as Markdown: the looks on the device and what tells their
// outcomes apart, then one table row per outcome.
#include <cstring>
#include <sstream>

#include "atlas-internal.h"

namespace atlas {

namespace {

using twin::listed;
using twin::RunResult;

std::string screen_cell(const Case& what, const std::string& image) {
  if (image.empty()) return "nothing shown";
  return "![the last screen of " + markdown_escape(what.name) + "](" + image + ")";
}

std::string screen_cell(const Outcome& o) { return screen_cell(o.what, o.image); }

std::string cut_row(const Atlas& atlas, const CutOutcome& cut) {
  const CutFacts& f = cut.facts;
  std::vector<std::string> alike;
  for (const size_t i : cut.looks_like) alike.push_back(atlas.outcomes[i].what.name);
  const std::string cells[] = {
      cut.what.name, screen_cell(cut.what, cut.image), twin::describe_leds(cut.result.final_leds),
      alike.empty() ? "no outcome of a whole run" : listed(alike), f.flags, f.volume, f.log,
      f.fsck, f.second_run, f.advice};
  std::string line = "|";
  for (size_t i = 0; i < std::size(cells); ++i) {
    line += " " + (i == 1 ? cells[i] : markdown_escape(cells[i])) + " |";
  }
  return line + "\n";
}

std::string looks_the_same_as(const Atlas& atlas, size_t index) {
  std::vector<std::string> names;
  for (const size_t other : atlas.groups[atlas.outcomes[index].group]) {
    if (other != index) names.push_back(atlas.outcomes[other].what.name);
  }
  return names.empty() ? "no other outcome" : markdown_escape(listed(names));
}

std::string row(const Atlas& atlas, size_t index) {
  const Outcome& o = atlas.outcomes[index];
  const RunResult& r = o.result;
  const auto log = r.log();
  return "| " + markdown_escape(o.what.name) + " | " + markdown_escape(o.what.summary) + " | " +
         screen_cell(o) + " | " + markdown_escape(twin::describe_leds(r.final_leds)) + " | " +
         markdown_escape(twin::exit_text(r)) + " | " + markdown_escape(twin::export_restart(r)) +
         " | " + markdown_escape(twin::power_request(r)) + " | " +
         markdown_escape(visible_bytes(r.out)) + " | " +
         (!log           ? "no log"
          : log->empty() ? "an empty log file"
                         : markdown_escape(visible_bytes(*log))) +
         " | " + looks_the_same_as(atlas, index) + " |\n";
}

}  // namespace

std::string markdown_escape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') {
      out += "<br>";
    } else if (c == '&' || c == '<' || c == '>') {
      out += html_escape(std::string_view(&c, 1));
    } else if (c != '\0' && strchr("\\`*_[]|~", c) != nullptr) {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  return out;
}

std::string atlas_markdown(const Atlas& atlas) {
  std::ostringstream md;
  md << "# restoremark: every outcome as the device shows it\n\n"
     << atlas.outcomes.size() << " outcomes, " << atlas.groups.size()
     << " different looks on the device (the last screen and the nine LEDs as the run left "
        "them).\n\n## Outcomes that look the same on the device\n\n"
     << "| screen | LEDs | outcomes | told apart by |\n|---|---|---|---|\n";
  for (const auto& group : atlas.groups) {
    const Outcome& first = atlas.outcomes[group.front()];
    std::vector<std::string> names;
    for (const size_t i : group) names.push_back(atlas.outcomes[i].what.name);
    md << "| " << screen_cell(first) << " | "
       << markdown_escape(twin::describe_leds(first.result.final_leds)) << " | "
       << markdown_escape(listed(names)) << " | "
       << markdown_escape(twin::told_apart_in_group(named_runs(atlas), group)) << " |\n";
  }
  md << "\n## The outcomes\n\n| outcome | summary | screen | LEDs | exit status | export "
        "restarted | power request | standard output | log | looks the same as |\n"
     << "|---|---|---|---|---|---|---|---|---|---|\n";
  for (size_t i = 0; i < atlas.outcomes.size(); ++i) md << row(atlas, i);
  if (!atlas.cuts.empty()) {
    md << "\n## After a power cut\n\n"
       << atlas.cuts.size()
       << " outcomes of power cuts on a real kernel and a real FAT volume (docs/power-cuts.md; "
          "a cut that left different volumes in different runs has one for each): what the "
          "device showed when the power went, and what the volume held afterwards.\n\n"
       << "| power cut | screen | LEDs | looks like | flags set before | the volume afterwards | "
          "its log | fsck.fat -n | the second run | what to do |\n"
       << "|---|---|---|---|---|---|---|---|---|---|\n";
    for (const auto& cut : atlas.cuts) md << cut_row(atlas, cut);
  }
  return md.str();
}

}  // namespace atlas
