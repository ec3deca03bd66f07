// restoremark-sim: runs a restoremark executable in the device twin and
// reports what the device would have seen.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>

#include "png-writer.h"
#include "report.h"
#include "scenario.h"
#include "twin.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kTwinError = 3;

void usage(FILE* to) {
  fprintf(to,
          "usage: restoremark-sim [OPTIONS] [EXECUTABLE]\n"
          "Runs EXECUTABLE (default: this build's restoremark) in a fresh device image\n"
          "and reports what the device saw. Exits with the program's exit status.\n\n"
          "  --scenario NAME        start from a preset (default: success); --list names them\n"
          "  --stop A, --start A    how orvex-msd answers --stop / --start\n"
          "  --factory A, --restore A, --remove A\n"
          "                         how orvex-auth answers --make-factory / --make-restore / --remove\n"
          "                         (A: an exit status 0-255, or a signal: SIGKILL, TERM, signal:9)\n"
          "  --no-package-files     the package files are not on the volume\n"
          "  --log-blocked          a folder stands where the log file would be created\n"
          "  --volume-readonly      the volume is mounted read-only\n"
          "  --volume-size BYTES    the volume is a file system of that size\n"
          "  --volume-full          a user's file fills what room the volume has (a 64 KiB\n"
          "                         volume unless --volume-size says otherwise)\n"
          "  --no-main-user-install /usr/local/main-user/install does not exist\n"
          "  --power MODE           accept (default), refuse, missing or open-refused\n"
          "  --no-display           a device without /dev/fb0: progress on the LEDs\n"
          "  --display-readonly     /dev/fb0 is there but not writable\n"
          "  --display-fails        the screen information request is refused\n"
          "  --geometry WxHxBPP     the display's geometry (default 128x64x1)\n"
          "  --display-takes N      the display takes at most N bytes per write (0: none)\n"
          "  --no-led LED           the LED's directory is missing (LED: 0-8 or its name)\n"
          "  --no-attribute LED/ATTR, --refuse LED/ATTR\n"
          "                         an attribute is missing / refuses every written value\n"
          "  --no-tool TOOL, --tool-not-executable TOOL   (TOOL: orvex-msd or orvex-auth)\n"
          "  --font PATH, --no-font the font installed as /usr/share/fonts/6x16.bdf\n"
          "  --arch ARCH            the program's machine: host, armhf or aarch64 (default:\n"
          "                         read from its ELF header); ARM programs run through\n"
          "                         qemu-user\n"
          "  --preload PATH         the preload library, built for the program's machine\n"
          "                         (default: this build's, or for ARM the one in\n"
          "                         build/ARCH or build/ARCH-release)\n"
          "  --real-time            sleeps take their real time\n"
          "  --tools-talk           the tools print a line of their own on standard output\n"
          "  --json                 print the report as one JSON document\n"
          "  --frames DIR           where each display frame is written as a PNG\n"
          "                         (default: restoremark-frames)\n"
          "  --keep-image           keep the device image folder and name it\n"
          "  --colour WHEN          auto (default), always or never\n");
}

struct Cli {
  twin::Scenario scenario;
  bool scenario_set = false;
  std::vector<std::function<void(twin::Scenario&)>> knobs;
  twin::RunOptions options;
  std::string executable = RESTOREMARK_EXECUTABLE;
  bool preload_set = false;
  bool json = false;
  std::string colour = "auto";
  std::string frames_dir = "restoremark-frames";
  int scale = 4;
};

[[noreturn]] void bad(const std::string& what) {
  fprintf(stderr, "restoremark-sim: %s\n", what.c_str());
  exit(kUsageError);
}

twin::ToolAnswer answer(const std::string& text) {
  if (auto a = twin::parse_answer(text)) return *a;
  bad("not an exit status or signal: " + text);
}

