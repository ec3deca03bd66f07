// A device tool of the twin, built twice: as orvex-msd and as orvex-auth
// (TOOL_NAME). It records the call exactly as it arrived (every argv entry,
// argv[0] included, and every descriptor it inherited), takes the scenario's
// tool time (recorded in virtual time, waited in real time), and then ends
// as the scenario says for its option: an exit status, or death by a signal.
// "--remove PATH" really removes PATH when the answer is success.
// When the scenario cuts the power during this call, the call is recorded
// and the power goes before the tool does anything: in the twin the program
// is killed at once; in the full-system suite's guest (TWIN_CUT_COMMAND) the
// host is asked to cut the board's power, and the tool waits for it.
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "control.h"
#include "journal-writer.h"
#include "settings.h"

#ifndef TOOL_NAME
#error "TOOL_NAME must name the tool"
#endif

namespace {

// "0=/dev/null 1=/run/... 3=/mnt/vfat/..." for every descriptor open at start.
void describe_descriptors(char* out, size_t size) {
  out[0] = '\0';
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return;
  const int own = dirfd(dir);
  size_t used = 0;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const int fd = atoi(entry->d_name);
    if (fd == own) continue;
    char link[96];
    char target[512];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    target[n > 0 ? n : 0] = '\0';
    const int wrote = snprintf(out + used, size - used, "%s%d=%s", used ? " " : "", fd, target);
    if (wrote < 0 || static_cast<size_t>(wrote) >= size - used) break;
    used += static_cast<size_t>(wrote);
  }
  closedir(dir);
}

// Never returns: the power is gone.
[[noreturn]] void cut_power(const twin_settings::Settings& settings, const char* option) {
#ifdef TWIN_CUT_COMMAND
  char delay[24];
  snprintf(delay, sizeof delay, "%lld", settings.cut_delay_ms);
  execl(TWIN_CUT_COMMAND, TWIN_CUT_COMMAND, delay, TOOL_NAME, option, static_cast<char*>(nullptr));
  fprintf(stderr, "restoremark-twin: cannot run %s: %s\n", TWIN_CUT_COMMAND, strerror(errno));
  _exit(3);
#else
  // The twin's volume keeps every write, so the delay changes nothing there.
  (void)settings;
  (void)option;
  kill(getppid(), SIGKILL);
  _exit(0);
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
  // Taken before anything here opens a descriptor of its own.
  char descriptors[4096];
  describe_descriptors(descriptors, sizeof descriptors);

  twin_settings::Settings settings;
  char why[512];
  if (!twin_settings::read_settings(twin_control::kSettings, &settings, why, sizeof why)) {
    fprintf(stderr, "restoremark-twin: %s\n", why);
    return 3;
  }
  const char* option = argc > 1 && argv[1] != nullptr ? argv[1] : "";
  const twin_settings::Answer* found = twin_settings::find_answer(settings, TOOL_NAME, option);
  bool by_signal = found != nullptr && found->by_signal;
  int value = found != nullptr ? found->value : 0;
  const bool cut = twin_settings::cuts_at(settings, TOOL_NAME, option);
  const char* note = cut ? "power cut" : "";
  if (!cut && !by_signal && value == 0 && strcmp(option, "--remove") == 0 && argc > 2) {
    if (unlink(argv[2]) == 0) {
      note = "removed";
    } else {
      note = "remove failed";
      value = 1;  // a real tool reports the failed removal
    }
  }

  char answer[32];
  snprintf(answer, sizeof answer, "%s %d", by_signal ? "signal" : "exit", value);
  journal::Writer line(journal::kTool);
  line.number(getpid()).field(TOOL_NAME).field(answer).field(note).field(descriptors);
  line.number(argc);
  for (int i = 0; i < argc; ++i) line.field(argv[i]);
  line.commit(twin_control::kJournal);
  if (cut) cut_power(settings, option);
  if (settings.tool_time_ms > 0) {
    const long long ns = settings.tool_time_ms * 1000000LL;
    journal::Writer(journal::kToolTime).number(ns).commit(twin_control::kJournal);
    if (settings.real_time) {
      timespec left{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
      while (nanosleep(&left, &left) != 0 && errno == EINTR) {
      }
    }
  }
  // Real tools say what they did on their standard output; the order of
  // everyone's lines then shows.
  if (settings.tools_talk) printf("%s %s: %s\n", TOOL_NAME, option, answer);

  if (by_signal) {
    fflush(stdout);
    signal(value, SIG_DFL);
    raise(value);
    return 128 + value;  // a signal that does not end the process
  }
  return value;
}
