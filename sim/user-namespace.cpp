#include "user-namespace.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace twin {

namespace {

bool write_proc(const char* path, const std::string& text) {
  const int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  const int error = errno;
  close(fd);
  errno = error;
  return written;
}

std::string why_no_user_namespace(int error) {
  switch (error) {
    case ENOSPC:
      return "user namespaces are disabled or used up here (sysctl user.max_user_namespaces)";
    case EPERM:
      return "a policy forbids them (sysctl kernel.unprivileged_userns_clone, a seccomp filter)";
    case EINVAL:
      return "the process has more than one thread (under qemu-user, the emulator's)";
    default:
      return strerror(error);
  }
}

}  // namespace

std::string enter_user_namespace() {
  // Once in the namespace the process is nobody until its map is written.
  const std::string user = std::to_string(geteuid());
  const std::string group = std::to_string(getegid());
  if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
    return "cannot make a user namespace as an ordinary user: " + why_no_user_namespace(errno) +
           "; run it as root";
  }
  // A process may map only its own user and group, and its group only once
  // it has given up setgroups.
  if (!write_proc("/proc/self/setgroups", "deny") ||
      !write_proc("/proc/self/uid_map", "0 " + user + " 1\n") ||
      !write_proc("/proc/self/gid_map", "0 " + group + " 1\n")) {
    return std::string("cannot map the user to root in its user namespace: ") + strerror(errno) +
           "; run it as root";
  }
  return "";
}

std::string why_fuse_unusable() {
  const int fd = open("/dev/fuse", O_RDWR | O_CLOEXEC);
  if (fd >= 0) {
    close(fd);
    return "";
  }
  const int error = errno;
  const std::string what = std::string("cannot open /dev/fuse (") + strerror(error) +
                           "), which serves the device's LED class: ";
  if (error == EACCES || error == EPERM) {
    return what + "run it as root, or let every user read and write /dev/fuse (mode 0666, " +
           "as Debian and Ubuntu have it)";
  }
  return what + "load the kernel's fuse module (modprobe fuse)";
}

}  // namespace twin
