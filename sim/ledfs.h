// The twin's LED class: a FUSE file system that offers LED directories with
// "brightness", "delay_on" and "delay_off" and records every write exactly as
// it arrived (one journal line per write system call), in order with the rest
// of the run. Attributes can be left out, and can refuse what is written, as a
// real LED class driver refuses a value it cannot parse.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "scenario.h"

struct fuse;

namespace twin {

struct LedClassLayout {
  // LED directory name -> its attributes that exist.
  std::map<std::string, std::set<std::string>> leds;
  // "LED/attribute" entries whose writes fail with EINVAL.
  std::set<std::string> refusing;
};

class LedFs {
 public:
  // Mounts the file system at `mountpoint` (which must exist) and serves it
  // from a thread of this process until destruction. Writes are appended to
  // `journal`. Throws std::runtime_error when the mount fails.
  LedFs(const std::filesystem::path& mountpoint, LedClassLayout layout,
        std::filesystem::path journal);
  ~LedFs();
  LedFs(const LedFs&) = delete;
  LedFs& operator=(const LedFs&) = delete;

  struct State;

 private:
  std::unique_ptr<State> state_;
  fuse* fuse_ = nullptr;
  std::thread loop_;
};

}  // namespace twin
