// Failures of the twin itself, and how a run stops when the twin is asked to
// stop (Ctrl-C, SIGTERM): the twin's own errors are never a device report.
#pragma once

#include <stdexcept>
#include <string>

namespace twin {

// The twin could not run the program as asked: a missing tool of its own, a
// program it cannot run, a preload library that did not load, a journal
// that lost a record.
class TwinError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A run stopped because the twin got `signal`; the sandbox and the device
// image are gone by the time this is thrown.
class Interrupted : public std::runtime_error {
 public:
  explicit Interrupted(int signal)
      : std::runtime_error("interrupted by signal " + std::to_string(signal)), signal_(signal) {}
  int signal() const { return signal_; }

 private:
  int signal_;
};

// From now on SIGINT and SIGTERM do not end the process at once: they make
// the running run stop and throw Interrupted. Without this, the signals do
// what they always do.
void stop_runs_on_interrupt();
// The signal that asked the twin to stop, or 0.
int interrupt_signal();

}  // namespace twin
