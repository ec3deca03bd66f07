// LD_PRELOAD library of the twin, loaded into the device program inside the
// sandbox. It stands in for what a workstation cannot offer:
//  - the power-management driver: an ioctl on "/dev/power" (a plain file in
//    the device image) is answered as the scenario says and recorded;
//  - the frame buffer: "/dev/fb0" is a plain file; its screen information
//    request is answered with the scenario's geometry (or refused), and every
//    write to it is recorded so that the twin can split the file into frames;
//  - time: every sleep is recorded and returns at once (virtual time), or
//    sleeps for real when the scenario asks for real time;
//  - at exit it records the program's peak resident memory.
// Everything else passes straight to the C library.
#include <dlfcn.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "control.h"

namespace {

constexpr unsigned long kPowerRequest = 0x5A3A;

struct Settings {
  bool power_accepts = true;
  bool real_time = false;
  bool fb_info_refused = false;
  unsigned fb_width = 128;
  unsigned fb_height = 64;
  unsigned fb_bits_per_pixel = 1;
  long fb_write_limit = -1;  // bytes the display takes per write; -1: all
};

// Read afresh at every use, so that a test process that preloads the library
// can change the device between calls.
Settings read_settings() {
  Settings settings;
  FILE* file = fopen(twin_control::kSettings, "re");
  if (file == nullptr) return settings;
  char line[256];
  while (fgets(line, sizeof line, file) != nullptr) {
    line[strcspn(line, "\n")] = '\0';
    if (strcmp(line, "power=refuse") == 0) settings.power_accepts = false;
    if (strcmp(line, "time=real") == 0) settings.real_time = true;
    if (strcmp(line, "fb=refuse") == 0) settings.fb_info_refused = true;
    sscanf(line, "fb=%u %u %u", &settings.fb_width, &settings.fb_height,
           &settings.fb_bits_per_pixel);
    sscanf(line, "fbwrite=%ld", &settings.fb_write_limit);
  }
  fclose(file);
  return settings;
}

__attribute__((constructor)) void start() {
  // The device tools the program starts are the twin's own programs and must
  // not load this library (under emulation it is not even of their kind).
  unsetenv("LD_PRELOAD");
}

// Runs when the program exits (not when a signal kills it, nor in a child
// that ends with _exit). Under qemu-user the kernel's figure is the
// emulator's: the program's memory and the emulator's own.
__attribute__((destructor)) void finish() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return;
  twin_control::Line line("usage");
  line.field("maxrss");
  line.number(usage.ru_maxrss);
  line.commit();
}

template <typename F>
F next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

bool is_device(int fd, const char* path) {
  struct stat of_fd {};
  struct stat of_path {};
  return fstat(fd, &of_fd) == 0 && stat(path, &of_path) == 0 && of_fd.st_dev == of_path.st_dev &&
         of_fd.st_ino == of_path.st_ino;
}

void record_sleep(long long nanoseconds) {
  twin_control::Line line("sleep");
  line.number(nanoseconds);
  line.commit();
}

long long to_ns(const timespec& t) { return t.tv_sec * 1000000000LL + t.tv_nsec; }

int power_ioctl(unsigned long request, unsigned long argument) {
  const Settings settings = read_settings();
  const bool accepted = settings.power_accepts && request == kPowerRequest && argument == 0;
  twin_control::Line line("power");
  line.number(static_cast<long long>(request));
  line.number(static_cast<long long>(argument));
  line.field(accepted ? "accepted" : "refused");
  line.commit();
  if (accepted) return 0;
  errno = request == kPowerRequest ? EIO : ENOTTY;
  return -1;
}

int fb_ioctl(unsigned long request, void* argument) {
  const Settings settings = read_settings();
  const bool answered = request == FBIOGET_VSCREENINFO && !settings.fb_info_refused;
  twin_control::Line line("fb");
  line.field("info");
  line.number(static_cast<long long>(request));
  line.field(answered ? "answered" : "refused");
  line.commit();
  if (!answered) {
    errno = request == FBIOGET_VSCREENINFO ? EINVAL : ENOTTY;
    return -1;
  }
  fb_var_screeninfo info{};
  info.xres = info.xres_virtual = settings.fb_width;
  info.yres = info.yres_virtual = settings.fb_height;
  info.bits_per_pixel = settings.fb_bits_per_pixel;
  memcpy(argument, &info, sizeof info);
  return 0;
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* data, size_t size) {
  const auto real_write = next<ssize_t (*)(int, const void*, size_t)>("write");
  if (!is_device(fd, "/dev/fb0")) return real_write(fd, data, size);
  // The display may take fewer bytes than offered, or none.
  const long limit = read_settings().fb_write_limit;
  const size_t offered = limit >= 0 && static_cast<size_t>(limit) < size ? limit : size;
  const ssize_t written = offered == 0 ? 0 : real_write(fd, data, offered);
  const int saved = errno;
  {
    twin_control::Line line("fb");
    line.field("write");
    line.number(static_cast<long long>(size));
    line.number(written);
    line.commit();
  }
  errno = saved;
  return written;
}

unsigned int sleep(unsigned int seconds) {
  const Settings settings = read_settings();
  record_sleep(seconds * 1000000000LL);
  if (settings.real_time) return next<unsigned int (*)(unsigned int)>("sleep")(seconds);
  return 0;
}

int usleep(useconds_t microseconds) {
  const Settings settings = read_settings();
  record_sleep(microseconds * 1000LL);
  if (settings.real_time) return next<int (*)(useconds_t)>("usleep")(microseconds);
  return 0;
}

int nanosleep(const struct timespec* request, struct timespec* remaining) {
  const Settings settings = read_settings();
  if (request != nullptr) record_sleep(to_ns(*request));
  if (settings.real_time) {
    return next<int (*)(const timespec*, timespec*)>("nanosleep")(request, remaining);
  }
  if (remaining != nullptr) *remaining = timespec{};
  return 0;
}

int clock_nanosleep(clockid_t clock, int flags, const struct timespec* request,
                    struct timespec* remaining) {
  const Settings settings = read_settings();
  if (request != nullptr && flags == 0) record_sleep(to_ns(*request));
  if (settings.real_time || flags != 0) {
    return next<int (*)(clockid_t, int, const timespec*, timespec*)>("clock_nanosleep")(
        clock, flags, request, remaining);
  }
  return 0;
}

int ioctl(int fd, unsigned long request, ...) {
  va_list list;
  va_start(list, request);
  void* argument = va_arg(list, void*);
  va_end(list);
  if (is_device(fd, "/dev/power")) {
    return power_ioctl(request, reinterpret_cast<unsigned long>(argument));
  }
  if (is_device(fd, "/dev/fb0")) return fb_ioctl(request, argument);
  return next<int (*)(int, unsigned long, void*)>("ioctl")(fd, request, argument);
}

}  // extern "C"
