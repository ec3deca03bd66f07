// The restore-point procedure: one fixed pass that stops the USB mass-storage
// export, deletes the package files, sets the factory and restore point flags
// through the privileged tool, removes the main-user install file and, when all
// of that succeeded, makes the power-management request. Progress is shown on
// the display when "/dev/fb0" is writable, otherwise on the LEDs; failures are
// kept in a log on the volume.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "leds.h"
#include "restoremark.h"

namespace {

constexpr const char* BANNER = "K300-RESTOREMARK-V1-0";
constexpr const char* PACKAGE_FILES[] = {
    "/mnt/vfat/K300-RESTOREMARK-V1-0.tar.gz",
    "/mnt/vfat/install",
    "/mnt/vfat/install.sig",
    "/mnt/vfat/main-user.crt",
};
constexpr const char* LOG_PATH = "/mnt/vfat/K300-RESTOREMARK-V1-0.log";
constexpr const char* MAIN_USER_INSTALL = "/usr/local/main-user/install";
constexpr const char* POWER_DEVICE = "/dev/power";
constexpr unsigned long POWER_REQUEST = 0x5A3A;
constexpr unsigned POWER_WAIT_S = 10;
constexpr const char* DISPLAY_DEVICE = "/dev/fb0";

constexpr std::string_view FACTORY_FLAG_FAILED = "Failed to set the factory restore point flag.\n";
constexpr std::string_view RESTORE_FLAG_FAILED = "Failed to set the restore point flag.\n";
constexpr std::string_view DISPLAY_FAILED = "Failed to initialise the display '/dev/fb0'.\n";

// LED indexes: 0-5 yellow, 6 red, 7 green, 8 blue.
constexpr int YELLOW_LEDS = 6;
constexpr int RED_LED = 6;
constexpr int GREEN_LED = 7;
constexpr int BLUE_LED = 8;
constexpr uint8_t FULL_BRIGHTNESS = 255;
constexpr uint32_t WORKING_BLINK_MS = 500;

// A log line counts as written only once it has reached the file: a short
// write or a failed flush (a full volume shows up there) is reported.
void write_log_line(FILE* log, std::string_view line) {
  const bool written = fwrite(line.data(), 1, line.size(), log) == line.size();
  const bool flushed = fflush(log) == 0;
  if (!written || !flushed) {
    printf("Failed to update the log file '%s'.\n", LOG_PATH);
  }
}

void show_start_on_leds() {
  for (int i = 0; i <= GREEN_LED; ++i) {
    led_off(i);
    led_blink_stop(i);
  }
  led_on(BLUE_LED, FULL_BRIGHTNESS);
  led_blink_start(GREEN_LED, WORKING_BLINK_MS, WORKING_BLINK_MS);
}

void show_result_on_leds(int result) {
  if (result == 0) {
    led_blink_stop(GREEN_LED);
    sleep(1);
    for (int i = 0; i < YELLOW_LEDS; ++i) {
      led_on(i, FULL_BRIGHTNESS);
    }
    sleep(1);
    led_on(GREEN_LED, FULL_BRIGHTNESS);
  } else {
    led_off(GREEN_LED);
    led_blink_stop(GREEN_LED);
    led_on(RED_LED, FULL_BRIGHTNESS);
  }
}

// Sets the two restore point flags, the restore flag only after the factory
// flag. Returns 0 when both were set, otherwise 1 after logging which failed.
int set_restore_points(FILE* log) {
  if (sys_orvex_auth("--make-factory", nullptr, nullptr, nullptr) != 0) {
    write_log_line(log, FACTORY_FLAG_FAILED);
    return 1;
  }
  if (sys_orvex_auth("--make-restore", nullptr, nullptr, nullptr) != 0) {
    write_log_line(log, RESTORE_FLAG_FAILED);
    return 1;
  }
  return 0;
}

// From the indicator's start to its result, with the log open. The indicator
// is chosen once: the display when it can be written, otherwise the LEDs.
int run_with_log(FILE* log) {
  const bool display = access(DISPLAY_DEVICE, W_OK) == 0;
  if (display) {
    if (lcd_init() != 0) {
      // Without its indicator the run ends here: no flag, no outcome word.
      write_log_line(log, DISPLAY_FAILED);
      return 1;
    }
    lcd_clear();
    lcd_puts(BANNER);
  } else {
    show_start_on_leds();
  }

  const int result = set_restore_points(log);
  const char* outcome = result == 0 ? "Success." : "Error.";
  puts(outcome);

  if (display) {
    lcd_puts(outcome);
    lcd_term();
  } else {
    show_result_on_leds(result);
  }
  return result;
}

// On success the log is deleted; on failure it stays on the volume.
void close_log(FILE* log, int result) {
  fclose(log);
  sync();
  if (result == 0 && unlink(LOG_PATH) != 0) {
    printf("Failed to remove '%s'.\n", LOG_PATH);
  }
}

void remove_main_user_install() {
  if (access(MAIN_USER_INSTALL, R_OK) != 0) {
    return;
  }
  if (sys_orvex_auth("--remove", MAIN_USER_INSTALL, nullptr, nullptr) != 0) {
    puts("Failed to remove '/usr/local/main-user/install'.");
  }
}

// The power-management request; 0 when the driver accepted it. The device
// is then expected to act on it within the wait.
int request_power_management() {
  const int fd = open(POWER_DEVICE, O_RDWR);
  if (fd < 0) {
    puts("Failed to open the power management device.");
    return 1;
  }
  int result = 0;
  if (ioctl(fd, POWER_REQUEST, 0) != 0) {
    puts("Power management ioctl failed.");
    result = 1;
  }
  close(fd);
  sleep(POWER_WAIT_S);
  return result;
}

}  // namespace

int main() {
  puts(BANNER);
  int result = 1;

  if (sys_orvex_msd("--stop") != 0) {
    puts("Failed to stop the Mass Storage Device export.");
  } else {
    for (const char* path : PACKAGE_FILES) {
      unlink(path);  // missing files are normal
    }
    FILE* log = fopen(LOG_PATH, "w");
    if (log == nullptr) {
      printf("Failed to start the log file '%s'.\n", LOG_PATH);
    } else {
      result = run_with_log(log);
      close_log(log, result);
    }
  }

  remove_main_user_install();
  sync();

  if (result == 0) {
    result = request_power_management();
  }
  if (result != 0 && sys_orvex_msd("--start") != 0) {
    puts("Failed to start the Mass Storage Device export.");
  }
  return result;
}
