// Runs the device's two tools as child processes, one at a time, and maps
// their termination status to a result the procedure tests against zero.
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "restoremark.h"

namespace {

constexpr const char* MSD_PATH = "/usr/bin/orvex-msd";
constexpr const char* AUTH_PATH = "/usr/bin/orvex-auth";

// Starts `path` with `argv` and waits for it. Returns false when no child
// could be created or the wait failed; otherwise stores the raw wait status.
// The child inherits the environment and every open descriptor unchanged.
bool run_and_wait(const char* path, const char* const argv[], int& status) {
  // The child's output must come after ours when both go to one file or pipe.
  fflush(stdout);
  const pid_t pid = fork();
  if (pid < 0) {
    return false;
  }
  if (pid == 0) {
    // execv does not change the vector; its prototype predates const.
    execv(path, const_cast<char* const*>(argv));
    _exit(1);  // not exit(): the inherited stdio buffers belong to the parent
  }
  pid_t waited;
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  return waited == pid;
}

}  // namespace

int sys_orvex_msd(const char* option) {
  const char* const argv[] = {"orvex-msd", option, nullptr};
  int status = 0;
  if (!run_and_wait(MSD_PATH, argv, status)) {
    return 1;
  }
  return status;  // the raw wait status: 0 only for a normal exit with status 0
}

int sys_orvex_auth(const char* option, const char* arg1, const char* arg2, const char* arg3) {
  // A null entry ends the argument list where it stands.
  const char* const argv[] = {"orvex-auth", option, arg1, arg2, arg3, nullptr};
  int status = 0;
  if (!run_and_wait(AUTH_PATH, argv, status)) {
    return 1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
