// The atlas from made-up runs: which outcomes count as looking the same on
// the device, what tells them apart, and that nothing a run wrote can break
// out of the page or the table.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "atlas-internal.h"
#include "looks.h"

namespace {

using twin::LedState;
using twin::RunResult;

const LedState kDark{};
const LedState kLit{"255", "-", "0", "0"};
const LedState kBlinking{"0", "-", "500", "500"};
// Blinking stopped by writing 0 to delay_on only: dark like kDark.
const LedState kStopped{"0", "-", "0", "500"};

RunResult run_showing(std::vector<std::string> screens, std::vector<LedState> leds = {}) {
  RunResult r;
  for (auto& bytes : screens) r.frames.push_back({0, std::move(bytes), twin::Geometry{}});
  r.final_leds = std::vector<LedState>(twin::kLeds.size(), kDark);
  for (size_t i = 0; i < leds.size(); ++i) r.final_leds[i] = leds[i];
  return r;
}

atlas::Atlas atlas_of(std::vector<RunResult> runs) {
  std::vector<atlas::Outcome> outcomes;
  for (size_t i = 0; i < runs.size(); ++i) {
    const std::string name = "o" + std::to_string(i);
    outcomes.push_back({{name, name, "", atlas::Indicator::kDisplay, {}}, runs[i], "", 0});
  }
  return atlas::make_atlas(std::move(outcomes));
}

// The last row of a Markdown table, and how many cell walls it has (an
// escaped '|' is text, not a wall).
std::string last_row(const std::string& md) { return md.substr(md.rfind("\n| ", md.size() - 2) + 1); }

size_t cell_walls(const std::string& row) {
  size_t walls = 0;
  for (size_t i = 0; i < row.size(); ++i) walls += row[i] == '|' && (i == 0 || row[i - 1] != '\\');
  return walls;
}

TEST(AtlasLooks, SameOnlyWhenLastScreenAndLampsMatch) {
  const std::string blank(1024, '\0'), text(1024, '\x5a');
  const struct {
    const char* why;
    RunResult a, b;
    bool same;
  } cases[] = {
      {"same last screen, earlier ones differ", run_showing({text, blank}), run_showing({blank}),
       true},
      {"different last screen", run_showing({blank, text}), run_showing({blank}), false},
      {"a blank screen is not no screen", run_showing({blank}), run_showing({}), false},
      {"same screen, an LED differs", run_showing({text}), run_showing({text}, {kLit}), false},
      {"no screen, same lamps", run_showing({}, {kLit, kBlinking}),
       run_showing({}, {kLit, kBlinking}), true},
      {"blinking is not lit", run_showing({}, {kBlinking}), run_showing({}, {kLit}), false},
      {"a stopped blink is dark", run_showing({}, {kStopped}), run_showing({}), true},
      {"another rate", run_showing({}, {{"0", "-", "300", "700"}}), run_showing({}, {kBlinking}),
       false},
  };
  for (const auto& c : cases) EXPECT_EQ(twin::look_the_same(c.a, c.b), c.same) << c.why;
}

TEST(AtlasLooks, GroupsInOrderOfFirstOutcome) {
  const std::string text(1024, '\x11');
  const auto made = atlas_of({run_showing({}, {kLit}), run_showing({text}), run_showing({}, {kLit}),
                              run_showing({}), run_showing({text})});
  const std::vector<std::vector<size_t>> expected = {{0, 2}, {1, 4}, {3}};
  EXPECT_EQ(made.groups, expected);
  for (size_t g = 0; g < expected.size(); ++g) {
    for (const size_t i : expected[g]) EXPECT_EQ(made.outcomes[i].group, g) << i;
  }
}

TEST(AtlasLooks, ToldApartByWhatDiffers) {
  RunResult base = run_showing({});
  base.out = "K300-RESTOREMARK-V1-0\nError.\n";
  base.exit_status = 1;
  base.volume[twin::kLogName] = "Failed to set the factory restore point flag.\n";
  base.tool_calls.push_back({});
  base.tool_calls.back().tool = twin::kMsd;
  base.tool_calls.back().argv = {"orvex-msd", "--start"};
  base.tool_calls.back().ended = "exit 0";
  RunResult other_log = base, no_log = base, killed = base, not_restarted = base, powered = base,
            restart_refused = base;
  other_log.volume[twin::kLogName] = "Failed to set the restore point flag.\n";
  no_log.volume.clear();
  killed.signal = 9;
  not_restarted.tool_calls.back().tool = twin::kAuth;
  restart_refused.tool_calls.back().ended = "exit 1";
  powered.power_requests.push_back({0x5A3A, 0, false, 0});
  powered.out += "Power management ioctl failed.\n";
  EXPECT_TRUE(twin::told_apart_by(base, base).empty());
  EXPECT_EQ(twin::told_apart_by(base, other_log), std::vector<std::string>{"the log"});
  EXPECT_EQ(twin::told_apart_by(base, no_log), std::vector<std::string>{"the log"});
  EXPECT_EQ(twin::told_apart_by(base, killed), std::vector<std::string>{"exit status"});
  EXPECT_EQ(twin::told_apart_by(base, not_restarted), std::vector<std::string>{"export restart"});
  EXPECT_EQ(twin::told_apart_by(base, restart_refused), std::vector<std::string>{"export restart"});
  EXPECT_EQ(twin::export_restart(base), "yes");
  EXPECT_EQ(twin::export_restart(not_restarted), "no");
  EXPECT_EQ(twin::export_restart(restart_refused), "tried: exit 1");
  EXPECT_EQ(twin::told_apart_by(base, powered),
            (std::vector<std::string>{"standard output", "power request"}));
  const auto made = atlas_of({base, other_log, base});
  EXPECT_EQ(twin::told_apart_in_group(atlas::named_runs(made), {0, 1, 2}),
            "the log; alike in all of these: o0 and o2");
}

TEST(AtlasEscaping, TextAndBytes) {
  EXPECT_EQ(atlas::html_escape("<a href=\"x\">Tom & 'Jerry'</a>"),
            "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;");
  EXPECT_EQ(atlas::visible_bytes(std::string("ok\n\t\0\r\x7f\xff\\x41", 12)),
            "ok\n\t\\x00\\x0d\\x7f\\xff\\\\x41");
  EXPECT_EQ(atlas::markdown_escape("a|b *c* _d_ `e` [f] ~g~ \\ <h> &\nnext"),
            "a\\|b \\*c\\* \\_d\\_ \\`e\\` \\[f\\] \\~g\\~ \\\\ &lt;h&gt; &amp;<br>next");
}

// Whatever a run wrote, and whatever a case is called, stays text.
TEST(AtlasEscaping, RunTextCannotBreakOutOfThePageOrTheTable) {
  const std::string hostile = "</pre><img src=x onerror=alert(1)>|&\n";
  RunResult r = run_showing({});
  r.out = hostile;
  r.volume[twin::kLogName] = hostile;
  auto made = atlas_of({r});
  made.outcomes[0].what = {hostile, "slug\"><b>", hostile, atlas::Indicator::kDisplay, {}};
  const std::string html = atlas::atlas_html(made);
  EXPECT_EQ(html.find("<img"), std::string::npos) << html;
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_NE(html.find("&lt;/pre&gt;&lt;img src=x onerror=alert(1)&gt;|&amp;"), std::string::npos);
  const std::string row = last_row(atlas::atlas_markdown(made));
  EXPECT_EQ(cell_walls(row), 11u) << row;  // ten columns
  EXPECT_EQ(row.find("<img"), std::string::npos) << row;
}

TEST(AtlasLamps, BlinkAtTheirOwnRate) {
  const auto made = atlas_of({run_showing({}, {{"0", "-", "300", "700"}, kBlinking, kLit})});
  const std::string html = atlas::atlas_html(made);
  EXPECT_NE(html.find(".blink-300-700 { animation: blink-300-700 1000ms step-end infinite; }"),
            std::string::npos);
  EXPECT_NE(html.find("@keyframes blink-300-700 { 0% { background: var(--colour); } 30%, 100%"),
            std::string::npos);
  EXPECT_NE(html.find("@keyframes blink-500-500 { 0% { background: var(--colour); } 50%, 100%"),
            std::string::npos);
  EXPECT_NE(html.find("class=\"lamp blinking blink-300-700\""), std::string::npos);
  EXPECT_EQ(twin::describe_leds(made.outcomes[0].result.final_leds),
            "#0 yellow blinking 300/700 ms, #1 yellow blinking 500/500 ms, #2 yellow lit");
}

// The recorded power cuts are read strictly: a row is its fourteen fields in
// their order, nothing else.
TEST(AtlasPowerCuts, RowsAreReadStrictly) {
  const std::string keys[] = {"name",  "indicator", "moment",     "delay",       "knobs",
                              "shown", "flags",     "main-user",  "volume",      "log",
                              "fsck",  "second-run", "second-fsck", "advice"};
  std::string good;
  for (const auto& key : keys) good += (good.empty() ? "" : "\t") + key + "=" + key + " value";
  const std::string path = testing::TempDir() + "atlas-power-cuts.tsv";
  const auto read = [&path](const std::string& text) {
    std::ofstream(path, std::ios::trunc) << text;
    return atlas::read_power_cuts(path);
  };
  const auto rows = read(good + "\n" + good + "\n");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, "name value");
  EXPECT_EQ(rows[0].second_fsck, "second-fsck value");
  EXPECT_EQ(rows[0].advice, "advice value");
  const std::string swapped = "indicator=x\tname=y" + good.substr(good.find("\tmoment="));
  for (const std::string& bad : {good.substr(0, good.rfind('\t')), good + "\textra=1", swapped,
                                 std::string("name=only")}) {
    EXPECT_THROW(read(bad + "\n"), std::runtime_error) << bad;
  }
  std::remove(path.c_str());
  EXPECT_THROW(atlas::read_power_cuts(path), std::runtime_error);
}

