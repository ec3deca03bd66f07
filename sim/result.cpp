#include "result.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "interrupt.h"
#include "pixels.h"

namespace fs = std::filesystem;

namespace twin {

namespace {

// What the twin's own pieces in the sandbox say on the program's standard
// error when they fail.
constexpr const char* kTwinComplaint = "restoremark-twin: ";

size_t screen_bytes(const Geometry& g) {
  return static_cast<size_t>(uint64_t{g.xres_virtual()} * g.height * g.bits_per_pixel / 8);
}

// The screen after each push that landed, from the bytes each push took at
// the place it landed: the screen is the start of the display memory, which
// is zero before the run.
std::vector<Frame> screens(const RunResult& r) {
  std::vector<Frame> frames;
  const bool landed = std::any_of(r.pushes.begin(), r.pushes.end(),
                                  [](const FbWrite& push) { return push.result > 0; });
  if (!landed) return frames;  // nor is a screen of a size that was refused made up
  std::string screen(screen_bytes(r.geometry), '\0');
  for (const auto& push : r.pushes) {
    if (push.result <= 0) continue;
    const auto at = static_cast<size_t>(push.at);
    if (at < screen.size()) {
      screen.replace(at, std::min(push.bytes.size(), screen.size() - at), push.bytes, 0,
                     screen.size() - at);
    }
    frames.push_back({push.time, screen, r.geometry});
  }
  return frames;
}

void pair_children(RunResult& r) {
  for (const auto& record : r.records) {
    const auto* end = std::get_if<ChildEnd>(&record);
    if (end == nullptr) continue;
    auto call = std::find_if(r.tool_calls.rbegin(), r.tool_calls.rend(),
                             [end](const ToolCall& c) { return c.pid == end->pid; });
    if (call != r.tool_calls.rend() && call->ended == ToolCall{}.ended) {
      call->ended = describe_wait_status(end->status);
    } else {
      r.children_without_tool.push_back(*end);
    }
  }
}

template <typename T>
void gather(const std::vector<Record>& records, std::vector<T>& into) {
  for (const auto& record : records) {
    if (const auto* value = std::get_if<T>(&record)) into.push_back(*value);
  }
}

// Anything the twin's own pieces said on the program's standard error, or
// a journal without the preload library's arrival, is the twin's failure.
void check_twin_worked(const RunResult& r) {
  for (size_t start = 0; start < r.err.size();) {
    const size_t end = r.err.find('\n', start);
    const std::string line = r.err.substr(start, end - start);
    if (line.rfind(kTwinComplaint, 0) == 0) throw TwinError(line.substr(strlen(kTwinComplaint)));
    start = end == std::string::npos ? r.err.size() : end + 1;
  }
  for (const auto& record : r.records) {
    if (std::holds_alternative<Loaded>(record)) return;
  }
  throw TwinError(
      "the preload library did not load into the program, so the run had no power "
      "driver, display or virtual time; its standard error: " +
      (r.err.empty() ? std::string("(empty)") : r.err));
}

// The program's standard streams are files of the image, opened outside the
// sandbox: the tools see them by their host path, which differs from run to
// run. Reports name them by the image instead, so that a run's report is
// the same every time.
void name_streams_by_image(RunResult& r, const Image& image) {
  const std::string host = image.dir.string();
  for (auto& record : r.records) {
    auto* call = std::get_if<ToolCall>(&record);
    if (call == nullptr) continue;
    for (size_t at; (at = call->descriptors.find(host)) != std::string::npos;) {
      call->descriptors.replace(at, host.size(), "(image)");
    }
  }
}

}  // namespace

RunResult collect(const Image& image, const Scenario& scenario, const Device& device, int status) {
  RunResult r;
  r.scenario = scenario.name;
  r.platform = scenario.platform;
  if (status > 128) {
    r.signal = status - 128;
  } else {
    r.exit_status = status;
  }
  r.out = read_file(image.standard_output());
  r.err = read_file(image.standard_error());
  r.records = decode_journal(read_file(image.journal()));
  check_twin_worked(r);
  attach_pushed_bytes(r.records, read_file(image.display_pushes()));
  name_streams_by_image(r, image);
  const fs::path kept_volume = image.dir / "volume-after";
  r.volume = read_volume(fs::exists(kept_volume) ? kept_volume : image.volume());
  r.volume_before = read_volume(image.volume_before());
  r.main_user_install_left = fs::exists(image.root() / "usr/local/main-user/install");
  r.geometry = scenario.geometry;
  if (scenario.display != Display::kNone) r.display_memory = read_file(image.root() / "dev/fb0");
  build_views(r, device.initial_leds);
  return r;
}

void attach_pushed_bytes(std::vector<Record>& records, const std::string& pushed) {
  size_t next = 0;
  for (auto& record : records) {
    auto* push = std::get_if<FbWrite>(&record);
    if (push == nullptr || push->result <= 0) continue;
    const auto size = static_cast<size_t>(push->result);
    if (pushed.size() - next < size) {
      throw TwinError("the display's record of its pushes holds " + std::to_string(pushed.size()) +
                      " bytes, fewer than its pushes took");
    }
    push->bytes = pushed.substr(next, size);
    next += size;
  }
}

void build_views(RunResult& r, const std::vector<LedState>& initial_leds) {
  gather(r.records, r.tool_calls);
  gather(r.records, r.led_writes);
  gather(r.records, r.pushes);
  gather(r.records, r.power_requests);
  gather(r.records, r.sleeps);
  gather(r.records, r.syncs);
  pair_children(r);
  for (const auto& record : r.records) {
    if (const auto* usage = std::get_if<Usage>(&record)) r.peak_rss_kib = usage->max_rss_kib;
  }
  r.initial_leds = initial_leds;
  r.final_leds = r.initial_leds;
  for (const auto& write : r.led_writes) {
    for (size_t i = 0; i < kLeds.size(); ++i) {
      if (write.led == kLeds[i].directory) r.final_leds[i] = write.after;
    }
  }
  r.frames = screens(r);
}

bool Frame::pixel(uint32_t x, uint32_t y) const {
  if (x >= geometry.width || y >= geometry.height) return false;
  return pixels::is_set(bytes, geometry.xres_virtual(), x, y);
}

std::vector<std::string> Frame::rows() const {
  std::vector<std::string> out(geometry.height, std::string(geometry.width, '.'));
  for (uint32_t y = 0; y < geometry.height; ++y) {
    for (uint32_t x = 0; x < geometry.width; ++x) {
      if (pixel(x, y)) out[y][x] = '#';
    }
  }
  return out;
}

std::optional<std::string> RunResult::log() const {
  const auto found = volume.find(kLogName);
  if (found == volume.end()) return std::nullopt;
  return found->second;
}

std::string describe_wait_status(int status) {
  if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) {
    const char* abbrev = sigabbrev_np(WTERMSIG(status));
    return "killed by " +
           (abbrev ? "SIG" + std::string(abbrev) : "signal " + std::to_string(WTERMSIG(status)));
  }
  return "wait status " + std::to_string(status);
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::map<std::string, std::string> read_volume(const fs::path& volume) {
  std::map<std::string, std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(volume)) {
    const std::string name = fs::relative(entry.path(), volume).string();
    if (entry.is_directory()) {
      out[name + "/"] = "";
    } else {
      out[name] = read_file(entry.path());
    }
  }
  return out;
}

}  // namespace twin
