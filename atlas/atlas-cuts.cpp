// The atlas's power cuts: the recorded rows read strictly, and each cut run
// in the twin for what the device showed at its moment.
#include <array>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "atlas-internal.h"
#include "knobs.h"

namespace atlas {

namespace {

// The fields of a row, in the order system/host/cut_table.py writes them.
constexpr std::array<const char*, 14> kKeys = {
    "name",      "indicator", "moment", "delay", "knobs",      "shown",       "flags",
    "main-user", "volume",    "log",    "fsck",  "second-run", "second-fsck", "advice"};

CutFacts facts_of(const std::string& line, size_t number) {
  std::vector<std::string> values;
  std::istringstream fields(line);
  size_t key = 0;
  for (std::string field; std::getline(fields, field, '\t'); ++key) {
    const std::string prefix = key < kKeys.size() ? std::string(kKeys[key]) + "=" : "";
    if (prefix.empty() || field.rfind(prefix, 0) != 0) {
      throw std::runtime_error("power-cut row " + std::to_string(number) + ": field " +
                               std::to_string(key + 1) + " is not " +
                               (prefix.empty() ? "expected" : prefix + "..."));
    }
    values.push_back(field.substr(prefix.size()));
  }
  if (values.size() != kKeys.size()) {
    throw std::runtime_error("power-cut row " + std::to_string(number) + " has " +
                             std::to_string(values.size()) + " fields, not " +
                             std::to_string(kKeys.size()));
  }
  return {values[0], values[1], values[2],  values[3],  values[4],  values[6],
          values[8], values[9], values[10], values[11], values[12], values[13]};
}

// "power cut during the factory flag (LEDs)", "... after 40 s (display)".
std::string case_name(const CutFacts& f) {
  const long long ms = std::stoll(f.delay_ms);
  const std::string after = ms == 0 ? "" : ", after " + std::to_string(ms / 1000) + " s";
  return "power cut " + f.moment + after + " (" + f.indicator + ")";
}

}  // namespace

std::vector<CutFacts> read_power_cuts(const std::filesystem::path& tsv) {
  std::ifstream in(tsv);
  if (!in) throw std::runtime_error("cannot read " + tsv.string());
  std::vector<CutFacts> rows;
  size_t number = 0;
  for (std::string line; std::getline(in, line);) rows.push_back(facts_of(line, ++number));
  return rows;
}

std::vector<CutOutcome> run_cuts(const std::vector<CutFacts>& rows,
                                 const std::filesystem::path& executable,
                                 const twin::RunOptions& options) {
  // A cut with a row for each volume it has left: one entry each.
  std::map<std::string, int> volumes, seen;
  for (const CutFacts& facts : rows) ++volumes[facts.name];
  std::vector<CutOutcome> cuts;
  for (const CutFacts& facts : rows) {
    const int nth = ++seen[facts.name];
    twin::Scenario scenario;
    std::istringstream words(facts.knobs);
    std::vector<std::string> knobs;
    for (std::string word; words >> word;) knobs.push_back(word);
    if (auto why = twin::apply_knobs(scenario, knobs)) {
      throw std::runtime_error("power cut " + facts.name + ": " + *why);
    }
    scenario.name = case_name(facts);
    std::string slug = slug_of(facts.name);
    if (volumes[facts.name] > 1) {
      scenario.name += ", volume " + std::to_string(nth) + " of " +
                       std::to_string(volumes[facts.name]) + " seen";
      slug += "-" + std::to_string(nth);
    }
    const Indicator indicator =
        scenario.display == twin::Display::kNone ? Indicator::kOnlyLeds : Indicator::kDisplay;
    Case what{scenario.name, slug, "", indicator, scenario};
    twin::RunResult result = twin::run(executable, scenario, options);
    cuts.push_back({std::move(what), std::move(result), "", facts, {}});
  }
  return cuts;
}

void find_look_alikes(Atlas& atlas) {
  for (auto& cut : atlas.cuts) {
    cut.looks_like.clear();
    for (size_t i = 0; i < atlas.outcomes.size(); ++i) {
      if (twin::look_the_same(cut.result, atlas.outcomes[i].result)) cut.looks_like.push_back(i);
    }
  }
}

}  // namespace atlas
