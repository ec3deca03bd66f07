#include "looks.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

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

}  // namespace

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

std::vector<std::vector<size_t>> group_look_alikes(const std::vector<NamedRun>& runs) {
  std::vector<std::vector<size_t>> groups;
  for (size_t i = 0; i < runs.size(); ++i) {
    size_t g = 0;
    while (g < groups.size() && !look_the_same(*runs[groups[g].front()].result, *runs[i].result)) {
      ++g;
    }
    if (g == groups.size()) groups.emplace_back();
    groups[g].push_back(i);
  }
  return groups;
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

// Runs that nothing tells apart fall into classes; comparing each run with
// one of every class finds every difference in the group, since the members
// of a class are alike in everything compared.
std::string told_apart_in_group(const std::vector<NamedRun>& runs,
                                const std::vector<size_t>& group) {
  if (group.size() == 1) return "no other outcome looks like it";
  std::vector<std::string> differ;
  std::vector<std::vector<size_t>> alike;
  for (const size_t i : group) {
    bool placed = false;
    for (auto& members : alike) {
      const auto by = told_apart_by(*runs[members.front()].result, *runs[i].result);
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
    for (const size_t i : members) names.push_back(runs[i].name);
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
  return describe_wait_status(W_EXITCODE(0, result.signal));
}

std::string listed(const std::vector<std::string>& parts) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  }
  return text;
}

}  // namespace twin
