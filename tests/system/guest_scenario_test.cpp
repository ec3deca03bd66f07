// The full-system suite's scenario list, read with the twin's knob table:
// what the guest sets up for a line, the lines it refuses and why, the
// guest's journal in its result files' formats, and its panel pictures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "build-paths.h"
#include "guest-journal.h"
#include "guest-panel.h"
#include "guest-scenario.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kBoard = "--platform linux --max-brightness 1";

std::string line(const std::string& name, const std::string& knobs = "") {
  return name + " " + kBoard + (knobs.empty() ? "" : " " + knobs);
}

TEST(GuestScenario, SetsUpWhatTheKnobsSay) {
  struct Case {
    std::string line;
    std::string platform;
    bool display;
    long long fb_memory;
    std::string led_trigger, power;
  };
  const std::vector<Case> cases = {
      {line("s"), "linux", true, 8 << 20, "none", "accept"},
      {line("s", "--fb-memory 1024"), "linux", true, 1024, "none", "accept"},
      {line("s", "--no-display --led-trigger timer"), "linux", false, 8 << 20, "timer", "accept"},
      {line("s", "--power refuse"), "linux", true, 8 << 20, "none", "refuse"},
      {line("s", "--power missing"), "linux", true, 8 << 20, "none", "missing"},
      {"s --platform device --fb-memory 1024", "device", true, 1024, "none", "accept"},
      {"s --platform device --no-display --power refuse", "device", false, 8 << 20, "none",
       "refuse"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const guest::Scenario s = guest::parse_scenario(c.line);
    EXPECT_EQ(s.name, "s");
    EXPECT_EQ(s.setup.platform, c.platform);
    EXPECT_EQ(s.setup.display, c.display);
    EXPECT_EQ(s.setup.fb_memory, c.fb_memory);
    EXPECT_EQ(s.setup.led_trigger, c.led_trigger);
    EXPECT_EQ(s.setup.power, c.power);
    EXPECT_EQ(s.setup.settings.power_refuses, c.power == "refuse");
    EXPECT_EQ(s.setup.settings.platform, c.platform == "device" ? twin_settings::Platform::kDevice
                                                                : twin_settings::Platform::kLinux);
    // The guest's clock is real, whatever the twin's is.
    EXPECT_TRUE(s.setup.settings.real_time);
    EXPECT_FALSE(s.twin.real_time);
  }
}

TEST(GuestScenario, ToolAnswersGoToTheSettings) {
  const auto s = guest::parse_scenario(line("s", "--stop 1 --factory SIGKILL --remove 7"));
  const auto answer = [&s](const char* tool, const char* option) {
    const auto* a = twin_settings::find_answer(s.setup.settings, tool, option);
    return a == nullptr
               ? std::string("none")
               : std::string(a->by_signal ? "signal " : "exit ") + std::to_string(a->value);
  };
  EXPECT_EQ(answer("orvex-msd", "--stop"), "exit 1");
  EXPECT_EQ(answer("orvex-auth", "--make-factory"), "signal 9");
  EXPECT_EQ(answer("orvex-auth", "--remove"), "exit 7");
  EXPECT_EQ(answer("orvex-auth", "--make-restore"), "none");
}

// The cut is in the settings, where the tool or power driver at that point
// finds it; the runner hears only the point's name.
TEST(GuestScenario, CutGoesToTheSettings) {
  const struct {
    std::string knobs, cut, tool, option;
    long long delay;
  } cases[] = {
      {"", "none", "", "", 0},
      {"--cut stop", "stop", "orvex-msd", "--stop", 0},
      {"--cut factory --cut-delay 40000", "factory", "orvex-auth", "--make-factory", 40000},
      {"--cut remove", "remove", "orvex-auth", "--remove", 0},
      {"--cut power --cut-delay 5000", "power", "power", "request", 5000},
      {"--factory 1 --cut start", "start", "orvex-msd", "--start", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.knobs);
    const auto s = guest::parse_scenario(line("s", c.knobs + " --no-main-user-install"));
    EXPECT_EQ(s.setup.cut, c.cut);
    EXPECT_STREQ(s.setup.settings.cut_tool, c.tool.c_str());
    EXPECT_STREQ(s.setup.settings.cut_option, c.option.c_str());
    EXPECT_EQ(s.setup.settings.cut_delay_ms, c.delay);
    EXPECT_FALSE(s.setup.main_user_install);
  }
  EXPECT_TRUE(guest::parse_scenario(line("s")).setup.main_user_install);
}

TEST(GuestScenario, RefusesWhatTheGuestCannotSetUp) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"s --platform linux", "s: every --platform linux scenario has --max-brightness 1"},
      {"s --max-brightness 1", "s: --platform device: the reference LED driver has max_brightness"},
      {"s --platform device --led-trigger timer", "s: --platform device takes no --led-trigger"},
      {line("s", "--volume-full"), "s: --volume-full: not an option the guest can set up"},
      {line("s", "--no-led 3"), "s: --no-led: not an option the guest can set up"},
      {line("s", "--power open-refused"), "s: --power open-refused: the guest has accept"},
      {line("s", "--fb-memory 0"), "s: --fb-memory 0: the board's display memory"},
      {line("s", "--bogus"), "s: no such knob: --bogus"},
      {line("s", "--factory"), "s: --factory needs a value"},
      {line("s", "--led-trigger heartbeat"), "s: --led-trigger: expected one of none, timer"},
      {line("s", "--cut power --cut-delay 5001"), "s: --cut power takes a --cut-delay of at most"},
      {line("s", "--cut-delay 10"), "s: --cut-delay without --cut"},
      {line("s", "--cut sync"), "s: --cut: expected one of stop, factory, restore, remove, power"},
  };
  for (const auto& [text, why] : cases) {
    SCOPED_TRACE(text);
    try {
      guest::parse_scenario(text);
      ADD_FAILURE() << "accepted";
    } catch (const guest::ScenarioError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(why, 0), 0u) << error.what();
    }
  }
}

