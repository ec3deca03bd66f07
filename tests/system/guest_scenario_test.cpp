// The full-system suite's scenario list, read with the twin's knob table:
// what the guest sets up for a line, the lines it refuses and why, and the
// guest's journal in its result files' formats.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "guest-journal.h"
#include "guest-scenario.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kBoard = "--platform linux --max-brightness 1";

std::string line(const std::string& name, const std::string& knobs = "") {
  return name + " " + kBoard + (knobs.empty() ? "" : " " + knobs);
}

TEST(GuestScenario, SetsUpWhatTheKnobsSay) {
  struct Case {
    std::string knobs;
    bool display;
    long long fb_memory;
    std::string led_trigger, power;
  };
  const std::vector<Case> cases = {
      {"", true, 8 << 20, "none", "accept"},
      {"--fb-memory 1024", true, 1024, "none", "accept"},
      {"--no-display --led-trigger timer", false, 8 << 20, "timer", "accept"},
      {"--power refuse", true, 8 << 20, "none", "refuse"},
      {"--power missing", true, 8 << 20, "none", "missing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.knobs);
    const guest::Scenario s = guest::parse_scenario(line("s", c.knobs));
    EXPECT_EQ(s.name, "s");
    EXPECT_EQ(s.setup.display, c.display);
    EXPECT_EQ(s.setup.fb_memory, c.fb_memory);
    EXPECT_EQ(s.setup.led_trigger, c.led_trigger);
    EXPECT_EQ(s.setup.power, c.power);
    EXPECT_EQ(s.setup.settings.power_refuses, c.power == "refuse");
    EXPECT_EQ(s.setup.settings.platform, twin_settings::Platform::kLinux);
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

TEST(GuestScenario, RefusesWhatTheGuestCannotSetUp) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"s --max-brightness 1", "s: every scenario runs on --platform linux"},
      {"s --platform linux", "s: every scenario has --max-brightness 1"},
      {line("s", "--volume-full"), "s: --volume-full: not an option the guest can set up"},
      {line("s", "--no-led 3"), "s: --no-led: not an option the guest can set up"},
      {line("s", "--power open-refused"), "s: --power open-refused: the guest has accept"},
      {line("s", "--fb-memory 0"), "s: --fb-memory 0: the board's display memory"},
      {line("s", "--bogus"), "s: no such knob: --bogus"},
      {line("s", "--factory"), "s: --factory needs a value"},
      {line("s", "--led-trigger heartbeat"), "s: --led-trigger: expected one of none, timer"},
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
      guest::load_scenarios(fs::path(RESTOREMARK_SOURCE_DIR) / "system/scenarios").empty());
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

}  // namespace
