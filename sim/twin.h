// The device twin: runs a restoremark executable in a sandbox whose device
// paths come from a fresh device image, and returns what the device saw.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "arch.h"
#include "scenario.h"

namespace twin {

// The twin's own programs and files that go into every device image.
struct TwinFiles {
  std::filesystem::path preload;    // LD_PRELOAD library, built for the program's machine
  std::filesystem::path msd_tool;   // fake /usr/bin/orvex-msd
  std::filesystem::path auth_tool;  // fake /usr/bin/orvex-auth
  std::filesystem::path font;       // /usr/share/fonts/6x16.bdf, empty for none
};

// The files of this build of the twin.
TwinFiles default_twin_files();

// The preload library for programs of `arch`: this build's own for the host;
// for ARM the one that the checkout's ARM build made (build/armhf, else
// build/armhf-release; likewise for aarch64), or empty when there is none.
std::filesystem::path built_preload(Arch arch);

// One journal line, with the virtual time (seconds of recorded sleeps before
// it) at which it happened.
struct Event {
  std::string kind;  // "tool", "led", "power", "sleep"
  std::vector<std::string> fields;
  double time = 0;
};

struct ToolCall {
  std::string tool;
  std::string outcome;  // "exit N" or "signal N"
  std::string note;     // what the tool did besides answering ("removed")
  std::string descriptors;
  std::vector<std::string> argv;
  double time = 0;
};

struct LedWrite {
  std::string led;
  std::string attribute;
  std::string text;
  bool accepted = true;
  double time = 0;
};

struct PowerRequest {
  long long request = 0;
  long long argument = 0;
  bool accepted = false;
  double time = 0;
};

struct Sleep {
  double seconds = 0;
  double time = 0;  // when it started
};

// One image pushed to the display: the bytes of one write to "/dev/fb0".
struct Frame {
  double time = 0;
  std::string bytes;
  Geometry geometry;
  // Pixel (x, y) of the 1-bit image: rows of width/8 bytes, most significant
  // bit leftmost. False outside the bytes that were written.
  bool pixel(uint32_t x, uint32_t y) const;
  // The image as text, one line per row: '#' set, '.' clear.
  std::vector<std::string> rows() const;
};

// What an LED's attributes hold.
struct LedState {
  std::string brightness = "0";
  std::string delay_on = "0";
  std::string delay_off = "0";
  bool lit() const;
  bool blinking() const;
  bool operator==(const LedState&) const = default;
};

// Applies one accepted write to the nine LEDs' states.
void apply(std::vector<LedState>& states, const LedWrite& write);

struct RunResult {
  std::string scenario;
  int exit_status = -1;  // the program's exit status, or -1 when killed
  int signal = 0;        // the signal that killed it, or 0
  std::string out;       // its standard output, byte for byte
  std::string err;       // its standard error
  std::vector<Event> events;
  // Files and folders left on the volume: relative path -> bytes ("" for a
  // folder, whose path ends in '/').
  std::map<std::string, std::string> volume;
  bool main_user_install_left = false;
  Geometry geometry;           // the display's geometry in the scenario
  std::string display_bytes;   // everything written to "/dev/fb0", in order
  std::filesystem::path image;  // kept device image, when asked for
  Arch arch = Arch::kHost;      // the program's machine (not the host's: run through qemu-user)

  std::vector<ToolCall> tool_calls() const;
  std::vector<LedWrite> led_writes() const;
  std::vector<PowerRequest> power_requests() const;
  std::vector<Sleep> sleeps() const;
  // The state of every LED after the run, in index order.
  std::vector<LedState> final_leds() const;
  std::optional<std::string> log() const;  // the log file's bytes, if left
  // Every image pushed to the display, in order.
  std::vector<Frame> frames() const;
  // The program's peak resident memory in KiB, as it stood when the program
  // exited (not recorded when it was killed). Under qemu-user it is the
  // emulator's, which holds the program's memory and its own.
  std::optional<long long> peak_rss_kib() const;
};

struct RunOptions {
  TwinFiles files = default_twin_files();
  bool keep_image = false;  // leave the device image folder for inspection
  // The program's machine; read from its ELF header when not given. A
  // program for ARM runs through qemu-user with an ARM build of the preload.
  std::optional<Arch> arch;
  // Runs the program through these arguments inside the sandbox, such as
  // {"/usr/bin/valgrind", "--error-exitcode=99"}.
  std::vector<std::string> wrapper;
  // Host paths the sandbox also shows at their own place: read-only (what the
  // wrapper needs) and writable (where a coverage build leaves its data).
  std::vector<std::filesystem::path> read_only_paths;
  std::vector<std::filesystem::path> writable_paths;
};

// Runs `executable` once in a fresh device image made for `scenario`.
// Throws std::runtime_error when the twin itself cannot run (no bubblewrap,
// no FUSE, not root, no emulator for the program's machine, a preload library
// of another machine).
RunResult run(const std::filesystem::path& executable, const Scenario& scenario,
              const RunOptions& options = {});

// Reads a journal's lines into events, each with its virtual time.
std::vector<Event> parse_journal(const std::string& text);

// The log file's name on the volume.
inline constexpr const char* kLogName = "K300-RESTOREMARK-V1-0.log";

}  // namespace twin
