// Enters a private mount namespace before any test runs: every mount the
// tests make stays inside this process and disappears with it. An ordinary
// user makes it in a user namespace of its own, as its root.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "build-paths.h"
#include "user-namespace.h"

namespace {

bool enter_private_mount_namespace() {
  if (geteuid() != 0) {
    if (const std::string why = twin::enter_user_namespace(); !why.empty()) {
      fprintf(stderr, "device tests: %s\n", why.c_str());
      return false;
    }
  } else if (unshare(CLONE_NEWNS) != 0) {
    perror("device tests: cannot create a mount namespace");
    return false;
  }
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    perror("device tests: cannot make the mount namespace private");
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // The console needs the twin's preload library to answer the frame
  // buffer's screen information request: start again with it loaded.
  if (getenv("DEVICE_TESTS_PRELOADED") == nullptr) {
    setenv("DEVICE_TESTS_PRELOADED", "1", 1);
    setenv("LD_PRELOAD", build_paths::kPreload, 1);
    execv("/proc/self/exe", argv);
    perror("cannot restart the device tests with the twin's preload library");
    return 1;
  }
  if (!enter_private_mount_namespace()) return 1;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
