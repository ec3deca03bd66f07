// Shared by the fault scenario tests: a device image with the made-up test
// font (so that screens can be computed), fonts of the test's own, and the
// check that a run ended the way the program ends, whatever the device did.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "run_helpers.h"
#include "screen_expectation.h"

namespace expect {

// The program ends by exiting with `status`, never by a signal, and leaves
// standard error empty: it never writes there itself, so anything there is a
// sanitizer's or the coverage runtime's report.
inline void expect_clean_end(const twin::RunResult& r, int status) {
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exit_status, status);
  EXPECT_EQ(r.err, "");
}

inline std::vector<std::string> last_screen(const twin::RunResult& r) {
  const auto frames = r.frames();
  return frames.empty() ? std::vector<std::string>{} : frames.back().rows();
}

class FaultScenario : public ::testing::Test {
 public:
  void SetUp() override {
    char dir[] = "/tmp/fault-test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    options_ = run_options();
    options_.files.font = write_test_font(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  twin::RunResult run(const twin::Scenario& scenario) {
    return twin::run(executable(), scenario, options_);
  }

  twin::RunResult run_on_leds(twin::Scenario scenario) {
    scenario.display = twin::Display::kNone;
    return run(scenario);
  }

  // Installs `text` as the device's console font for the next runs.
  void use_font(const std::string& text) {
    const auto path = dir_ / "font.bdf";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    options_.files.font = path;
  }

  std::filesystem::path dir_;
  twin::RunOptions options_;
};

}  // namespace expect
