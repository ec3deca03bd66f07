#include "atlas.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "png-writer.h"

namespace fs = std::filesystem;

namespace twin {

namespace {

// The program writes delays and brightness as unsigned 32-bit numbers;
// larger ones are clamped, so that an on time and an off time always add up.
constexpr long long kLargestAttribute = 4294967295;

// An LED attribute's decimal text as a number, read as LedState reads it:
// text that is not a number reads as 0.
long long attribute_number(const std::string& text) {
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  return value < 0 ? 0 : std::min(value, kLargestAttribute);
}

void write_text(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string() + ": " + strerror(errno));
}

// The last screen of each outcome as slug.png in `dir`.
void write_images(Atlas& atlas, const fs::path& dir) {
  for (auto& outcome : atlas.outcomes) {
    const Frame* screen = final_screen(outcome.result);
    if (screen == nullptr) continue;
    const Geometry& g = screen->geometry;
    const PngImage image{screen->bytes, g.xres_virtual(), g.width, g.height};
    const std::string name = outcome.what.slug + ".png";
    std::string error;
    if (!write_png(image, kAtlasImageScale, (dir / name).string(), error)) {
      throw std::runtime_error(error);
    }
    outcome.image = name;
  }
}

// A name as a file name and anchor: letters, digits and '-' only, so that
// no name can lead outside the atlas folder or out of an attribute.
std::string slug_of(const std::string& name) {
  std::string slug;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    slug += plain ? c : '-';
  }
  return slug;
}

}  // namespace

std::vector<AtlasCase> atlas_cases() {
  std::vector<AtlasCase> cases;
  for (const Preset& p : presets()) {
    Scenario scenario = *preset(p.name);
    if (scenario.display == Display::kWritable) {
      scenario.name = p.name + " (display)";
      cases.push_back(
          {scenario.name, slug_of(p.name) + "-display", p.summary, Indicator::kDisplay, scenario});
      scenario.display = Display::kNone;
    }
    scenario.name = p.name + " (LEDs)";
    cases.push_back(
        {scenario.name, slug_of(p.name) + "-leds", p.summary, Indicator::kOnlyLeds, scenario});
  }
  return cases;
}

Lamp lamp(const LedState& led) {
  if (led.brightness == "-") return {Lamp::State::kAbsent};
  if (led.blinking()) {
    return {Lamp::State::kBlinking, 0, attribute_number(led.delay_on),
            attribute_number(led.delay_off)};
  }
  if (led.lit()) return {Lamp::State::kLit, attribute_number(led.brightness)};
  return {Lamp::State::kDark};
}

std::string describe(const Lamp& l) {
  switch (l.state) {
    case Lamp::State::kAbsent:
      return "absent";
    case Lamp::State::kDark:
      return "dark";
    case Lamp::State::kLit:
      return l.brightness == 255 ? "lit" : "lit at " + std::to_string(l.brightness);
    case Lamp::State::kBlinking:
      return "blinking " + std::to_string(l.on_ms) + "/" + std::to_string(l.off_ms) + " ms";
  }
  return "";
}

std::string describe_leds(const std::vector<LedState>& leds) {
  std::string text;
  for (size_t i = 0; i < leds.size() && i < kLeds.size(); ++i) {
    const Lamp l = lamp(leds[i]);
    if (l.state == Lamp::State::kDark) continue;
    if (!text.empty()) text += ", ";
    text += "#" + std::to_string(i) + " " + kLeds[i].colour + " " + describe(l);
  }
  return text.empty() ? "all dark" : text;
}

const Frame* final_screen(const RunResult& result) {
  return result.frames.empty() ? nullptr : &result.frames.back();
}

bool look_the_same(const RunResult& a, const RunResult& b) {
  const Frame* screen_a = final_screen(a);
  const Frame* screen_b = final_screen(b);
  if ((screen_a == nullptr) != (screen_b == nullptr)) return false;
  if (screen_a != nullptr &&
      (screen_a->bytes != screen_b->bytes || screen_a->geometry != screen_b->geometry)) {
    return false;
  }
  if (a.final_leds.size() != b.final_leds.size()) return false;
  for (size_t i = 0; i < a.final_leds.size(); ++i) {
    if (lamp(a.final_leds[i]) != lamp(b.final_leds[i])) return false;
  }
  return true;
}

