// The twin's side of the full-system suite, asked by its runner
// (system/run-system), so that the scenario list and the guest's journal
// have one reader each: the twin's knob table and its journal decoder.
//
//   system-twin scenarios LIST [--settings DIR] [NAME...]
//     One line per scenario of LIST (those named, else every one): what the
//     guest sets up, as tab-separated KEY=VALUE fields: name, platform
//     (linux: the stock drivers; device: the reference drivers), display
//     (yes or no), fb-memory, led-trigger, power, main-user (yes: the
//     main-user install file is there), cut (where the host cuts the
//     power, or none), cut-delay (ms) and knobs (the scenario's knobs, separated by spaces). With --settings, writes each scenario's settings
//     file (what its tools and power driver answer) to DIR/NAME.
//   system-twin journal-files RESULTS...
//     Decodes each RESULTS/journal and writes RESULTS/tools and
//     RESULTS/power from it.
//   system-twin cut-points
//     The twin's cut points, one a line: "NAME<TAB>TOOL OPTION<TAB>MOMENT",
//     the knob's value, the call the power goes in ("power request": right
//     after it) and the moment in words.
//   system-twin cut-record JOURNAL
//     What the tools had done when the power was cut (guest-journal.h).
//   system-twin look CUT
//     What the device showed at a power cut, from CUT/leds and, when there
//     is one, CUT/panel.ppm: "screen=" the console lines it showed and
//     "leds=" the LEDs, as the atlas says them.
//
// Exit status 2 for a bad command line or a scenario the guest cannot set
// up, 1 when a file cannot be read or written or a journal does not decode.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "guest-journal.h"
#include "guest-look.h"
#include "guest-panel.h"
#include "guest-scenario.h"
#include "result.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: system-twin scenarios LIST [--settings DIR] [NAME...]\n"
    "       system-twin journal-files RESULTS...\n"
    "       system-twin cut-points\n"
    "       system-twin cut-record JOURNAL\n"
    "       system-twin look CUT\n";

std::string knobs_text(const std::vector<std::string>& knobs) {
  std::string out;
  for (const auto& knob : knobs) out += (out.empty() ? "" : " ") + knob;
  return out;
}

int list_scenarios(const std::vector<std::string>& args) {
  std::vector<std::string> names;
  fs::path settings_dir;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] != "--settings") {
      names.push_back(args[i]);
    } else if (i + 1 < args.size()) {
      settings_dir = args[++i];
    } else {
      fputs(kUsage, stderr);
      return 2;
    }
  }
  for (const auto& s : guest::load_scenarios(args.at(0), names)) {
    const guest::Setup& g = s.setup;
    printf(
        "name=%s\tplatform=%s\tdisplay=%s\tfb-memory=%lld\tled-trigger=%s\tpower=%s\tmain-user=%s\t"
        "cut=%s\tcut-delay=%lld\tknobs=%s\n",
        s.name.c_str(), g.platform.c_str(), g.display ? "yes" : "no", g.fb_memory,
        g.led_trigger.c_str(), g.power.c_str(), g.main_user_install ? "yes" : "no", g.cut.c_str(), g.cut_delay_ms,
        knobs_text(s.knobs).c_str());
    const fs::path settings = settings_dir / s.name;
    if (!settings_dir.empty() && !twin_settings::write_settings(g.settings, settings.c_str())) {
      throw std::runtime_error("cannot write " + settings.string());
    }
  }
  return 0;
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<twin::Record> journal_of(const fs::path& journal) {
  try {
    return twin::decode_journal(twin::read_file(journal));
  } catch (const twin::JournalError& error) {
    throw std::runtime_error(journal.string() + ": " + error.what());
  }
}

int look(const fs::path& cut) {
  if (fs::exists(cut / "panel.ppm")) {
    const auto panel = guest::panel_rows(twin::read_file(cut / "panel.ppm"));
    printf("screen=%s\n", guest::screen_words(panel).c_str());
  }
  printf("leds=%s\n", guest::led_words(twin::read_file(cut / "leds")).c_str());
  return 0;
}

int journal_files(const std::vector<std::string>& folders) {
  for (const fs::path folder : folders) {
    const std::vector<twin::Record> records = journal_of(folder / "journal");
    write_file(folder / "tools", guest::tools_file(records));
    write_file(folder / "power", guest::power_file(records));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + std::min(argc, 2), argv + argc);
  const std::string command = argc > 1 ? argv[1] : "";
  try {
    if (command == "scenarios" && !args.empty()) return list_scenarios(args);
    if (command == "journal-files") return journal_files(args);
    if (command == "cut-points" && args.empty()) {
      for (const auto& point : twin::kCutPoints) {
        printf("%s\t%s %s\t%s\n", point.name, point.tool, point.option, point.moment);
      }
      return 0;
    }
    if (command == "cut-record" && args.size() == 1) {
      fputs(guest::cut_record(journal_of(args[0])).c_str(), stdout);
      return 0;
    }
    if (command == "look" && args.size() == 1) return look(args[0]);
    fputs(kUsage, stderr);
    return 2;
  } catch (const guest::ScenarioError& error) {
    fprintf(stderr, "system-twin: %s\n", error.what());
    return 2;
  } catch (const std::exception& error) {
    fprintf(stderr, "system-twin: %s\n", error.what());
    return 1;
  }
}
