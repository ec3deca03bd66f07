#include "result.h"

#include <algorithm>

#include "image.h"
#include "pixels.h"

namespace twin {

namespace {

size_t screen_bytes(const Geometry& g) {
  return static_cast<size_t>(uint64_t{g.xres_virtual()} * g.height * g.bits_per_pixel / 8);
}

// The screen after each push that landed. On the device each push shows at
// the start of the screen; on the stock Linux driver the screen shows the
// start of the display memory, where each push lands at the file position.
// Writes on the one descriptor never overlap (each advances the position),
// so the memory after the run holds every push's bytes at its place.
std::vector<Frame> screens(const RunResult& r) {
  std::vector<Frame> frames;
  const bool landed = std::any_of(r.pushes.begin(), r.pushes.end(),
                                  [](const FbWrite& push) { return push.result > 0; });
  if (!landed) return frames;  // nor is a screen of a size that was refused made up
  const size_t visible = screen_bytes(r.geometry);
  std::string memory(r.platform == Platform::kLinux ? r.display_memory.size() : visible, '\0');
  std::string screen(visible, '\0');
  for (const auto& push : r.pushes) {
    if (push.result <= 0) continue;
    const auto position = static_cast<size_t>(push.position);
    const auto taken = static_cast<size_t>(push.result);
    const std::string bytes =
        r.display_memory.substr(std::min(position, r.display_memory.size()), taken);
    if (r.platform == Platform::kLinux) {
      memory.replace(position, bytes.size(), bytes);
      screen = memory.substr(0, visible);
    } else {
      screen.replace(0, std::min(bytes.size(), visible), bytes.substr(0, visible));
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
void collect(const std::vector<Record>& records, std::vector<T>& into) {
  for (const auto& record : records) {
    if (const auto* value = std::get_if<T>(&record)) into.push_back(*value);
  }
}

}  // namespace

std::vector<LedState> initial_led_states(const Scenario& scenario) {
  const LedClassLayout layout = led_layout(scenario);
  std::vector<LedState> states;
  for (const auto& led : kLeds) {
    const auto found = layout.find(led.directory);
    states.push_back(found == layout.end() ? LedState{"-", "-", "-", "-"}
                                           : LedModel(found->second).state());
  }
  return states;
}

void build_views(RunResult& r, const Scenario& scenario) {
  collect(r.records, r.tool_calls);
  collect(r.records, r.led_writes);
  collect(r.records, r.pushes);
  collect(r.records, r.power_requests);
  collect(r.records, r.sleeps);
  collect(r.records, r.syncs);
  pair_children(r);
  for (const auto& record : r.records) {
    if (const auto* usage = std::get_if<Usage>(&record)) r.peak_rss_kib = usage->max_rss_kib;
  }
  r.initial_leds = initial_led_states(scenario);
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

}  // namespace twin