// A cut's card: what the device showed, the outcomes that look the same, and
// the recorded facts as text that cannot break out of the page or the table.
TEST(AtlasPowerCuts, CardsLinkTheLookAlikesAndEscapeTheFacts) {
  const std::string hostile = "</td><img src=x>|";
  auto made = atlas_of({run_showing({}, {kLit}), run_showing({})});
  atlas::CutOutcome cut;
  cut.what = {"power cut during the factory flag (LEDs)", "cut-factory-leds", "",
              atlas::Indicator::kOnlyLeds, {}};
  cut.result = run_showing({}, {kLit});
  cut.facts.volume = hostile;
  cut.facts.advice = "Run the package again.";
  cut.looks_like = {0};
  made.cuts.push_back(cut);
  const std::string html = atlas::atlas_html(made);
  EXPECT_NE(html.find("<h2>After a power cut</h2>"), std::string::npos);
  EXPECT_NE(html.find("At that moment it looks like <a href=\"#o0\">o0</a>."), std::string::npos);
  EXPECT_NE(html.find("&lt;/td&gt;&lt;img src=x&gt;|"), std::string::npos);
  EXPECT_EQ(html.find("<img"), std::string::npos);
  const std::string row = last_row(atlas::atlas_markdown(made));
  EXPECT_EQ(cell_walls(row), 11u) << row;  // ten columns
  EXPECT_NE(row.find("| o0 |"), std::string::npos) << row;
}

}  // namespace