TEST(GuestScenario, ListGivesEveryScenarioOrThoseNamed) {
  char dir[] = "/tmp/guest-scenario-test.XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const fs::path list = fs::path(dir) / "scenarios";
  const auto write = [&list](const std::string& text) { std::ofstream(list) << text; };
  const auto names = [&list](const std::vector<std::string>& chosen) {
    std::string out;
    for (const auto& s : guest::load_scenarios(list, chosen)) out += s.name + " ";
    return out;
  };
  write("# comment\n" + line("a") + "\n\n  " + line("b", "--no-display") + "\n");
  EXPECT_EQ(names({}), "a b ");
  EXPECT_EQ(names({"b", "a"}), "b a ");
  EXPECT_THROW(names({"a", "c"}), guest::ScenarioError);
  write(line("a") + "\n" + line("a", "--stop 1") + "\n");
  EXPECT_THROW(names({}), guest::ScenarioError);
  fs::remove_all(dir);
  EXPECT_THROW(names({}), guest::ScenarioError);
  // The suite's own list, before any guest boots for it.
  EXPECT_FALSE(
      guest::load_scenarios(fs::path(build_paths::kSourceDir) / "system/scenarios").empty());
}

TEST(GuestJournal, GivesTheResultFilesFormats) {
  const auto records = twin::decode_journal(
      "tool\t31\torvex-msd\texit 0\t\t0=/dev/null\t2\torvex-msd\t--stop\n"
      "power-open\t2\n"
      "power\t23098\t0\taccepted\n"
      "tool\t32\torvex-auth\texit 0\tremoved\t\t3\torvex-auth\t--remove\t/a%20b\n"
      "power\t23098\t1\trefused\n");
  EXPECT_EQ(guest::tools_file(records), "orvex-msd\t--stop\norvex-auth\t--remove\t/a b\n");
  EXPECT_EQ(guest::power_file(records), "open 2\nioctl 23098 0 accepted\nioctl 23098 1 refused\n");
  EXPECT_EQ(guest::tools_file({}) + guest::power_file({}), "");
}

TEST(GuestPanel, ReadsTheTwoColoursOfTheScreendumpAndNothingElse) {
  const std::string set("\xa8\xa8\xa8", 3), clear(3, '\0');
  EXPECT_EQ(guest::panel_rows("P6\n3 2\n255\n" + set + clear + clear + clear + clear + set),
            (std::vector<std::string>{"#..", "..#"}));
  const std::string red("\xff\0\0", 3);
  for (const std::string& bad : {"P6\n2 1\n255\n" + set, "P6\n1 1\n255\n" + red,
                                 "P5\n1 1\n255\n" + set, std::string("P6\n1")}) {
    EXPECT_THROW(guest::panel_rows(bad), guest::PanelError) << bad;
  }
}

}  // namespace