void group_look_alikes(Atlas& atlas) {
  atlas.groups.clear();
  for (size_t i = 0; i < atlas.outcomes.size(); ++i) {
    Outcome& outcome = atlas.outcomes[i];
    size_t g = 0;
    while (g < atlas.groups.size() &&
           !look_the_same(atlas.outcomes[atlas.groups[g].front()].result, outcome.result)) {
      ++g;
    }
    if (g == atlas.groups.size()) atlas.groups.emplace_back();
    atlas.groups[g].push_back(i);
    outcome.group = g;
  }
}

std::vector<std::string> told_apart_by(const RunResult& a, const RunResult& b) {
  std::vector<std::string> by;
  if (a.out != b.out) by.push_back("standard output");
  if (a.log() != b.log()) by.push_back("the log");
  if (exit_text(a) != exit_text(b)) by.push_back("exit status");
  if (export_restart(a) != export_restart(b)) by.push_back("export restart");
  if (power_request(a) != power_request(b)) by.push_back("power request");
  return by;
}

// Outcomes that nothing tells apart fall into classes; comparing each
// outcome with one of every class finds every difference in the group,
// since the members of a class are alike in everything compared.
std::string told_apart_in_group(const Atlas& atlas, const std::vector<size_t>& group) {
  if (group.size() == 1) return "no other outcome looks like it";
  std::vector<std::string> differ;
  std::vector<std::vector<size_t>> alike;
  for (const size_t i : group) {
    bool placed = false;
    for (auto& members : alike) {
      const auto by =
          told_apart_by(atlas.outcomes[members.front()].result, atlas.outcomes[i].result);
      for (const auto& name : by) {
        if (std::find(differ.begin(), differ.end(), name) == differ.end()) differ.push_back(name);
      }
      if (by.empty() && !placed) members.push_back(i);
      placed = placed || by.empty();
    }
    if (!placed) alike.push_back({i});
  }
  std::string text = differ.empty() ? "nothing" : listed(differ);
  for (const auto& members : alike) {
    if (members.size() < 2) continue;
    std::vector<std::string> names;
    for (const size_t i : members) names.push_back(atlas.outcomes[i].what.name);
    text += "; alike in all of these: " + listed(names);
  }
  return text;
}

std::string export_restart(const RunResult& result) {
  if (result.tool_calls.empty()) return "no";
  const ToolCall& last = result.tool_calls.back();
  if (last.tool != kMsd || last.argv.size() != 2 || last.argv[1] != "--start") return "no";
  return last.ended == "exit 0" ? "yes" : "tried: " + last.ended;
}

std::string power_request(const RunResult& result) {
  if (result.power_requests.empty()) return "not made";
  return result.power_requests.back().accepted ? "made, accepted" : "made, refused";
}

std::string exit_text(const RunResult& result) {
  if (result.signal == 0) return std::to_string(result.exit_status);
  const char* name = sigabbrev_np(result.signal);
  return "killed by " +
         (name ? "SIG" + std::string(name) : "signal " + std::to_string(result.signal));
}

std::string listed(const std::vector<std::string>& parts) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  }
  return text;
}

Atlas write_atlas(const fs::path& executable, const RunOptions& options, const fs::path& dir) {
  Atlas atlas;
  for (auto& what : atlas_cases()) {
    RunResult result = run(executable, what.scenario, options);
    atlas.outcomes.push_back({std::move(what), std::move(result), "", 0});
  }
  group_look_alikes(atlas);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) throw std::runtime_error("cannot create " + dir.string() + ": " + ec.message());
  write_images(atlas, dir);
  write_text(dir / "index.html", atlas_html(atlas));
  write_text(dir / "atlas.md", atlas_markdown(atlas));
  return atlas;
}

}  // namespace twin