std::pair<int, std::string> led_attribute(const std::string& text) {
  const auto slash = text.rfind('/');
  if (slash == std::string::npos) bad("expected LED/ATTRIBUTE: " + text);
  const auto led = twin::parse_led(text.substr(0, slash));
  const std::string attribute = text.substr(slash + 1);
  if (!led) bad("no such LED: " + text.substr(0, slash));
  bool known = false;
  for (const auto& a : twin::kLedAttributes) known = known || a == attribute;
  if (!known) bad("no such attribute: " + attribute);
  return {*led, attribute};
}

std::string tool(const std::string& text) {
  if (text != twin::kMsd && text != twin::kAuth) bad("no such tool: " + text);
  return text;
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

Cli parse(int argc, char* argv[]) {
  Cli cli;
  using Knob = std::function<void(twin::Scenario&, const std::string&)>;
  const std::map<std::string, Knob> with_value = {
      {"--stop", [](auto& s, auto& v) { s.answer(twin::kMsd, "--stop", answer(v)); }},
      {"--start", [](auto& s, auto& v) { s.answer(twin::kMsd, "--start", answer(v)); }},
      {"--factory", [](auto& s, auto& v) { s.answer(twin::kAuth, "--make-factory", answer(v)); }},
      {"--restore", [](auto& s, auto& v) { s.answer(twin::kAuth, "--make-restore", answer(v)); }},
      {"--remove", [](auto& s, auto& v) { s.answer(twin::kAuth, "--remove", answer(v)); }},
      {"--power",
       [](auto& s, auto& v) {
         static const std::map<std::string, twin::Power> modes = {
             {"accept", twin::Power::kAccepts},
             {"refuse", twin::Power::kRefuses},
             {"missing", twin::Power::kMissing},
             {"open-refused", twin::Power::kOpenRefused}};
         if (!modes.count(v)) bad("no such power mode: " + v);
         s.power = modes.at(v);
       }},
      {"--geometry",
       [](auto& s, auto& v) {
         const auto geometry = twin::parse_geometry(v);
         if (!geometry) bad("expected WIDTHxHEIGHTxBITS, such as 128x64x1: " + v);
         s.geometry = *geometry;
       }},
      {"--display-takes",
       [](auto& s, auto& v) {
         char* end = nullptr;
         const long n = strtol(v.c_str(), &end, 10);
         if (v.empty() || *end != '\0' || n < 0) bad("expected a byte count: " + v);
         s.display_write_limit = n;
       }},
      {"--volume-size",
       [](auto& s, auto& v) {
         char* end = nullptr;
         const long long n = strtoll(v.c_str(), &end, 10);
         if (v.empty() || *end != '\0' || n <= 0) bad("expected a size in bytes: " + v);
         s.volume_size = n;
       }},
      {"--no-led",
       [](auto& s, auto& v) {
         const auto led = twin::parse_led(v);
         if (!led) bad("no such LED: " + v);
         s.missing_leds.insert(*led);
       }},
      {"--no-attribute", [](auto& s, auto& v) { s.missing_attributes.insert(led_attribute(v)); }},
      {"--refuse", [](auto& s, auto& v) { s.refusing_attributes.insert(led_attribute(v)); }},
      {"--no-tool", [](auto& s, auto& v) { s.missing_tools.insert(tool(v)); }},
      {"--tool-not-executable", [](auto& s, auto& v) { s.non_executable_tools.insert(tool(v)); }},
  };
  const std::map<std::string, std::function<void(twin::Scenario&)>> flags = {
      {"--no-package-files", [](auto& s) { s.package_files = false; }},
      {"--log-blocked", [](auto& s) { s.log_blocked = true; }},
      {"--volume-readonly", [](auto& s) { s.volume_readonly = true; }},
      {"--volume-full",
       [](auto& s) {
         s.volume_full = true;
         if (s.volume_size == 0) s.volume_size = 64 * 1024;
       }},
      {"--no-main-user-install", [](auto& s) { s.main_user_install = false; }},
      {"--real-time", [](auto& s) { s.real_time = true; }},
      {"--tools-talk", [](auto& s) { s.tools_talk = true; }},
      {"--no-display", [](auto& s) { s.display = twin::Display::kNone; }},
      {"--display-readonly", [](auto& s) { s.display = twin::Display::kReadOnly; }},
      {"--display-fails", [](auto& s) { s.display_info_fails = true; }},
  };
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
      for (const auto& p : twin::presets()) printf("%-26s %s\n", p.name.c_str(), p.summary.c_str());
      exit(0);
    } else if (arg == "--scenario") {
      const std::string name = value();
      auto s = twin::preset(name);
      if (!s) bad("no such scenario: " + name + " (--list names them)");
      cli.scenario = *s;
    } else if (with_value.count(arg)) {
      const std::string v = value();
      cli.knobs.push_back([knob = with_value.at(arg), v](twin::Scenario& s) { knob(s, v); });
    } else if (flags.count(arg)) {
      cli.knobs.push_back(flags.at(arg));
    } else if (arg == "--font") {
      cli.options.files.font = value();
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
    } else if (arg == "--keep-image") {
      cli.options.keep_image = true;
    } else if (arg == "--colour" || arg == "--color") {
      cli.colour = value();
      if (cli.colour != "auto" && cli.colour != "always" && cli.colour != "never") {
        bad("--colour takes auto, always or never");
      }
    } else if (!arg.empty() && arg[0] == '-') {
      bad("unknown option " + arg + " (--help lists them)");
    } else {
      cli.executable = arg;
    }
  }
  if (!cli.preload_set) choose_preload(cli);
  // Knobs apply on top of the preset, whatever their order on the line.
  for (const auto& knob : cli.knobs) knob(cli.scenario);
  if (!cli.knobs.empty()) cli.scenario.name += " (with knobs)";
  return cli;
}

