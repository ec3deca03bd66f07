// The restore-point procedure on a device without a display, one test per
// outcome: exact standard output, exit status, tool calls, LED writes, log
// bytes, volume and power request.
#include <csignal>

#include "twin_fixture.h"

using namespace expect;

namespace {

using Procedure = TwinTest;

TEST_F(Procedure, SuccessSetsBothFlagsDeletesLogAndRequestsPower) {
  const auto r = run_preset_on_leds("success");
  EXPECT_EQ(r.out, kBanner + "Success.\n");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRestore, kRemove}));
  EXPECT_EQ(writes(r), concat(kStartPattern, kSuccessPattern));
  EXPECT_EQ(picture(r), kSuccessLeds);
  EXPECT_EQ(trace(r),
            "T(--stop) L19 T(--make-factory) T(--make-restore) L1 S(1) L6 S(1) L1 Y T(--remove) "
            "Y P(accepted) S(10)");
  EXPECT_EQ(volume_names(r), std::set<std::string>{"notes.txt"});
  EXPECT_EQ(r.volume.at("notes.txt"), "a user's file that no step may touch\n");
  EXPECT_FALSE(r.main_user_install_left);
  ASSERT_EQ(r.power_requests.size(), 1u);
  EXPECT_EQ(r.power_requests[0].request, 0x5A3A);
  EXPECT_EQ(r.power_requests[0].argument, 0);
}

TEST_F(Procedure, ToolsInheritTheOpenLogAndNothingElse) {
  const auto r = run_preset_on_leds("success");
  const auto calls = r.tool_calls;
  ASSERT_EQ(calls.size(), 4u);
  const std::string log_fd = "3=/mnt/vfat/K300-RESTOREMARK-V1-0.log";
  EXPECT_EQ(calls[0].descriptors.find(" 3="), std::string::npos) << calls[0].descriptors;
  EXPECT_NE(calls[1].descriptors.find(log_fd), std::string::npos) << calls[1].descriptors;
  EXPECT_NE(calls[2].descriptors.find(log_fd), std::string::npos) << calls[2].descriptors;
  EXPECT_EQ(calls[3].descriptors.find(" 3="), std::string::npos) << calls[3].descriptors;
  for (const auto& call : calls) EXPECT_EQ(call.descriptors.substr(0, 11), "0=/dev/null");
}

TEST_F(Procedure, OwnLinesComeBeforeTheToolsLinesThatFollowThem) {
  auto scenario = preset("success");
  scenario.tools_talk = true;
  const auto r = run_on_leds(scenario);
  EXPECT_EQ(r.out, kBanner +
                       "orvex-msd --stop: exit 0\n"
                       "orvex-auth --make-factory: exit 0\n"
                       "orvex-auth --make-restore: exit 0\n"
                       "Success.\n"
                       "orvex-auth --remove: exit 0\n");
}

TEST_F(Procedure, ToolTimeKeepsTheGreenLedBlinkingWhileTheFlagsAreSet) {
  const auto r = run_on_leds(with_knobs("success", {"--tool-time", "1500"}));
  EXPECT_EQ(r.out, kBanner + "Success.\n");
  std::vector<double> took;
  for (const auto& record : r.records) {
    if (const auto* t = std::get_if<twin::ToolTime>(&record)) took.push_back(t->seconds);
  }
  EXPECT_EQ(took, std::vector<double>(4, 1.5));  // stop, both flags, remove
  // In virtual time: the blink starts once the export is stopped and stops
  // once both flags are set.
  std::vector<double> green_delay_on;
  for (const auto& w : r.led_writes) {
    if (w.led == "LED8:GREEN" && w.attribute == "delay_on") green_delay_on.push_back(w.time);
  }
  EXPECT_EQ(green_delay_on, (std::vector<double>{1.5, 1.5, 4.5}));  // stop, start, stop
}

TEST_F(Procedure, ExportStopFailureTouchesNothingButStillRemovesMainUserInstall) {
  for (const char* name : {"export-stop-fails", "export-stop-killed"}) {
    SCOPED_TRACE(name);
    const auto r = run_preset_on_leds(name);
    EXPECT_EQ(r.out, kBanner + kStopFailed);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kRemove, kStart}));
    EXPECT_TRUE(writes(r).empty());
    EXPECT_EQ(volume_names(r), kUntouchedVolume);
    EXPECT_FALSE(r.main_user_install_left);
    EXPECT_TRUE(r.power_requests.empty());
    EXPECT_TRUE(r.sleeps.empty());
  }
}

TEST_F(Procedure, LogThatCannotBeCreatedEndsTheRunAfterDeletingThePackage) {
  const auto r = run_preset_on_leds("log-not-created");
  EXPECT_EQ(r.out, kBanner + kLogNotStarted);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kRemove, kStart}));
  EXPECT_TRUE(writes(r).empty());
  EXPECT_EQ(volume_names(r), (std::set<std::string>{"notes.txt", kLog + "/"}));
}

