// The power device and the tools. Making the power request or running a
// tool would change the device (restart it, set its restore flags), so the
// check only looks at what the program needs before it can do either.
#include "check-device-files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr const char* kPowerDevice = "/dev/power";
constexpr const char* kTools[] = {"/usr/bin/orvex-msd", "/usr/bin/orvex-auth"};
constexpr mode_t kAnyExecute = S_IXUSR | S_IXGRP | S_IXOTH;

// Records why the tool at `path` could not be started by the program, if it could not.
void check_tool(const char* path, item_result& item) {
  struct stat s {};
  if (stat(path, &s) != 0) {
    item_fail(item, "%s: %s", path, strerror(errno));
  } else if (!S_ISREG(s.st_mode)) {
    item_fail(item, "%s is not a regular file", path);
  } else if ((s.st_mode & kAnyExecute) == 0) {
    item_fail(item, "%s is not executable (mode %04o)", path, s.st_mode & 07777);
  } else if (access(path, X_OK) != 0) {
    item_fail(item, "%s cannot be run: %s", path, strerror(errno));
  }
}

}  // namespace

void check_power_device(item_result& item) {
  const int fd = open(kPowerDevice, O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    item_fail(item, "%s does not open read-write: %s", kPowerDevice, strerror(errno));
    return;
  }
  close(fd);
  item_measured(item, "%s opens read-write; the request was not made", kPowerDevice);
}

void check_tools(item_result& item) {
  for (const char* path : kTools) check_tool(path, item);
  item_measured(item,
                "%s and %s are regular executable files; neither was run, so their exit "
                "status is not measured",
                kTools[0], kTools[1]);
}
