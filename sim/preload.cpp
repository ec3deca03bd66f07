// LD_PRELOAD library of the twin, loaded into the device program inside the
// sandbox. It stands in for what a workstation cannot offer and records what
// the program asked of the device:
//  - the power-management driver: an ioctl on "/dev/power" (a plain file in
//    the device image) is answered as the settings say and recorded, and
//    ends the program when the settings cut the power right after it;
//  - the frame buffer: "/dev/fb0" is a plain file, the display memory; its
//    screen information request is answered with the settings' geometry (or
//    refused), and every write to it is placed as the platform's driver
//    places it (or taken in part, or refused) and recorded with the file
//    position it was made at, where it landed and the bytes it took;
//  - file system information: "/mnt/vfat" is a folder of the workstation's,
//    answered as the FAT volume it stands for;
//  - sleeps: every sleep is recorded and returns at once (virtual time), or
//    sleeps for real when the settings ask for real time;
//  - children: every waitpid() result, as the program saw it;
//  - sync() calls, and at exit the program's peak resident memory.
// Everything else passes straight to the C library. Built with hidden
// visibility: only the wrappers below are exported, so that nothing else of
// the library can stand in for a symbol of the program's.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fb.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "control.h"
#include "journal-writer.h"
#include "settings.h"

#define TWIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr unsigned long kPowerRequest = 0x5A3A;

// Read afresh at every use, so that a test process that preloads the library
// can change the device between calls. Settings that cannot be read are the
// twin's own fault: it says so and ends the program.
twin_settings::Settings settings() {
  twin_settings::Settings s;
  char why[512];
  if (!twin_settings::read_settings(twin_control::kSettings, &s, why, sizeof why)) {
    char message[600];
    const int n = snprintf(message, sizeof message, "restoremark-twin: %s\n", why);
    if (n > 0) journal::raw_write(2, message, static_cast<size_t>(n));
    _exit(3);
  }
  return s;
}

void record(journal::Writer& record) { record.commit(twin_control::kJournal); }

__attribute__((constructor)) void start() {
  // The device tools the program starts are the twin's own programs and must
  // not load this library (under emulation it is not even of their kind).
  unsetenv("LD_PRELOAD");
  journal::Writer loaded(journal::kLoaded);
  loaded.number(getpid());
  record(loaded);
}

// Runs when the program exits (not when a signal kills it, nor in a child
// that ends with _exit). Under qemu-user the kernel's figure is the
// emulator's: the program's memory and the emulator's own.
__attribute__((destructor)) void finish() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return;
  journal::Writer line(journal::kUsage);
  line.number(usage.ru_maxrss);
  record(line);
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
  journal::Writer line(journal::kSleep);
  line.number(nanoseconds);
  record(line);
}

long long to_ns(const timespec& t) { return t.tv_sec * 1000000000LL + t.tv_nsec; }

// A scenario that cuts the power right after the request ends the program
// there, as the device's power would.
int power_ioctl(unsigned long request, unsigned long argument) {
  const twin_settings::Settings s = settings();
  const bool accepted = !s.power_refuses && request == kPowerRequest && argument == 0;
  journal::Writer line(journal::kPower);
  line.number(static_cast<long long>(request)).number(static_cast<long long>(argument));
  line.field(accepted ? "accepted" : "refused");
  record(line);
  if (twin_settings::cuts_at(s, twin_settings::kPowerCutTool, twin_settings::kPowerCutOption)) {
    kill(getpid(), SIGKILL);
  }
  if (accepted) return 0;
  errno = request == kPowerRequest ? EIO : ENOTTY;
  return -1;
}

int fb_ioctl(unsigned long request, void* argument) {
  const twin_settings::Settings s = settings();
  const bool answered = request == FBIOGET_VSCREENINFO && !s.fb_info_refused;
  journal::Writer line(journal::kFbInfo);
  line.number(static_cast<long long>(request)).field(answered ? "answered" : "refused");
  record(line);
  if (!answered) {
    errno = request == FBIOGET_VSCREENINFO ? EINVAL : ENOTTY;
    return -1;
  }
  fb_var_screeninfo info{};
  info.xres = s.xres;
  info.yres = s.yres;
  info.xres_virtual = s.xres_virtual;
  info.yres_virtual = s.yres_virtual;
  info.bits_per_pixel = s.bits_per_pixel;
  memcpy(argument, &info, sizeof info);
  return 0;
}

// Bytes of one whole image, as a program computes it from the screen information.
unsigned long long image_bytes(const twin_settings::Settings& s) {
  return static_cast<unsigned long long>(s.xres_virtual) * s.yres * s.bits_per_pixel / 8;
}

// How many of `count` bytes the stock fbdev write takes at `position` of a
// display memory of `memory` bytes, and the error it gives when it takes
// none: past the end EFBIG; at the end, or for what does not fit, ENOSPC.
size_t fb_count(long long position, size_t count, long long memory, int* error) {
  const auto total = static_cast<unsigned long long>(memory);
  if (static_cast<unsigned long long>(position) > total) {
    *error = EFBIG;
    return 0;
  }
  *error = 0;
  if (count > total) {
    *error = EFBIG;
    count = static_cast<size_t>(total);
  }
  if (count + static_cast<unsigned long long>(position) > total) {
    if (*error == 0) *error = ENOSPC;
    count = static_cast<size_t>(total - static_cast<unsigned long long>(position));
  }
  return count;
}

