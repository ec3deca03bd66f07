// Prints the nine LEDs' states (led-states.h), or with --names their names.
#include <cstdio>
#include <cstring>

#include "led-states.h"

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "--names") == 0) {
    for (const auto& led : twin::kLeds) puts(led.directory);
    return 0;
  }
  if (argc != 1) {
    fputs("usage: led-states [--names]\n", stderr);
    return 2;
  }
  fputs(guest_leds::states().c_str(), stdout);
  return 0;
}
