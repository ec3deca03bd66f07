// A device tool of the guest, built twice: as orvex-msd and as orvex-auth
// (TOOL_NAME). It appends the call exactly as it arrived to the tools record
// (argv[0] first, entries separated by a TAB) and exits with the status the
// scenario gives for its option (0 when none is given). "--remove PATH"
// really removes PATH when the answer is success.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef TOOL_NAME
#error "TOOL_NAME must name the tool"
#endif

namespace {

constexpr char kRecord[] = "/run/system/tools";
constexpr char kAnswers[] = "/run/system/answers";

// One write of the whole line, so that the record holds whole calls only.
int record_call(int argc, char** argv) {
  size_t size = 1;
  for (int i = 0; i < argc; ++i) size += strlen(argv[i]) + 1;
  char* line = static_cast<char*>(malloc(size));
  if (line == nullptr) return -1;
  size_t used = 0;
  for (int i = 0; i < argc; ++i) {
    const size_t n = strlen(argv[i]);
    memcpy(line + used, argv[i], n);
    used += n;
    line[used++] = i + 1 < argc ? '\t' : '\n';
  }
  if (argc == 0) line[used++] = '\n';
  const int fd = open(kRecord, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  const ssize_t wrote = fd < 0 ? -1 : write(fd, line, used);
  if (fd >= 0) close(fd);
  free(line);
  return wrote == static_cast<ssize_t>(used) ? 0 : -1;
}

// The answers file holds "TOOL OPTION STATUS" lines; the last match counts.
int answer_for(const char* option) {
  FILE* file = fopen(kAnswers, "re");
  if (file == nullptr) return 0;
  char tool[64];
  char opt[128];
  int status = 0;
  int answer = 0;
  while (fscanf(file, "%63s %127s %d", tool, opt, &status) == 3) {
    if (strcmp(tool, TOOL_NAME) == 0 && strcmp(opt, option) == 0) answer = status;
  }
  fclose(file);
  return answer;
}

}  // namespace

int main(int argc, char** argv) {
  if (record_call(argc, argv) != 0) {
    fprintf(stderr, "%s: cannot record the call in %s\n", TOOL_NAME, kRecord);
    return 125;
  }
  const char* option = argc > 1 ? argv[1] : "";
  const int status = answer_for(option);
  if (status == 0 && strcmp(option, "--remove") == 0 && argc > 2 && unlink(argv[2]) != 0) {
    perror(argv[2]);
    return 1;
  }
  return status;
}