// Appends the bytes a push took to the control folder's record of them, so
// that the frames are made from what each push wrote, also where a later
// push wrote over it. A failure is the twin's own, said on standard error.
void keep_pushed_bytes(const void* data, size_t size) {
  const int saved = errno;
  const int fd = open(twin_control::kDisplayPushes, O_WRONLY | O_APPEND | O_CLOEXEC);
  const ssize_t written = fd >= 0 ? journal::raw_write(fd, data, size) : -1;
  if (written != static_cast<ssize_t>(size)) {
    char message[300];
    const int n = snprintf(message, sizeof message,
                           "restoremark-twin: cannot keep a push's %zu bytes in %s: %s\n", size,
                           twin_control::kDisplayPushes,
                           written < 0 ? strerror(errno) : "a short write");
    if (n > 0) journal::raw_write(2, message, static_cast<size_t>(n));
  }
  if (fd >= 0) close(fd);
  errno = saved;
}

// The stock fbdev driver writes at the file position and advances it, within
// the display memory. The device's driver stores a write of exactly one whole
// image from the start of the display memory and leaves the file position
// alone (an image is a frame, not part of a stream); any other write it takes
// as the stock driver does.
ssize_t fb_write(int fd, const void* data, size_t size) {
  const twin_settings::Settings s = settings();
  const long long position = lseek(fd, 0, SEEK_CUR);
  const bool whole_image =
      s.platform == twin_settings::Platform::kDevice && size != 0 && size == image_bytes(s);
  const long long at = whole_image ? 0 : position;
  // The display may take fewer bytes than offered, or none.
  size_t count = s.fb_takes >= 0 && static_cast<size_t>(s.fb_takes) < size ? s.fb_takes : size;
  int error = s.fb_fails;
  if (error == 0) count = fb_count(at, count, s.fb_memory, &error);
  ssize_t result = -1;
  if (s.fb_fails == 0 && count > 0) {
    result = whole_image ? pwrite(fd, data, count, 0) : journal::raw_write(fd, data, count);
    error = result < 0 ? errno : 0;
    if (result > 0) keep_pushed_bytes(data, static_cast<size_t>(result));
  } else if (error == 0) {
    result = 0;  // a display that takes nothing
  }
  journal::Writer line(journal::kFbWrite);
  line.number(static_cast<long long>(size)).number(result).number(result < 0 ? error : 0);
  line.number(position).number(at);
  record(line);
  if (result < 0) errno = error;
  return result;
}

// Whether `path` names the volume's own folder (not merely a file on it).
bool is_volume(const char* path) {
  struct stat of_path {};
  struct stat of_volume {};
  return stat(path, &of_path) == 0 && stat("/mnt/vfat", &of_volume) == 0 &&
         of_path.st_dev == of_volume.st_dev && of_path.st_ino == of_volume.st_ino;
}

template <typename Info>
int volume_statfs(const char* name, const char* path, Info* info) {
  const int result = next<int (*)(const char*, Info*)>(name)(path, info);
  const int saved = errno;
  if (result == 0 && is_volume(path)) info->f_type = MSDOS_SUPER_MAGIC;
  errno = saved;
  return result;
}

}  // namespace

TWIN_EXPORT ssize_t write(int fd, const void* data, size_t size) {
  if (is_device(fd, "/dev/fb0")) return fb_write(fd, data, size);
  return journal::raw_write(fd, data, size);
}

TWIN_EXPORT unsigned int sleep(unsigned int seconds) {
  record_sleep(seconds * 1000000000LL);
  if (settings().real_time) return next<unsigned int (*)(unsigned int)>("sleep")(seconds);
  return 0;
}

TWIN_EXPORT int usleep(useconds_t microseconds) {
  record_sleep(microseconds * 1000LL);
  if (settings().real_time) return next<int (*)(useconds_t)>("usleep")(microseconds);
  return 0;
}

TWIN_EXPORT int nanosleep(const struct timespec* request, struct timespec* remaining) {
  if (request != nullptr) record_sleep(to_ns(*request));
  if (settings().real_time) {
    return next<int (*)(const timespec*, timespec*)>("nanosleep")(request, remaining);
  }
  if (remaining != nullptr) *remaining = timespec{};
  return 0;
}

TWIN_EXPORT int clock_nanosleep(clockid_t clock, int flags, const struct timespec* request,
                                struct timespec* remaining) {
  if (request != nullptr && flags == 0) record_sleep(to_ns(*request));
  if (settings().real_time || flags != 0) {
    return next<int (*)(clockid_t, int, const timespec*, timespec*)>("clock_nanosleep")(
        clock, flags, request, remaining);
  }
  return 0;
}

TWIN_EXPORT int ioctl(int fd, unsigned long request, ...) {
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

// The volume is a folder of the workstation's: it answers as the device's FAT
// volume, its flags (read-only, say) as they are. A program built with the
// large-file interfaces calls statfs64.
TWIN_EXPORT int statfs(const char* path, struct statfs* info) {
  return volume_statfs("statfs", path, info);
}

TWIN_EXPORT int statfs64(const char* path, struct statfs64* info) {
  return volume_statfs("statfs64", path, info);
}

TWIN_EXPORT pid_t waitpid(pid_t pid, int* status, int options) {
  int seen = 0;
  const pid_t ended = next<pid_t (*)(pid_t, int*, int)>("waitpid")(pid, &seen, options);
  if (ended > 0) {
    journal::Writer line(journal::kWait);
    line.number(ended).number(seen);
    record(line);
    if (status != nullptr) *status = seen;
  }
  return ended;
}

TWIN_EXPORT void sync() {
  journal::Writer line(journal::kSync);
  record(line);
  next<void (*)()>("sync")();
}
