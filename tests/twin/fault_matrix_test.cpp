// The procedure on a device that misbehaves: a full or read-only volume,
// missing or unusable tools (killed ones: tools_killed_test.cpp), an LED
// class that refuses or lacks everything, a power device that cannot be
// opened, and every preset on both indicators. Each run is checked whole:
// standard output, exit status (never a signal), the log's bytes, the volume,
// the tool calls and what the indicator showed.
#include <map>

#include "twin_fixture.h"

using namespace expect;

namespace {

using FaultMatrix = TwinTest;

// --- a full volume: the log can be created but takes no line ----------------

// A volume-full scenario whose flags answer as given.
twin::Scenario full_volume(
    std::initializer_list<std::pair<const char*, twin::ToolAnswer>> refusals) {
  auto scenario = preset("volume-full");
  scenario.answers.clear();
  for (const auto& [option, answer] : refusals) scenario.answer(twin::kAuth, option, answer);
  return scenario;
}

const std::set<std::string> kFullVolumeWithLog = {"filler.bin", "notes.txt", kLog};

TEST_F(FaultMatrix, FullVolumeReportsEachLostLogLineAndNeverSuccess) {
  struct Case {
    const char* name;
    twin::Scenario scenario;
    std::string out;
    std::vector<Argv> calls;
    std::string last_line;
  };
  const std::vector<Case> cases = {
      {"factory flag refused",
       full_volume({{"--make-factory", kRefused}}),
       kBanner + kLogNotUpdated + "Error.\n",
       {kStop, kFactory, kRemove, kStart},
       "Error."},
      {"restore flag refused",
       full_volume({{"--make-restore", kRefused}}),
       kBanner + kLogNotUpdated + "Error.\n",
       {kStop, kFactory, kRestore, kRemove, kStart},
       "Error."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = run(c.scenario);
    expect_exit(r, 1);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(argvs(r), c.calls);
    EXPECT_EQ(r.log(), "");  // created, but no room for its line
    EXPECT_EQ(volume_names(r), kFullVolumeWithLog);
    EXPECT_EQ(r.volume.at("notes.txt"), "a user's file that no step may touch\n");
    EXPECT_EQ(last_screen(r), screen({}, {kBannerLine, c.last_line}));
    EXPECT_TRUE(r.power_requests.empty());
    EXPECT_TRUE(r.led_writes.empty());
  }
}

TEST_F(FaultMatrix, FullVolumeWithADisplayThatCannotStartReportsTheLostDisplayLine) {
  auto scenario = full_volume({});
  scenario.display_info_fails = true;
  const auto r = run(scenario);
  expect_exit(r, 1);
  EXPECT_EQ(r.out, kBanner + "Failed to obtain the display information.\n" + kLogNotUpdated);
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kRemove, kStart}));
  EXPECT_EQ(r.log(), "");
  EXPECT_EQ(volume_names(r), kFullVolumeWithLog);
  EXPECT_TRUE(r.frames.empty());
}

TEST_F(FaultMatrix, FullVolumeDoesNotStandInTheWayOfSuccess) {
  const auto r = run(full_volume({}));
  expect_exit(r, 0);
  EXPECT_EQ(r.out, kBanner + "Success.\n");
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRestore, kRemove}));
  EXPECT_EQ(volume_names(r), (std::set<std::string>{"filler.bin", "notes.txt"}));
  ASSERT_EQ(r.power_requests.size(), 1u);
  EXPECT_TRUE(r.power_requests[0].accepted);
}

TEST_F(FaultMatrix, FullVolumeWithoutASizeIsRefusedNotIgnored) {
  twin::Scenario scenario;
  scenario.volume_full = true;
  EXPECT_THROW(twin::run(executable(), scenario, options_), twin::TwinError);
}

// --- a read-only volume ------------------------------------------------------

