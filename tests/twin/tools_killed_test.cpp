// Device tools killed by a signal at every step of the procedure, on the
// LED device: each of twelve signals ends the step's tool, the program sees
// the end as the failure it is, and the run goes on as that step's failure.
#include <csignal>

#include "twin_fixture.h"

using namespace expect;

namespace {

using ToolsKilled = TwinTest;

// --- tools killed by a signal, at every step ---------------------------------

const std::vector<int> kSignals = {SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGABRT, SIGFPE,
                                   SIGKILL, SIGSEGV, SIGPIPE, SIGTERM, SIGUSR1, SIGBUS};

std::string signal_name(int number) { return std::string("SIG") + sigabbrev_np(number); }

// Runs the LED device once for every signal, with the step's tool killed by
// it, and checks the run against `check`. The killed call is the one at
// `call` in the tool calls.
template <typename Check>
void for_each_signal(TwinTest& test, twin::Scenario base, const char* tool, const char* option,
                     size_t call, Check check) {
  for (const int number : kSignals) {
    SCOPED_TRACE(signal_name(number));
    auto scenario = base;
    scenario.answer(tool, option, {true, number});
    const auto r = test.run_on_leds(scenario);
    const auto calls = r.tool_calls;
    ASSERT_GT(calls.size(), call);
    EXPECT_EQ(calls[call].ended, "killed by " + signal_name(number));
    check(r);
  }
}

TEST_F(ToolsKilled, ExportStopKilledBySignalTouchesNothing) {
  for_each_signal(*this, {}, twin::kMsd, "--stop", 0, [](const twin::RunResult& r) {
    expect_exit(r, 1);
    EXPECT_EQ(r.out, kBanner + kStopFailed);
    EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kRemove, kStart}));
    EXPECT_EQ(volume_names(r), kUntouchedVolume);
    EXPECT_TRUE(r.led_writes.empty());
  });
}

TEST_F(ToolsKilled, FactoryFlagKilledBySignalIsARefusal) {
  for_each_signal(*this, {}, twin::kAuth, "--make-factory", 1, [](const twin::RunResult& r) {
    expect_exit(r, 1);
    EXPECT_EQ(r.out, kBanner + "Error.\n");
    EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRemove, kStart}));
    EXPECT_EQ(r.log(), kFactoryLine);
    EXPECT_EQ(writes(r), concat(kStartPattern, kFailurePattern));
  });
}

TEST_F(ToolsKilled, RestoreFlagKilledBySignalIsARefusal) {
  for_each_signal(*this, {}, twin::kAuth, "--make-restore", 2, [](const twin::RunResult& r) {
    expect_exit(r, 1);
    EXPECT_EQ(r.out, kBanner + "Error.\n");
    EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRestore, kRemove, kStart}));
    EXPECT_EQ(r.log(), kRestoreLine);
    EXPECT_EQ(picture(r), kFailureLeds);
  });
}

TEST_F(ToolsKilled, MainUserRemovalKilledBySignalLeavesTheRunSuccessful) {
  for_each_signal(*this, {}, twin::kAuth, "--remove", 3, [](const twin::RunResult& r) {
    expect_exit(r, 0);
    EXPECT_EQ(r.out, kBanner + "Success.\n" + kRemoveFailed);
    EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRestore, kRemove}));
    EXPECT_TRUE(r.main_user_install_left);
    EXPECT_EQ(r.log(), std::nullopt);
    EXPECT_EQ(r.power_requests.size(), 1u);
  });
}

TEST_F(ToolsKilled, ExportRestartKilledBySignalIsReported) {
  twin::Scenario refused;
  refused.answer(twin::kAuth, "--make-factory", kRefused);
  for_each_signal(*this, refused, twin::kMsd, "--start", 3, [](const twin::RunResult& r) {
    expect_exit(r, 1);
    EXPECT_EQ(r.out, kBanner + "Error.\n" + kStartFailed);
    EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kFactory, kRemove, kStart}));
    EXPECT_EQ(r.log(), kFactoryLine);
  });
}

}  // namespace
