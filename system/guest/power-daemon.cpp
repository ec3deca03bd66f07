// The device's power-management driver stood in for by a CUSE character
// device: creates /dev/power, appends each open ("open FLAGS") and each
// ioctl ("ioctl REQUEST ARGUMENT accepted|refused", decimal) to a record,
// and accepts the device's one request (0x5A3A, argument 0) or refuses it.
// usage: power-daemon accept|refuse RECORD   (runs in the foreground)
#define FUSE_USE_VERSION 31

#include <cuse_lowlevel.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr unsigned long kPowerRequest = 0x5A3A;

const char* record_path = nullptr;
bool accepts = false;

void record(const char* line) {
  const int fd = open(record_path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const ssize_t ignored = write(fd, line, strlen(line));
  (void)ignored;
  close(fd);
}

void power_open(fuse_req_t req, fuse_file_info* fi) {
  char line[64];
  snprintf(line, sizeof line, "open %d\n", fi->flags);
  record(line);
  fuse_reply_open(req, fi);
}

// A request without a data direction arrives with its argument as the value
// of `arg` (the kernel passes it through unchanged).
void power_ioctl(fuse_req_t req, int cmd, void* arg, fuse_file_info* /*fi*/, unsigned /*flags*/,
                 const void* /*in_buf*/, size_t /*in_bufsz*/, size_t /*out_bufsz*/) {
  const unsigned long request = static_cast<unsigned int>(cmd);
  const unsigned long argument = reinterpret_cast<uintptr_t>(arg);
  const bool accepted = accepts && request == kPowerRequest && argument == 0;
  char line[96];
  snprintf(line, sizeof line, "ioctl %lu %lu %s\n", request, argument,
           accepted ? "accepted" : "refused");
  record(line);
  if (accepted) {
    fuse_reply_ioctl(req, 0, nullptr, 0);
  } else {
    fuse_reply_err(req, request == kPowerRequest ? EIO : ENOTTY);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (strcmp(argv[1], "accept") != 0 && strcmp(argv[1], "refuse") != 0)) {
    fprintf(stderr, "usage: power-daemon accept|refuse RECORD\n");
    return 2;
  }
  accepts = strcmp(argv[1], "accept") == 0;
  record_path = argv[2];

  const char* dev_info[] = {"DEVNAME=power"};
  cuse_info info{};
  info.dev_info_argc = 1;
  info.dev_info_argv = dev_info;

  cuse_lowlevel_ops ops{};
  ops.open = power_open;
  ops.ioctl = power_ioctl;

  // Foreground, single-threaded.
  char foreground[] = "-f";
  char single_thread[] = "-s";
  char* fuse_argv[] = {argv[0], foreground, single_thread, nullptr};
  return cuse_lowlevel_main(3, fuse_argv, &info, &ops, nullptr);
}