TEST_F(FaultMatrix, ReadOnlyVolumeEndsTheRunBeforeTheDisplayStarts) {
  twin::Scenario scenario;
  scenario.volume_readonly = true;
  const auto r = run(scenario);
  expect_exit(r, 1);
  EXPECT_EQ(r.out, kBanner + kLogNotStarted);
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kRemove, kStart}));
  EXPECT_EQ(volume_names(r), kUntouchedVolume);
  EXPECT_TRUE(r.frames.empty());
  EXPECT_TRUE(r.led_writes.empty());
  EXPECT_FALSE(r.main_user_install_left);
}

// --- tools that cannot be run ------------------------------------------------

TEST_F(FaultMatrix, ToolThatCannotBeRunFailsItsStepWhetherMissingOrNotExecutable) {
  for (const bool missing : {true, false}) {
    SCOPED_TRACE(missing ? "missing" : "not executable");
    auto without = [&](std::set<std::string> tools) {
      twin::Scenario scenario;
      (missing ? scenario.missing_tools : scenario.non_executable_tools) = std::move(tools);
      return run(scenario);
    };

    const auto no_export = without({twin::kMsd});
    expect_exit(no_export, 1);
    EXPECT_EQ(no_export.out, kBanner + kStopFailed + kStartFailed);
    EXPECT_EQ(argvs(no_export), (std::vector<Argv>{kRemove}));
    EXPECT_EQ(volume_names(no_export), kUntouchedVolume);
    EXPECT_TRUE(no_export.frames.empty());

    const auto no_auth = without({twin::kAuth});
    expect_exit(no_auth, 1);
    EXPECT_EQ(no_auth.out, kBanner + "Error.\n" + kRemoveFailed);
    EXPECT_EQ(argvs(no_auth), (std::vector<Argv>{kStop, kStart}));
    EXPECT_EQ(no_auth.log(), kFactoryLine);
    EXPECT_TRUE(no_auth.main_user_install_left);
    EXPECT_EQ(last_screen(no_auth), screen({}, {kBannerLine, "Error."}));

    const auto neither = without({twin::kMsd, twin::kAuth});
    expect_exit(neither, 1);
    EXPECT_EQ(neither.out, kBanner + kStopFailed + kRemoveFailed + kStartFailed);
    EXPECT_TRUE(neither.tool_calls.empty());
    EXPECT_EQ(volume_names(neither), kUntouchedVolume);
    EXPECT_TRUE(neither.main_user_install_left);
  }
}

// --- the LED class -----------------------------------------------------------

TEST_F(FaultMatrix, LedClassRefusingEveryValueChangesNothingButTheLeds) {
  twin::Scenario scenario;
  for (int led = 0; led < 9; ++led) {
    for (const char* attribute : twin::kLedAttributes) {
      scenario.refusing_attributes.insert({led, attribute});
    }
  }
  for (const bool refuse_factory : {false, true}) {
    SCOPED_TRACE(refuse_factory ? "failure" : "success");
    auto s = scenario;
    if (refuse_factory) s.answer(twin::kAuth, "--make-factory", kRefused);
    const auto r = run_on_leds(s);
    expect_exit(r, refuse_factory ? 1 : 0);
    EXPECT_EQ(r.out, kBanner + (refuse_factory ? "Error.\n" : "Success.\n"));
    EXPECT_EQ(writes(r), concat(kStartPattern, refuse_factory ? kFailurePattern : kSuccessPattern));
    for (const auto& w : r.led_writes) EXPECT_FALSE(w.accepted) << w.led << "/" << w.attribute;
    EXPECT_EQ(picture(r), ".........");
  }
}

TEST_F(FaultMatrix, DeviceWithoutLedsReportsEveryOperationAndStillSucceeds) {
  twin::Scenario scenario;
  for (int led = 0; led < 9; ++led) scenario.missing_leds.insert(led);
  const auto r = run_on_leds(scenario);
  expect_exit(r, 0);
  const std::string& off = kLedMissing;
  const std::string& on = kLedMissingInOn;
  std::string start;
  for (int i = 0; i < 16; ++i) start += off;  // led_off and led_blink_stop, LEDs 0-7
  start += on + off;                          // led_on(8), led_blink_start(7)
  std::string result = off;                   // led_blink_stop(7)
  for (int i = 0; i < 7; ++i) result += on;   // led_on(0..5), led_on(7)
  EXPECT_EQ(r.out, kBanner + start + "Success.\n" + result);
  EXPECT_TRUE(r.led_writes.empty());
  EXPECT_EQ(r.power_requests.size(), 1u);
}

