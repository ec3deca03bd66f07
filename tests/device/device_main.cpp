// Enters a private mount namespace before any test runs: every mount the
// tests make stays inside this process and disappears with it.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "build-paths.h"

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
  if (unshare(CLONE_NEWNS) != 0 ||
      mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    perror("device tests need a private mount namespace (run them as root)");
    return 1;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
