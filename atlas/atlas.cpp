#include "atlas.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "atlas-internal.h"
#include "build-paths.h"
#include "png-writer.h"

namespace fs = std::filesystem;

namespace atlas {

namespace {

using twin::Frame;
using twin::Geometry;
using twin::RunResult;

void write_text(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string() + ": " + strerror(errno));
}

// The last screen of an outcome (or a power cut) as slug.png in `dir`;
// returns the file's name, empty when nothing was shown.
std::string write_image(const Case& what, const RunResult& result, const fs::path& dir) {
  const Frame* screen = twin::final_screen(result);
  if (screen == nullptr) return "";
  const Geometry& g = screen->geometry;
  const PngImage image{screen->bytes, g.xres_virtual(), g.width, g.height};
  const std::string name = what.slug + ".png";
  std::string error;
  if (!write_png(image, kImageScale, (dir / name).string(), error)) {
    throw std::runtime_error(error);
  }
  return name;
}

void write_images(Atlas& atlas, const fs::path& dir) {
  for (auto& outcome : atlas.outcomes) outcome.image = write_image(outcome.what, outcome.result, dir);
  for (auto& cut : atlas.cuts) cut.image = write_image(cut.what, cut.result, dir);
}

// Each preset as it is on its display, and on the LEDs only.
std::vector<Case> atlas_cases() {
  std::vector<Case> cases;
  for (const twin::Preset& p : twin::presets()) {
    twin::Scenario scenario = *twin::preset(p.name);
    if (scenario.display == twin::Display::kWritable) {
      scenario.name = p.name + " (display)";
      cases.push_back(
          {scenario.name, slug_of(p.name) + "-display", p.summary, Indicator::kDisplay, scenario});
      scenario.display = twin::Display::kNone;
    }
    scenario.name = p.name + " (LEDs)";
    cases.push_back(
        {scenario.name, slug_of(p.name) + "-leds", p.summary, Indicator::kOnlyLeds, scenario});
  }
  return cases;
}

}  // namespace

std::string slug_of(const std::string& name) {
  std::string slug;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    slug += plain ? c : '-';
  }
  return slug;
}

std::vector<twin::NamedRun> named_runs(const Atlas& atlas) {
  std::vector<twin::NamedRun> runs;
  for (const auto& o : atlas.outcomes) runs.push_back({o.what.name, &o.result});
  return runs;
}

Atlas make_atlas(std::vector<Outcome> outcomes) {
  Atlas atlas{std::move(outcomes), {}, {}};
  atlas.groups = twin::group_look_alikes(named_runs(atlas));
  for (size_t g = 0; g < atlas.groups.size(); ++g) {
    for (const size_t i : atlas.groups[g]) atlas.outcomes[i].group = g;
  }
  return atlas;
}

Atlas write_atlas(const fs::path& executable, const twin::RunOptions& options,
                  const fs::path& dir) {
  std::vector<Outcome> outcomes;
  for (auto& what : atlas_cases()) {
    RunResult result = twin::run(executable, what.scenario, options);
    outcomes.push_back({std::move(what), std::move(result), "", 0});
  }
  Atlas atlas = make_atlas(std::move(outcomes));
  const fs::path recorded = fs::path(build_paths::kSourceDir) / "system/expected/power-cuts.tsv";
  if (fs::exists(recorded)) {
    atlas.cuts = run_cuts(read_power_cuts(recorded), executable, options);
    find_look_alikes(atlas);
  }
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) throw std::runtime_error("cannot create " + dir.string() + ": " + ec.message());
  write_images(atlas, dir);
  write_text(dir / "index.html", atlas_html(atlas));
  write_text(dir / "atlas.md", atlas_markdown(atlas));
  return atlas;
}

}  // namespace atlas
