// LED control through the Linux LED class. The module keeps no state: every
// operation checks the LED's directory, opens one or two attribute files,
// writes one decimal value to each and closes them again.
#include "leds.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::array<const char*, 9> LED_PATHS = {
    "/sys/class/leds/LED1:YELLOW:PIN1", "/sys/class/leds/LED2:YELLOW:PIN2",
    "/sys/class/leds/LED3:YELLOW:PIN3", "/sys/class/leds/LED4:YELLOW:PIN4",
    "/sys/class/leds/LED5:YELLOW:PIN5", "/sys/class/leds/LED6:YELLOW:PIN6",
    "/sys/class/leds/LED7:RED",         "/sys/class/leds/LED8:GREEN",
    "/sys/class/leds/LED9:BLUE:BLUETOOTH",
};

constexpr const char* TITLE = "LED Test:";
constexpr const char* BRIGHTNESS_FILE = "/brightness";
constexpr const char* DELAY_ON_FILE = "/delay_on";
constexpr const char* DELAY_OFF_FILE = "/delay_off";
constexpr uint32_t MIN_DELAY_ALLOWED = 50;  // ms; a blink phase must be longer
constexpr size_t PATH_SIZE = 256;           // attribute paths hold at most 255 characters

bool valid_index(int index) { return index >= 0 && static_cast<size_t>(index) < LED_PATHS.size(); }

// The presence check looks at the LED's directory only. An index outside the
// table counts as an LED that is not there rather than reading past it.
bool led_present(int index) { return valid_index(index) && access(LED_PATHS[index], F_OK) == 0; }

// cppcheck-suppress CastIntegerToAddressAtReturn ; cppcheck 2.10 takes the paths for integers
const char* led_path(int index) { return valid_index(index) ? LED_PATHS[index] : "?"; }

// Writes the whole text to the stream and closes it. Whether the LED class
// accepted the value is not examined: the attribute was opened, so the
// operation counts as done.
void write_and_close(FILE* stream, const char* text) {
  fputs(text, stream);
  fflush(stream);
  fclose(stream);
}

// Writes "0\n" to one attribute; shared by led_off and led_blink_stop.
int write_zero(int index, const char* suffix) {
  if (!led_present(index)) {
    printf("%s Error LED not available.\n", TITLE);
    return 1;
  }
  FILE* stream = led_file_open(index, suffix);
  if (stream == nullptr) {
    printf("%s Error failed to open file %s%s\n", TITLE, led_path(index), suffix);
    return 1;
  }
  write_and_close(stream, "0\n");
  return 0;
}

}  // namespace

FILE* led_file_open(int index, const char* suffix) {
  if (!valid_index(index) || suffix == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  std::array<char, PATH_SIZE> path{};
  const int length = snprintf(path.data(), path.size(), "%s%s", LED_PATHS[index], suffix);
  if (length < 0 || static_cast<size_t>(length) >= path.size()) {
    errno = ENAMETOOLONG;
    return nullptr;
  }
  return fopen(path.data(), "w");
}

int led_on(int index, uint8_t brightness) {
  if (!led_present(index)) {
    printf("%s Error LED not availiable.\n", TITLE);
    return 1;
  }
  FILE* stream = led_file_open(index, BRIGHTNESS_FILE);
  if (stream == nullptr) {
    const int error = errno;
    printf("%s Error failed to open file %s%s. Error %i\n", TITLE, led_path(index), BRIGHTNESS_FILE,
           error);
    return 1;
  }
  std::array<char, 8> text{};
  snprintf(text.data(), text.size(), "%i\n", brightness);
  write_and_close(stream, text.data());
  return 0;
}

int led_off(int index) { return write_zero(index, BRIGHTNESS_FILE); }

int led_blink_stop(int index) { return write_zero(index, DELAY_ON_FILE); }

int led_blink_start(int index, uint32_t on_ms, uint32_t off_ms) {
  if (!led_present(index)) {
    printf("%s Error LED not available.\n", TITLE);
    return 1;
  }
  if (on_ms <= MIN_DELAY_ALLOWED || off_ms <= MIN_DELAY_ALLOWED) {
    printf("%s Error blink rate not supported\n", TITLE);
    return 1;
  }
  FILE* on_stream = led_file_open(index, DELAY_ON_FILE);
  if (on_stream == nullptr) {
    printf("%s Error failed to open file %s%s\n", TITLE, led_path(index), DELAY_ON_FILE);
    return 1;
  }
  FILE* off_stream = led_file_open(index, DELAY_OFF_FILE);
  if (off_stream == nullptr) {
    printf("%s Error failed to open file %s%s\n", TITLE, led_path(index), DELAY_OFF_FILE);
    fclose(on_stream);  // nothing was written to it
    return 1;
  }
  // Both values reach the LED class at the flushes: the on time first.
  // Printed unsigned, so a time above 2^31 - 1 is never written as negative.
  fprintf(on_stream, "%u\n", on_ms);
  fprintf(off_stream, "%u\n", off_ms);
  fflush(on_stream);
  fflush(off_stream);
  fclose(on_stream);
  fclose(off_stream);
  return 0;
}

int get_led_status() { return access("/sys/class/leds/LED1:YELLOW:PIN1/brightness", F_OK) == 0 ? 1 : 0; }
