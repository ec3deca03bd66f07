// restoremark-sim: runs a restoremark executable in the device twin and
// reports what the device would have seen.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "atlas.h"
#include "build-paths.h"
#include "frame-files.h"
#include "knobs.h"
#include "report.h"
#include "run.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kTwinError = 3;
constexpr int kFrameScale = 4;

void usage(FILE* to) {
  fprintf(to,
          "usage: restoremark-sim [OPTIONS] [EXECUTABLE]\n"
          "Runs EXECUTABLE (default: this build's restoremark) once in a fresh device image\n"
          "and reports what the device saw. It mounts the device's LED class and paths in a\n"
          "mount namespace of its own, never on the host. Root or an ordinary user can run\n"
          "it: for a user, the twin makes a user namespace in which it is root, which needs\n"
          "user namespaces (sysctl user.max_user_namespaces above 0, and no AppArmor or\n"
          "seccomp policy against them) and a /dev/fuse the user may read and write (mode\n"
          "0666, as Debian and Ubuntu have it). Files it writes belong to who ran it.\n\n"
          "Exit status: the program's own (0 success, 1 failure); 128+N when signal N ended\n"
          "it; 2 for a usage error; 3 when the twin itself could not run it (no bubblewrap,\n"
          "no usable /dev/fuse or user namespace, an EXECUTABLE it cannot run, a preload\n"
          "library that did not load); 130 when interrupted (Ctrl-C or SIGTERM: the\n"
          "program, its sandbox and the device image are removed first).\n\n"
          "  --scenario NAME        start from a preset (default: success); --list names them\n"
          "Knobs, on top of the preset whatever their order (A: an exit status 0-255, or a\n"
          "signal: SIGKILL, TERM, signal:9):\n%s"
          "The twin:\n"
          "  --font PATH, --no-font the font installed as /usr/share/fonts/6x16.bdf\n"
          "  --arch ARCH            the program's machine: host, armhf or aarch64 (default:\n"
          "                         read from its ELF header); ARM programs run through\n"
          "                         qemu-user\n"
          "  --preload PATH         the preload library, built for the program's machine\n"
          "                         (default: this build's, or for ARM the one in\n"
          "                         build/ARCH or build/ARCH-release)\n"
          "  --json                 print the report as one JSON document\n"
          "  --atlas DIR            run every preset on the display and on the LEDs and write\n"
          "                         DIR/index.html, DIR/atlas.md and the screens' images\n"
          "  --frames DIR           write each display frame as DIR/frame-N.png (default with\n"
          "                         the text report: restoremark-frames); a run removes the\n"
          "                         frames the previous run wrote there, and nothing else\n"
          "  --keep-image           keep the device image folder and name it\n"
          "  --peak-memory          add the program's peak resident memory to the report (it\n"
          "                         differs from run to run; nothing else does)\n"
          "  --colour WHEN          auto (default), always or never\n"
          "The device image is made in $TMPDIR (default /tmp), which must not be mounted\n"
          "noexec: the preload library is loaded from there.\n",
          twin::knobs_help().c_str());
}

struct Cli {
  twin::Scenario scenario;
  std::vector<std::string> knobs;
  twin::RunOptions options;
  std::string executable = build_paths::kProgram;
  bool preload_set = false;
  bool json = false;
  bool peak_memory = false;
  std::string colour = "auto";
  std::string frames_dir;
  std::string atlas_dir;
};

[[noreturn]] void bad(const std::string& what) {
  fprintf(stderr, "restoremark-sim: %s\n", what.c_str());
  exit(kUsageError);
}

void list_presets() {
  for (const auto& p : twin::presets()) printf("%-26s %s\n", p.name.c_str(), p.summary.c_str());
  printf("\nLEDs (--no-led, --no-attribute and --refuse take the #, the name or the colour):\n");
  for (size_t i = 0; i < twin::kLeds.size(); ++i) {
    printf("  #%zu  %-22s %s\n", i, twin::kLeds[i].directory, twin::kLeds[i].colour);
  }
}

// Without --preload, an ARM program gets the preload library of the
// checkout's ARM build for its machine. When the machine cannot be told here,
// the twin says why when it runs.
void choose_preload(Cli& cli) {
  std::string why;
  const auto arch = cli.options.arch ? cli.options.arch : twin::elf_arch(cli.executable, why);
  if (!arch || *arch == twin::Arch::kHost) return;
  cli.options.files.preload = twin::built_preload(*arch);
  if (cli.options.files.preload.empty()) {
    const std::string name(twin::arch_name(*arch));
    fprintf(stderr,
            "restoremark-sim: no %s build of the preload library: build it with\n"
            "  cmake --workflow --preset %s\n"
            "or name one with --preload PATH\n",
            name.c_str(), name.c_str());
    exit(kTwinError);
  }
}

