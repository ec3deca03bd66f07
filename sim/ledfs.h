// The twin's LED class: a FUSE file system that offers one directory per LED
// with the attribute files its LedModel has at the moment, and records every
// write exactly as it arrived (one journal record per write system call,
// with the LED's state after it), in order with the rest of the run.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "led-model.h"

struct fuse;

namespace twin {

class LedFs {
 public:
  // Mounts the file system at `mountpoint` (which must exist) and serves it
  // from a thread of this process until destruction. Writes are appended to
  // `journal`. Throws std::runtime_error when the mount fails.
  LedFs(const std::filesystem::path& mountpoint, const LedClassLayout& layout,
        std::filesystem::path journal);
  ~LedFs();
  LedFs(const LedFs&) = delete;
  LedFs& operator=(const LedFs&) = delete;

  // False when a write's record did not reach the journal.
  bool recorded_every_write() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
  fuse* fuse_ = nullptr;
  std::thread loop_;
};

}  // namespace twin
