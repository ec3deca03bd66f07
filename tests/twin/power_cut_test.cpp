// A power cut at each cut point, on the LED device: the run ends there (the
// program killed, the cut call never answered), with the tool calls made so
// far, the LEDs as they were at that moment and the volume as the program
// had left it (the twin's volume keeps every write). The knob and its
// settings line are read strictly.
#include <csignal>

#include "device.h"
#include "knobs.h"
#include "settings.h"
#include "twin_fixture.h"

using namespace expect;

namespace {

using PowerCut = TwinTest;

const std::set<std::string> kLogLeft = {"K300-RESTOREMARK-V1-0.log", "notes.txt"};

TEST_F(PowerCut, EndsTheRunAtItsPoint) {
  const struct {
    const char* point;
    std::vector<std::string> knobs;  // on top of the cut
    std::vector<Argv> calls;         // the last is the one cut, where there is one
    std::string leds;
    std::set<std::string> volume;
    size_t power_requests;
  } cases[] = {
      {"stop", {}, {kStop}, ".........", kUntouchedVolume, 0},
      {"factory", {}, {kStop, kFactory}, ".......~L", kLogLeft, 0},
      {"restore", {"--cut-delay", "40000"}, {kStop, kFactory, kRestore}, ".......~L", kLogLeft, 0},
      {"remove", {}, {kStop, kFactory, kRestore, kRemove}, kSuccessLeds, {"notes.txt"}, 0},
      {"power", {}, {kStop, kFactory, kRestore, kRemove}, kSuccessLeds, {"notes.txt"}, 1},
      {"start", {"--factory", "1"}, {kStop, kFactory, kRemove, kStart}, kFailureLeds, kLogLeft, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.point);
    auto knobs = c.knobs;
    knobs.insert(knobs.begin(), {"--cut", c.point, "--no-display"});
    const auto r = twin::run(executable(), with_knobs("success", knobs), options_);
    EXPECT_EQ(r.signal, SIGKILL);
    EXPECT_EQ(argvs(r), c.calls);
    EXPECT_EQ(picture(r), c.leds);
    EXPECT_EQ(r.power_requests.size(), c.power_requests);
    EXPECT_EQ(volume_names(r), c.volume);
    const bool tool_cut = std::string(c.point) != "power";
    ASSERT_FALSE(r.tool_calls.empty());
    EXPECT_EQ(r.tool_calls.back().note, tool_cut ? "power cut" : "removed");
    EXPECT_EQ(r.tool_calls.back().ended, tool_cut ? "not waited for" : "exit 0");
  }
}

TEST(PowerCutKnobs, SettingsSayWhereAndWhen) {
  twin::Scenario s;
  EXPECT_EQ(twin::apply_knobs(s, {"--cut", "remove", "--cut-delay", "5000"}), std::nullopt);
  const twin_settings::Settings settings = twin::make_device(s).settings;
  EXPECT_TRUE(twin_settings::cuts_at(settings, "orvex-auth", "--remove"));
  EXPECT_FALSE(twin_settings::cuts_at(settings, "orvex-auth", "--make-factory"));
  EXPECT_EQ(settings.cut_delay_ms, 5000);
  EXPECT_EQ(twin::apply_knobs(s, {"--cut", "sync"}),
            "--cut: expected one of stop, factory, restore, remove, power, start: sync");
  EXPECT_NE(twin::apply_knobs(s, {"--cut-delay", "600001"}), std::nullopt);

  const std::string path = testing::TempDir() + "power-cut-settings";
  char why[256] = "";
  twin_settings::Settings back;
  ASSERT_TRUE(twin_settings::write_settings(settings, path.c_str()));
  ASSERT_TRUE(twin_settings::read_settings(path.c_str(), &back, why, sizeof why)) << why;
  EXPECT_TRUE(twin_settings::cuts_at(back, "orvex-auth", "--remove"));
  EXPECT_EQ(back.cut_delay_ms, 5000);
  for (const char* line : {"cut=orvex-auth --remove\n", "cut=orvex-auth --remove 5 6\n",
                           "cut=orvex-auth --remove -1\n", "cut=power request soon\n"}) {
    FILE* file = fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    fputs(line, file);
    fclose(file);
    EXPECT_FALSE(twin_settings::read_settings(path.c_str(), &back, why, sizeof why)) << line;
  }
  remove(path.c_str());
}

}  // namespace
