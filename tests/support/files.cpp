#include "files.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace support {

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string capture_stdout(const std::function<void()>& call) {
  fflush(stdout);
  char path[] = "/tmp/test-stdout.XXXXXX";
  const int file = mkstemp(path);
  const int saved = dup(1);
  dup2(file, 1);
  call();
  fflush(stdout);
  dup2(saved, 1);
  close(saved);
  close(file);
  std::string text = read_file(path);
  unlink(path);
  return text;
}

int open_descriptors() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
  closedir(dir);
  return count - 1;  // the directory's own
}

}  // namespace support
