// A device tool of the twin, built twice: as orvex-msd and as orvex-auth
// (TOOL_NAME). It records the call exactly as it arrived (every argv entry,
// argv[0] included, and every descriptor it inherited) and then ends as the
// scenario says for its option: an exit status, or death by a signal.
// "--remove PATH" really removes PATH when the answer is success.
#include <dirent.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "control.h"

#ifndef TOOL_NAME
#error "TOOL_NAME must name the tool"
#endif

namespace {

struct Answer {
  bool by_signal = false;
  int value = 0;  // exit status or signal number
};

// The answers file holds "tool option exit N" or "tool option signal N" lines.
Answer answer_for(const char* option) {
  Answer answer;
  FILE* file = fopen(twin_control::kAnswers, "re");
  if (file == nullptr) return answer;
  char tool[64];
  char opt[128];
  char kind[16];
  int value = 0;
  while (fscanf(file, "%63s %127s %15s %d", tool, opt, kind, &value) == 4) {
    if (strcmp(tool, TOOL_NAME) == 0 && strcmp(opt, option) == 0) {
      answer.by_signal = strcmp(kind, "signal") == 0;
      answer.value = value;
    }
  }
  fclose(file);
  return answer;
}

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

// With "tools=talk" in the settings the tool says what it did on its standard
// output, as real tools do, so that the order of everyone's lines shows.
bool talks() {
  FILE* file = fopen(twin_control::kSettings, "re");
  if (file == nullptr) return false;
  char line[128];
  bool talk = false;
  while (fgets(line, sizeof line, file) != nullptr) talk = talk || strcmp(line, "tools=talk\n") == 0;
  fclose(file);
  return talk;
}

}  // namespace

int main(int argc, char* argv[]) {
  // Taken before anything here opens a descriptor of its own.
  char descriptors[4096];
  describe_descriptors(descriptors, sizeof descriptors);

  const char* option = argc > 1 && argv[1] != nullptr ? argv[1] : "";
  Answer answer = answer_for(option);
  const char* note = "";
  if (!answer.by_signal && answer.value == 0 && strcmp(option, "--remove") == 0 && argc > 2) {
    if (unlink(argv[2]) == 0) {
      note = "removed";
    } else {
      note = "remove failed";
      answer.value = 1;  // a real tool reports the failed removal
    }
  }

  char outcome[32];
  snprintf(outcome, sizeof outcome, "%s %d", answer.by_signal ? "signal" : "exit", answer.value);
  twin_control::Line line("tool");
  line.field(TOOL_NAME);
  line.field(outcome);
  line.field(note);
  line.field(descriptors);
  line.number(argc);
  for (int i = 0; i < argc; ++i) line.field(argv[i]);
  line.commit();
  if (talks()) printf("%s %s: %s\n", TOOL_NAME, option, outcome);

  if (answer.by_signal) {
    fflush(stdout);
    signal(answer.value, SIG_DFL);
    raise(answer.value);
    return 128 + answer.value;  // a signal that does not end the process
  }
  return answer.value;
}