// One option of the twin's own; false when `arg` is none.
bool twin_option(Cli& cli, const std::string& arg, const std::function<std::string()>& value) {
  if (arg == "--font") {
    cli.options.files.font = value();
    if (!std::filesystem::is_regular_file(cli.options.files.font)) {
      bad("--font: no such file: " + cli.options.files.font.string());
    }
  } else if (arg == "--no-font") {
    cli.options.files.font.clear();
  } else if (arg == "--arch") {
    const std::string name = value();
    cli.options.arch = twin::parse_arch(name);
    if (!cli.options.arch) bad("--arch takes host, armhf or aarch64: " + name);
  } else if (arg == "--preload") {
    cli.options.files.preload = value();
    cli.preload_set = true;
  } else if (arg == "--json") {
    cli.json = true;
  } else if (arg == "--frames") {
    cli.frames_dir = value();
    if (cli.frames_dir.empty()) bad("--frames needs a folder");
  } else if (arg == "--peak-memory") {
    cli.peak_memory = true;
  } else if (arg == "--atlas") {
    cli.atlas_dir = value();
    if (cli.atlas_dir.empty()) bad("--atlas needs a folder");
  } else if (arg == "--keep-image") {
    cli.options.keep_image = true;
  } else if (arg == "--colour" || arg == "--color") {
    cli.colour = value();
    if (cli.colour != "auto" && cli.colour != "always" && cli.colour != "never") {
      bad("--colour takes auto, always or never");
    }
  } else {
    return false;
  }
  return true;
}

Cli parse(int argc, char* argv[]) {
  Cli cli;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) bad(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      exit(0);
    } else if (arg == "--list") {
      list_presets();
      exit(0);
    } else if (arg == "--scenario") {
      const std::string name = value();
      auto s = twin::preset(name);
      if (!s) bad("no such scenario: " + name + " (--list names them)");
      cli.scenario = *s;
    } else if (const twin::Knob* knob = twin::find_knob(arg)) {
      cli.knobs.push_back(arg);
      if (knob->value != nullptr) cli.knobs.push_back(value());
    } else if (twin_option(cli, arg, value)) {
    } else if (!arg.empty() && arg[0] == '-') {
      bad("unknown option " + arg + " (--help lists them)");
    } else {
      cli.executable = arg;
    }
  }
  if (!cli.preload_set) choose_preload(cli);
  if (const auto why = twin::apply_knobs(cli.scenario, cli.knobs)) bad(*why);
  if (!cli.knobs.empty()) cli.scenario.name += " (with knobs)";
  if (!cli.atlas_dir.empty() && (cli.scenario.name != "success" || cli.json)) {
    bad("--atlas runs every preset as it is: no --scenario, knobs or --json");
  }
  return cli;
}

}  // namespace

int main(int argc, char* argv[]) {
  const Cli cli = parse(argc, argv);
  twin::stop_runs_on_interrupt();
  try {
    if (!cli.atlas_dir.empty()) {
      const auto written = atlas::write_atlas(cli.executable, cli.options, cli.atlas_dir);
      printf("restoremark-sim: %zu outcomes, %zu looks, in %s/index.html and %s/atlas.md\n",
             written.outcomes.size(), written.groups.size(), cli.atlas_dir.c_str(),
             cli.atlas_dir.c_str());
      return 0;
    }
    const twin::RunResult result = twin::run(cli.executable, cli.scenario, cli.options);
    twin::ReportStyle style;
    style.colour = cli.colour == "always" || (cli.colour == "auto" && isatty(1));
    style.peak_memory = cli.peak_memory;
    if (!cli.json || !cli.frames_dir.empty()) {
      const std::string dir = cli.frames_dir.empty() ? "restoremark-frames" : cli.frames_dir;
      style.frame_files = twin::write_frame_files(result, dir, kFrameScale);
    }
    std::cout << (cli.json ? twin::json_report(result, style) : twin::text_report(result, style));
    std::cout.flush();
    return result.signal ? 128 + result.signal : result.exit_status;
  } catch (const twin::Interrupted& e) {
    fprintf(stderr,
            "restoremark-sim: interrupted by %s: the program and its sandbox were stopped and "
            "the device image removed\n",
            e.signal() == SIGINT ? "SIGINT" : "SIGTERM");
    return 130;
  } catch (const std::exception& e) {
    fprintf(stderr, "restoremark-sim: %s\n", e.what());
    return kTwinError;
  }
}
