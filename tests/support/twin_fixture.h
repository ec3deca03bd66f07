// Every scenario test runs the device program through this fixture: a run
// always checks that the program ended by exiting (never by a signal) and
// wrote nothing on standard error (anything there is a sanitizer's, the
// coverage runtime's or the twin's own report), and the teardown checks that
// the twin left nothing behind: no image folder, no mount, no process.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "expectations.h"
#include "run.h"
#include "screens.h"

namespace expect {

// The program the scenarios run: this build's, or another build's named by
// RESTOREMARK_TWIN_EXECUTABLE (a cross build runs these host tests on its ARM
// program), with the preload library of the program's machine named by
// RESTOREMARK_TWIN_PRELOAD.
std::filesystem::path executable();
// The platform check the same way: RESTOREMARK_TWIN_CHECK names another build's.
std::filesystem::path check_executable();
twin::RunOptions run_options();

twin::Scenario preset(const std::string& name);
// A preset with knobs on top, as on the twin's command line.
twin::Scenario with_knobs(const std::string& preset_name, const std::vector<std::string>& knobs);
// A preset on a display of another geometry.
twin::Scenario on_display(const std::string& preset_name, const twin::Geometry& geometry);

class TwinTest : public ::testing::Test {
 public:
  void SetUp() override;
  void TearDown() override;

  // Runs the scenario with the made-up test font (so that every screen can
  // be computed), or the font of use_font().
  twin::RunResult run(const twin::Scenario& scenario);
  twin::RunResult run_on_leds(twin::Scenario scenario);
  // Runs the platform check instead of the program, on the same device.
  twin::RunResult run_check(const twin::Scenario& scenario);
  twin::RunResult run_preset(const std::string& name) { return run(preset(name)); }
  twin::RunResult run_preset_on_leds(const std::string& name) { return run_on_leds(preset(name)); }

  // Installs `text` as the device's console font for the next runs.
  void use_font(const std::string& text);

 protected:
  std::filesystem::path dir_;     // the test's own folder: fonts, logs
  std::filesystem::path images_;  // where the twin makes its device images
  twin::RunOptions options_;
};

// A run ended by exiting with `status`, as the program always does.
void expect_exit(const twin::RunResult& r, int status);
// A run on a display whose geometry the console refused (as its message
// gives it): it ends like one whose display cannot start.
void expect_refused_display(const twin::RunResult& r, const std::string& geometry);

}  // namespace expect
