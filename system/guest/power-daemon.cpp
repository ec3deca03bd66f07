// The device's power-management driver stood in for by a CUSE character
// device: creates /dev/power and accepts the device's one request (0x5A3A,
// argument 0) or refuses it, as the twin's settings file says ("power=").
// Each open and each request goes to the twin's journal, as the twin's own
// power stand-in records them: "power-open FLAGS", "power REQUEST ARGUMENT
// accepted|refused". When the settings cut the power right after the
// request, it answers the request and then runs TWIN_CUT_COMMAND, which has
// the host cut the board's power. Runs in the foreground; no arguments.
#define FUSE_USE_VERSION 31

#include <cuse_lowlevel.h>

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "control.h"
#include "journal-writer.h"
#include "settings.h"

namespace {

constexpr unsigned long kPowerRequest = 0x5A3A;

bool accepts = false;
twin_settings::Settings settings;

// The program goes on into its wait while the power is being cut.
void cut_power() {
  char delay[24];
  snprintf(delay, sizeof delay, "%lld", settings.cut_delay_ms);
  const pid_t pid = fork();
  if (pid < 0) fprintf(stderr, "power-daemon: cannot cut the power: %s\n", strerror(errno));
  if (pid != 0) return;
  execl(TWIN_CUT_COMMAND, TWIN_CUT_COMMAND, delay, twin_settings::kPowerCutTool,
        twin_settings::kPowerCutOption, static_cast<char*>(nullptr));
  fprintf(stderr, "power-daemon: cannot run %s: %s\n", TWIN_CUT_COMMAND, strerror(errno));
  _exit(1);
}

void power_open(fuse_req_t req, fuse_file_info* fi) {
  journal::Writer(journal::kPowerOpen).number(fi->flags).commit(twin_control::kJournal);
  fuse_reply_open(req, fi);
}

// A request without a data direction arrives with its argument as the value
// of `arg` (the kernel passes it through unchanged).
void power_ioctl(fuse_req_t req, int cmd, void* arg, fuse_file_info* /*fi*/, unsigned /*flags*/,
                 const void* /*in_buf*/, size_t /*in_bufsz*/, size_t /*out_bufsz*/) {
  const unsigned long request = static_cast<unsigned int>(cmd);
  const unsigned long argument = reinterpret_cast<uintptr_t>(arg);
  const bool accepted = accepts && request == kPowerRequest && argument == 0;
  journal::Writer(journal::kPower)
      .number(static_cast<long long>(request))
      .number(static_cast<long long>(argument))
      .field(accepted ? "accepted" : "refused")
      .commit(twin_control::kJournal);
  if (accepted) {
    fuse_reply_ioctl(req, 0, nullptr, 0);
  } else {
    fuse_reply_err(req, request == kPowerRequest ? EIO : ENOTTY);
  }
  if (request == kPowerRequest &&
      twin_settings::cuts_at(settings, twin_settings::kPowerCutTool,
                             twin_settings::kPowerCutOption)) {
    cut_power();
  }
}

}  // namespace

int main(int argc, char** argv) {
  char why[512];
  if (argc != 1) {
    fprintf(stderr, "usage: power-daemon   (reads %s)\n", twin_control::kSettings);
    return 2;
  }
  if (!twin_settings::read_settings(twin_control::kSettings, &settings, why, sizeof why)) {
    fprintf(stderr, "power-daemon: %s\n", why);
    return 1;
  }
  accepts = !settings.power_refuses;

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
