#include "interrupt.h"

#include <csignal>

namespace twin {

namespace {

volatile sig_atomic_t received = 0;

void note(int signal) { received = signal; }

}  // namespace

void stop_runs_on_interrupt() {
  struct sigaction action {};
  action.sa_handler = note;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a waiting run wakes up
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int interrupt_signal() { return received; }

}  // namespace twin
