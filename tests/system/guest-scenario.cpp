#include "guest-scenario.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <optional>
#include <sstream>

#include "device.h"
#include "knobs.h"

namespace guest {

namespace {

// The knobs the guest sets up: the board's display and its memory, the LEDs'
// trigger, the power driver (run-scenario) and the tools' answers (the
// settings file). Any other knob describes a device the guest is not.
constexpr std::array<std::string_view, 15> kGuestKnobs = {
    "--platform", "--max-brightness", "--fb-memory", "--led-trigger", "--no-display",
    "--power",    "--stop",           "--start",     "--factory",     "--restore",
    "--remove",   "--tool-time",      "--cut",       "--cut-delay",   "--no-main-user-install"};

// The program waits this long after the power request; a cut there must
// come well within it, before the program ends by itself.
constexpr long long kLongestCutAfterPowerRequestMs = 5000;

// What the guest's board is, whatever the knobs say: the stock kernel, whose
// LEDs are GPIO lines, or the same kernel with the reference drivers, whose
// LEDs take 0-255 and must never have a trigger selected; a power driver that
// either answers or is missing.
std::optional<std::string> board_refuses(const twin::Scenario& s) {
  if (s.platform == twin::Platform::kLinux && s.max_brightness != 1) {
    return "every --platform linux scenario has --max-brightness 1: the board's LEDs are GPIO "
           "lines";
  }
  if (s.platform == twin::Platform::kDevice && s.max_brightness != 255) {
    return "--platform device: the reference LED driver has max_brightness 255, not " +
           std::to_string(s.max_brightness);
  }
  if (s.platform == twin::Platform::kDevice && s.led_timer_trigger) {
    return "--platform device takes no --led-trigger timer: the timer trigger takes the "
           "reference LEDs' delay_on and delay_off away";
  }
  if (s.power == twin::Power::kOpenRefused) {
    return "--power open-refused: the guest has accept, refuse or missing";
  }
  if (s.display_memory == 0) return "--fb-memory 0: the board's display memory is a positive size";
  if (s.cut == twin::CutPoint::kPower && s.cut_delay_ms > kLongestCutAfterPowerRequestMs) {
    return "--cut power takes a --cut-delay of at most " +
           std::to_string(kLongestCutAfterPowerRequestMs) +
           " ms: the program ends its 10 s wait after the request by itself";
  }
  if (s.cut == twin::CutPoint::kNone && s.cut_delay_ms != 0) return "--cut-delay without --cut";
  return std::nullopt;
}

const char* power_name(twin::Power power) {
  switch (power) {
    case twin::Power::kRefuses:
      return "refuse";
    case twin::Power::kMissing:
      return "missing";
    default:
      return "accept";
  }
}

Setup setup_of(const twin::Scenario& s) {
  twin_settings::Settings settings = twin::make_device(s).settings;
  // The guest's clock is real: its tools take the time they are told to.
  settings.real_time = true;
  const twin::CutPointName* cut = twin::find_cut_point(s.cut);
  return {s.platform == twin::Platform::kDevice ? "device" : "linux",
          s.display != twin::Display::kNone,
          s.display_memory,
          s.led_timer_trigger ? "timer" : "none",
          power_name(s.power),
          s.main_user_install,
          cut != nullptr ? cut->name : "none",
          s.cut_delay_ms,
          settings};
}

}  // namespace

Scenario parse_scenario(std::string_view line) {
  std::istringstream words{std::string(line)};
  Scenario out;
  words >> out.name;
  for (std::string word; words >> word;) out.knobs.push_back(word);
  const auto fail = [&out](const std::string& why) { throw ScenarioError(out.name + ": " + why); };
  if (auto why = twin::apply_knobs(out.twin, out.knobs)) fail(*why);
  // apply_knobs took every word: each knob is followed by its value, if it has one.
  for (size_t i = 0; i < out.knobs.size(); ++i) {
    const twin::Knob* knob = twin::find_knob(out.knobs[i]);
    if (std::find(kGuestKnobs.begin(), kGuestKnobs.end(), knob->name) == kGuestKnobs.end()) {
      fail(out.knobs[i] + ": not an option the guest can set up");
    }
    if (knob->value != nullptr) ++i;
  }
  if (auto why = board_refuses(out.twin)) fail(*why);
  out.twin.name = out.name;
  out.setup = setup_of(out.twin);
  return out;
}

std::vector<Scenario> load_scenarios(const std::filesystem::path& list,
                                     const std::vector<std::string>& names) {
  std::ifstream in(list);
  if (!in) throw ScenarioError("cannot read the scenario list " + list.string());
  std::vector<Scenario> all;
  for (std::string line; std::getline(in, line);) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    Scenario scenario = parse_scenario(line);
    for (const auto& earlier : all) {
      if (earlier.name == scenario.name) throw ScenarioError(scenario.name + ": listed twice");
    }
    all.push_back(std::move(scenario));
  }
  if (names.empty()) return all;
  std::vector<Scenario> chosen;
  std::string unknown;
  for (const auto& name : names) {
    const auto found =
        std::find_if(all.begin(), all.end(), [&name](const Scenario& s) { return s.name == name; });
    if (found == all.end()) {
      unknown += " " + name;
    } else {
      chosen.push_back(*found);
    }
  }
  if (!unknown.empty()) throw ScenarioError("no such scenario:" + unknown);
  return chosen;
}

std::string case_name(std::string name) {
  for (char& c : name) c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

}  // namespace guest
