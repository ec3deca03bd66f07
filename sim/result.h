// What the device saw in one run, read once from the device image and its
// journal after the run: the program's output and end, every tool call with
// how the program saw it end, the LED writes with the state they left, every
// push to the display and what the screen showed after it, the power
// requests, the sleeps and syncs, and what was left on the volume.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "arch.h"
#include "device.h"
#include "image.h"
#include "journal.h"
#include "scenario.h"

namespace twin {

// What the screen showed after a push: the program's 1-bit image, rows of
// xres_virtual / 8 bytes, of which the screen shows xres columns and yres
// rows.
struct Frame {
  double time = 0;
  std::string bytes;
  Geometry geometry;
  // Pixel (x, y), most significant bit leftmost; false outside the bytes.
  bool pixel(uint32_t x, uint32_t y) const;
  // The visible screen as text, one line per row: '#' set, '.' clear.
  std::vector<std::string> rows() const;
};

struct RunResult {
  std::string scenario;
  Platform platform = Platform::kDevice;
  Arch arch = Arch::kHost;  // the program's machine (run through qemu-user when not the host's)
  int exit_status = -1;     // the program's exit status, or -1 when a signal ended it
  int signal = 0;           // the signal that ended it, or 0
  std::string out;          // its standard output, byte for byte
  std::string err;          // its standard error

  std::vector<Record> records;  // the whole journal, in order
  // Views of the records, made once.
  std::vector<ToolCall> tool_calls;
  std::vector<ChildEnd> children_without_tool;  // a child that did not become a tool
  std::vector<LedWrite> led_writes;
  std::vector<FbWrite> pushes;  // every write to the display, landed or not, with its bytes
  std::vector<Frame> frames;    // the screen after each push that landed
  std::vector<PowerRequest> power_requests;
  std::vector<Sleep> sleeps;
  std::vector<Sync> syncs;
  std::optional<long long> peak_rss_kib;  // not recorded when a signal ended the program
  std::vector<LedState> initial_leds;     // by index; "-" everywhere for a missing LED
  std::vector<LedState> final_leds;

  Geometry geometry;           // the display's geometry in the scenario
  std::string display_memory;  // "/dev/fb0" after the run; it was zero before
  // Files and folders left on the volume: relative path -> bytes ("" for a
  // folder, whose path ends in '/'); and the same before the run.
  std::map<std::string, std::string> volume;
  std::map<std::string, std::string> volume_before;
  bool main_user_install_left = false;
  std::filesystem::path image;  // the kept device image, when asked for

  std::optional<std::string> log() const;  // the log file's bytes, if left
};

// What the run left in `image`, given the exit status bubblewrap passed on.
// Throws TwinError when the twin's own pieces failed in the run (they said
// so on the program's standard error, or the preload library never loaded),
// JournalError when the journal lost a record.
RunResult collect(const Image& image, const Scenario& scenario, const Device& device, int status);

// Gives each display write of `records` the bytes it took, from `pushed`:
// every landed write's bytes, one write after another. Throws TwinError when
// they are not all there.
void attach_pushed_bytes(std::vector<Record>& records, const std::string& pushed);

// Fills the views of `result` from its records (their display writes with
// their bytes) and the LEDs' states before the program wrote anything.
void build_views(RunResult& result, const std::vector<LedState>& initial_leds);

// How a process ended, from the status waitpid() gave: "exit 1", "killed by
// SIGKILL" ("killed by signal 34" for a signal without a name).
std::string describe_wait_status(int status);

// Files and folders left under `volume`: relative path -> bytes ("" for a
// folder, whose path ends in '/').
std::map<std::string, std::string> read_volume(const std::filesystem::path& volume);
std::string read_file(const std::filesystem::path& path);

}  // namespace twin
