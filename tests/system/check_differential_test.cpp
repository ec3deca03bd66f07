// The platform check held to the kernel. Every boot of the full-system suite
// runs the armhf restoremark-check once before its scenarios
// (system/guest/run-check); here the same check runs in the twin on the
// boot's device (its drivers' platform and display memory: the knobs the
// runner kept in build/system/boots/BOOT/check-knobs). Both must say the
// same, line by line, and end alike; the twin must leave its device as it
// found it; and the panel, photographed while the check showed its test
// picture, must be the twin's picture pixel for pixel on the reference
// drivers, and with the pixels of each byte reversed on the stock ones (the
// stock PL111 shows bit 0 of each byte leftmost).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "build-paths.h"
#include "files.h"
#include "guest-panel.h"
#include "guest-scenario.h"
#include "knobs.h"
#include "report.h"
#include "run.h"

namespace fs = std::filesystem;

namespace {

struct Boot {
  std::string name;
  std::vector<std::string> knobs;
};

[[maybe_unused]] void PrintTo(const Boot& boot, std::ostream* out) { *out << boot.name; }

fs::path boots_folder() { return fs::path(build_paths::kSourceDir) / "build/system/boots"; }

// The boots that ran, with the twin's knobs for their device.
std::vector<Boot> system_boots() {
  std::vector<Boot> boots;
  if (!fs::is_directory(boots_folder())) return boots;
  for (const auto& entry : fs::directory_iterator(boots_folder())) {
    const fs::path knobs = entry.path() / "check-knobs";
    if (!fs::exists(knobs)) continue;
    Boot boot{entry.path().filename().string(), {}};
    std::istringstream words(support::read_file(knobs));
    for (std::string word; words >> word;) boot.knobs.push_back(word);
    boots.push_back(boot);
  }
  std::sort(boots.begin(), boots.end(),
            [](const Boot& a, const Boot& b) { return a.name < b.name; });
  return boots;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The screen while the check showed its test picture: after the last push
// that landed before its 3 s sleep.
std::vector<std::string> picture_screen(const twin::RunResult& r) {
  size_t landed = 0;
  for (const auto& record : r.records) {
    if (const auto* push = std::get_if<twin::FbWrite>(&record); push && push->result > 0) ++landed;
    const auto* sleep = std::get_if<twin::Sleep>(&record);
    if (sleep != nullptr && sleep->seconds == 3 && landed > 0)
      return r.frames.at(landed - 1).rows();
  }
  return {};
}

class CheckDifferential : public ::testing::TestWithParam<Boot> {};

TEST_P(CheckDifferential, TwinCheckSaysWhatTheKernelCheckSaid) {
  const Boot& boot = GetParam();
  const fs::path guest = boots_folder() / boot.name / "guest/check";
  ASSERT_TRUE(fs::exists(guest / "status"))
      << "no results of the platform check in " << guest << ": scripts/test-system makes them";
  twin::Scenario scenario;
  ASSERT_EQ(twin::apply_knobs(scenario, boot.knobs), std::nullopt);
  // The check the guest ran, with the preload library of the same build.
  const fs::path build = build_paths::kArmhfReleaseBuild;
  twin::RunOptions options;
  options.files.preload = build / "sim/libtwin-preload.so";
  const twin::RunResult r = twin::run(build / "check/restoremark-check", scenario, options);

  EXPECT_EQ(lines_of(r.out), lines_of(support::read_file(guest / "stdout")));
  EXPECT_EQ(std::to_string(r.exit_status) + "\n", support::read_file(guest / "status"));
  const auto left = twin::left_as_found(r);
  ASSERT_TRUE(left.has_value());
  EXPECT_EQ(left->leds, "as before the run");
  EXPECT_EQ(left->display, "as before the run");
  EXPECT_EQ(left->volume, "as before the run");

  const auto picture = picture_screen(r);
  ASSERT_FALSE(picture.empty()) << "the twin showed no test picture";
  std::vector<std::string> panel;
  ASSERT_NO_THROW(panel = guest::panel_rows(
                      support::read_file(boots_folder() / boot.name / "panels/check.ppm")));
  EXPECT_EQ(
      guest::panel_differences(
          r.platform == twin::Platform::kLinux ? guest::bit0_leftmost(picture) : picture, panel),
      "");
}

INSTANTIATE_TEST_SUITE_P(System, CheckDifferential, ::testing::ValuesIn(system_boots()),
                         [](const auto& param) { return guest::case_name(param.param.name); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CheckDifferential);

}  // namespace
