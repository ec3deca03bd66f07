// restoremark-check: measures on a device whether its kernel and files give
// restoremark what it relies on (docs/platform.md), item by item and in that
// order, one line per item, and leaves the device as it found it. It never
// makes the power request and never runs the device's tools. Exit status 0
// when every item holds, 1 when any fails, 2 when it cannot check.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "check-device-files.h"
#include "check-display.h"
#include "check-font.h"
#include "check-leds.h"
#include "check-report.h"
#include "check-volume.h"

namespace {

constexpr int kCannotCheck = 2;

// Blocks the signals that end a program from a terminal, a service manager or
// a reader that went away while the check has the LEDs and the screen
// changed; one that arrives meanwhile takes effect once they are put back.
void hold_signals(int how) {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&set, signal);
  sigprocmask(how, &set, nullptr);
}

// Why the check cannot run here, or null.
const char* cannot_check(int argc) {
  if (argc > 1) return "it takes no arguments";
  if (geteuid() != 0) return "run it as root: it opens the display and writes the LEDs";
  if (access("/sys/class", F_OK) != 0) return "/sys/class is not there: sysfs is not mounted";
  return nullptr;
}

}  // namespace

int main(int argc, char**) {
  if (const char* reason = cannot_check(argc)) {
    fprintf(stderr, "restoremark-check: cannot check: %s\n", reason);
    return kCannotCheck;
  }
  hold_signals(SIG_BLOCK);
  item_result items[kItemCount] = {};
  // Item 9 first, as the test picture is drawn in the console font.
  check_font(items[8]);

  display_measure(items[0], items[1]);
  print_item(1, items[0], 0, true);
  const size_t printed = print_item(2, items[1], 0, false);
  if (display_shows_picture()) display_show_picture();
  display_restore(items[1]);
  print_item(2, items[1], printed, true);

  check_leds(items[2], items[3], items[4]);
  check_power_device(items[5]);
  check_tools(items[6]);
  check_volume(items[7]);
  for (int number = 3; number <= kItemCount; ++number)
    print_item(number, items[number - 1], 0, true);

  const int status = exit_status(items);
  hold_signals(SIG_UNBLOCK);
  return status;
}