// --- the power device --------------------------------------------------------

TEST_F(FaultMatrix, PowerDeviceThatCannotBeOpenedFailsAfterSuccessOnEitherIndicator) {
  twin::Scenario scenario;
  scenario.power = twin::Power::kOpenRefused;
  for (const bool display : {true, false}) {
    SCOPED_TRACE(display ? "display" : "LEDs");
    const auto r = display ? run(scenario) : run_on_leds(scenario);
    expect_exit(r, 1);
    EXPECT_EQ(r.out, kBanner + "Success.\n" + kPowerNotOpened);
    EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRestore, kRemove, kStart}));
    EXPECT_TRUE(r.power_requests.empty());
    for (const auto& s : r.sleeps) EXPECT_LT(s.seconds, 10);  // no wait without a request
    EXPECT_EQ(r.log(), std::nullopt);  // deleted on success, before the power step
    EXPECT_EQ(volume_names(r), std::set<std::string>{"notes.txt"});
    if (display) {
      EXPECT_EQ(last_screen(r), screen({}, {kBannerLine, "Success."}));
    } else {
      EXPECT_EQ(picture(r), kSuccessLeds);
    }
  }
}

// --- every preset, on both indicators ----------------------------------------

// What holds for every run: a clean end; success exactly when the export was
// left stopped, the log deleted and the power request accepted; a failure
// always ends by restarting the export and never claims more than it did.
// The exit status each preset must end with on the display and on the
// LEDs; a preset that is not listed here fails the test until it is.
const std::map<std::string, std::pair<int, int>> kPresetStatus = {
    {"success", {0, 0}},
    {"no-display", {0, 0}},
    {"display-readonly", {0, 0}},
    {"display-fails", {1, 0}},
    {"volume-full", {1, 1}},
    {"export-stop-fails", {1, 1}},
    {"log-not-created", {1, 1}},
    {"factory-refused", {1, 1}},
    {"restore-refused", {1, 1}},
    {"power-missing", {1, 1}},
    {"power-refused", {1, 1}},
    {"main-user-absent", {0, 0}},
    {"main-user-removal-refused", {0, 0}},
    {"export-restart-refused", {1, 1}},
    {"factory-tool-killed", {1, 1}},
    {"export-stop-killed", {1, 1}},
};

TEST_F(FaultMatrix, EveryPresetEndsCleanlyAndReportsSuccessOnlyWhenItWas) {
  for (const auto& p : twin::presets()) {
    const auto expected = kPresetStatus.find(p.name);
    ASSERT_NE(expected, kPresetStatus.end()) << "no expected exit status for " << p.name;
    for (const bool display : {true, false}) {
      SCOPED_TRACE(p.name + (display ? " on the display" : " on the LEDs"));
      const auto scenario = preset(p.name);
      const auto r = display ? run(scenario) : run_on_leds(scenario);
      expect_exit(r, display ? expected->second.first : expected->second.second);
      const auto calls = argvs(r);
      ASSERT_FALSE(calls.empty());
      const auto requests = r.power_requests;
      if (r.exit_status == 0) {
        EXPECT_NE(calls.back(), kStart);
        EXPECT_EQ(r.log(), std::nullopt);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_TRUE(requests[0].accepted);
        EXPECT_NE(r.out.find("Success.\n"), std::string::npos);
      } else {
        EXPECT_EQ(calls.back(), kStart);
        for (const auto& request : requests) EXPECT_FALSE(request.accepted);
        // "Success." on a failed run only when the power step failed after it:
        // the log is gone by then. "Error." always leaves the log behind.
        if (r.out.find("Success.\n") != std::string::npos) {
          EXPECT_EQ(r.log(), std::nullopt);
        }
        if (r.out.find("Error.\n") != std::string::npos) {
          EXPECT_TRUE(r.log().has_value());
        }
      }
    }
  }
}

}  // namespace