TEST_F(Procedure, RefusedFactoryFlagSkipsTheRestoreFlagAndKeepsTheLog) {
  for (const char* name : {"factory-refused", "factory-tool-killed"}) {
    SCOPED_TRACE(name);
    const auto r = run_preset_on_leds(name);
    EXPECT_EQ(r.out, kBanner + "Error.\n");
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRemove, kStart}));
    EXPECT_EQ(writes(r), concat(kStartPattern, kFailurePattern));
    EXPECT_EQ(picture(r), kFailureLeds);
    EXPECT_EQ(r.log(), kFactoryLine);
    EXPECT_EQ(volume_names(r), (std::set<std::string>{"notes.txt", kLog}));
    EXPECT_TRUE(r.power_requests.empty());
    EXPECT_TRUE(r.sleeps.empty());
  }
}

TEST_F(Procedure, RefusedRestoreFlagLogsItsLine) {
  const auto r = run_preset_on_leds("restore-refused");
  EXPECT_EQ(r.out, kBanner + "Error.\n");
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRestore, kRemove, kStart}));
  EXPECT_EQ(writes(r), concat(kStartPattern, kFailurePattern));
  EXPECT_EQ(r.log(), kRestoreLine);
  EXPECT_EQ(trace(r),
            "T(--stop) L19 T(--make-factory) T(--make-restore) L3 Y T(--remove) Y T(--start)");
}

TEST_F(Procedure, MissingPowerDeviceFailsAfterSuccessWithoutTheWait) {
  const auto r = run_preset_on_leds("power-missing");
  EXPECT_EQ(r.out, kBanner + "Success.\n" + kPowerNotOpened);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRestore, kRemove, kStart}));
  EXPECT_EQ(picture(r), kSuccessLeds);
  EXPECT_EQ(r.log(), std::nullopt);  // deleted on success, before the power step
  EXPECT_EQ(trace(r),
            "T(--stop) L19 T(--make-factory) T(--make-restore) L1 S(1) L6 S(1) L1 Y T(--remove) "
            "Y T(--start)");
}

TEST_F(Procedure, RefusedPowerRequestStillWaitsThenRestartsTheExport) {
  const auto r = run_preset_on_leds("power-refused");
  EXPECT_EQ(r.out, kBanner + "Success.\n" + kPowerRefused);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.log(), std::nullopt);
  EXPECT_EQ(trace(r),
            "T(--stop) L19 T(--make-factory) T(--make-restore) L1 S(1) L6 S(1) L1 Y T(--remove) "
            "Y P(refused) S(10) T(--start)");
}

TEST_F(Procedure, AbsentMainUserInstallRunsNoToolForIt) {
  const auto r = run_preset_on_leds("main-user-absent");
  EXPECT_EQ(r.out, kBanner + "Success.\n");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRestore}));
}

TEST_F(Procedure, RefusedMainUserRemovalIsReportedButChangesNoResult) {
  const auto r = run_preset_on_leds("main-user-removal-refused");
  EXPECT_EQ(r.out, kBanner + "Success.\n" + kRemoveFailed);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_TRUE(r.main_user_install_left);
  EXPECT_EQ(r.power_requests.size(), 1u);
}

TEST_F(Procedure, RefusedExportRestartIsReported) {
  const auto r = run_preset_on_leds("export-restart-refused");
  EXPECT_EQ(r.out, kBanner + "Error.\n" + kStartFailed);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRemove, kStart}));
}

TEST_F(Procedure, LogLineThatDoesNotReachAFullVolumeIsReported) {
  const auto r = run_preset_on_leds("volume-full");
  EXPECT_EQ(r.out, kBanner +
                       "Failed to update the log file '/mnt/vfat/K300-RESTOREMARK-V1-0.log'.\n"
                       "Error.\n");
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.log(), "");  // created, but no room for its line
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRemove, kStart}));
}

TEST_F(Procedure, AbsentPackageFilesAreNormal) {
  twin::Scenario scenario;
  scenario.package_files = false;
  const auto r = run_on_leds(scenario);
  EXPECT_EQ(r.out, kBanner + "Success.\n");
  EXPECT_EQ(r.exit_status, 0);
}

TEST_F(Procedure, MissingPrivilegedToolFailsLikeARefusal) {
  twin::Scenario scenario;
  scenario.missing_tools = {"orvex-auth"};
  const auto r = run_on_leds(scenario);
  EXPECT_EQ(r.out, kBanner + "Error.\n" + kRemoveFailed);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kStart}));
  EXPECT_EQ(r.log(), kFactoryLine);
}

TEST_F(Procedure, NonExecutableExportToolFailsTheStop) {
  twin::Scenario scenario;
  scenario.non_executable_tools = {"orvex-msd"};
  const auto r = run_on_leds(scenario);
  EXPECT_EQ(r.out, kBanner + kStopFailed + kStartFailed);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kRemove}));
}

TEST_F(Procedure, ReadOnlyVolumeKeepsThePackageAndCannotStartTheLog) {
  twin::Scenario scenario;
  scenario.volume_readonly = true;
  const auto r = run_on_leds(scenario);
  EXPECT_EQ(r.out, kBanner + kLogNotStarted);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(volume_names(r), kUntouchedVolume);
}

}  // namespace