// Writes every frame as DIR/frame-N.png, scaled up for viewing, after
// removing the frames of an earlier run. Returns the file names.
std::vector<std::string> write_frames(const twin::RunResult& result, const std::string& dir,
                                      int scale) {
  std::vector<std::string> names;
  const auto frames = result.frames();
  if (frames.empty()) return names;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("frame-", 0) == 0 && entry.path().extension() == ".png") {
      std::filesystem::remove(entry.path(), ec);
    }
  }
  for (size_t i = 0; i < frames.size(); ++i) {
    const auto& g = frames[i].geometry;
    // The 1-bit image is the first width x height / 8 bytes of each push.
    std::vector<uint8_t> bytes(frames[i].bytes.begin(), frames[i].bytes.end());
    bytes.resize(static_cast<size_t>(uint64_t{g.width} * g.height / 8));
    const mmap_buffer bitmap{bytes.data(), static_cast<int32_t>(g.width),
                             static_cast<int32_t>(g.height), 0, 0};
    const std::string path = dir + "/frame-" + std::to_string(i + 1) + ".png";
    std::string error;
    if (g.width > 4096 || g.height > 4096 || !write_png(bitmap, scale, path, error)) {
      names.push_back("(no image: " + (error.empty() ? "too large" : error) + ")");
    } else {
      names.push_back(path);
    }
  }
  return names;
}

}  // namespace

int main(int argc, char* argv[]) {
  const Cli cli = parse(argc, argv);
  try {
    const twin::RunResult result = twin::run(cli.executable, cli.scenario, cli.options);
    if (cli.json) {
      std::cout << twin::json_report(result);
    } else {
      const bool colour = cli.colour == "always" || (cli.colour == "auto" && isatty(1));
      twin::ReportStyle style;
      style.colour = colour;
      style.frame_files = write_frames(result, cli.frames_dir, cli.scale);
      std::cout << twin::text_report(result, style);
    }
    return result.signal ? 128 + result.signal : result.exit_status;
  } catch (const std::exception& e) {
    fprintf(stderr, "restoremark-sim: %s\n", e.what());
    return kTwinError;
  }
}
