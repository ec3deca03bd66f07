// Cuts the board's power in the middle of the running scenario: the fake
// device tool (or the power driver) at the scenario's cut point runs this
// and waits. The device runs on for DELAY_MS milliseconds, while the volume
// disk's writeback state is sampled; then one request carries to the host
// what the device shows (the LEDs), what the kernel had not yet written to
// the volume, the tools' journal and the program's output so far, and asks
// it to cut: the host stops the board, takes the panel's picture and kills
// it, with no unmount and no flush. Nothing after that request runs. A C++
// program, not a script: the moment between the cut point and the request
// stays a few milliseconds, too short for the kernel's flusher to write
// anything in between.
// usage: cut-power DELAY_MS TOOL OPTION
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "control.h"
#include "led-states.h"

namespace {

constexpr int kSampleMs = 50;
constexpr int kAnswerMs = 60000;  // the host kills the board long before

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string first_line(const std::string& path) {
  std::string text = read_file(path);
  return text.substr(0, text.find('\n'));
}

std::string hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

long long now_ms() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

// The name of the entry of the sysfs folder `dir` whose file `file` reads
// `value` in its first line ("vda" in /sys/block for the serial "volumes"),
// or "".
std::string entry_where(const std::string& dir, const char* file, const std::string& value) {
  DIR* folder = opendir(dir.c_str());
  std::string found;
  while (folder != nullptr && found.empty()) {
    const dirent* entry = readdir(folder);
    if (entry == nullptr) break;
    if (first_line(dir + "/" + entry->d_name + "/" + file) == value) found = entry->d_name;
  }
  if (folder != nullptr) closedir(folder);
  return found;
}

// The volume disk's writeback state from its backing device's statistics
// (debugfs): dirty and writeback pages, dirty inodes, and the thresholds.
class Writeback {
 public:
  Writeback() {
    char link[256] = "";
    const std::string disk = entry_where("/sys/block", "serial", "volumes");
    const std::string bdi = "/sys/block/" + disk + "/bdi";
    const ssize_t n = readlink(bdi.c_str(), link, sizeof link - 1);
    const std::string name = n > 0 ? std::string(link, static_cast<size_t>(n)) : "";
    stats_ = "/sys/kernel/debug/bdi/" + name.substr(name.rfind('/') + 1) + "/stats";
  }

  // "BdiReclaimable 4 kB, BdiWriteback 0 kB, b_dirty 1, ..."; `pending`
  // tells whether anything is still to be written.
  std::string sample(bool* pending) const {
    std::istringstream lines(read_file(stats_));
    std::string out;
    long long unwritten = 0;
    for (std::string line; std::getline(lines, line);) {
      const auto colon = line.find(':');
      if (colon == std::string::npos) continue;
      const std::string key = line.substr(0, colon);
      const long long value = atoll(line.c_str() + colon + 1);
      if (key == "BdiReclaimable" || key == "BdiWriteback" || key == "b_dirty") unwritten += value;
      if (key == "BdiReclaimable" || key == "BdiWriteback" || key == "BdiDirtyThresh" ||
          key == "BackgroundThresh" || key == "b_dirty") {
        out += (out.empty() ? "" : ", ") + key + " " + std::to_string(value) +
               (key == "b_dirty" ? "" : " kB");
      }
    }
    if (pending != nullptr) *pending = unwritten != 0;
    return out.empty() ? "no statistics at " + stats_ : out;
  }

 private:
  std::string stats_;
};

// Runs on for `delay_ms`, and says what the kernel wrote meanwhile.
std::string run_on(long long delay_ms) {
  const Writeback writeback;
  bool pending = false;
  std::string said = "at the cut point: " + writeback.sample(&pending) + "\n";
  const long long start = now_ms();
  bool written = !pending;
  while (now_ms() - start < delay_ms) {
    usleep(kSampleMs * 1000);
    writeback.sample(&pending);
    if (!written && !pending) {
      written = true;
      said += "all written back after " + std::to_string(now_ms() - start) + " ms\n";
    }
  }
  return said + "at the cut, " + std::to_string(now_ms() - start) +
         " ms later: " + writeback.sample(nullptr) + "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fputs("usage: cut-power DELAY_MS TOOL OPTION\n", stderr);
    return 2;
  }
  const std::string writeback = run_on(atoll(argv[1]));
  const std::string scenario = first_line("/run/scenario");
  const std::string request =
      std::string("cut ") + argv[2] + " " + argv[3] + " leds:" + hex(guest_leds::states()) +
      " writeback:" + hex(writeback) + " journal:" + hex(read_file(twin_control::kJournal)) +
      " stdout:" + hex(read_file("/results/scenarios/" + scenario + "/stdout")) + "\n";
  // The host line's port: /dev/vportNpM of the port named restoremark.host.
  const std::string port = entry_where("/sys/class/virtio-ports", "name", "restoremark.host");
  const int fd = port.empty() ? -1 : open(("/dev/" + port).c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    fprintf(stderr, "cut-power: no line to the host: %s\n", strerror(errno));
    return 1;
  }
  for (size_t sent = 0; sent < request.size();) {
    const ssize_t n = write(fd, request.data() + sent, request.size() - sent);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fprintf(stderr, "cut-power: cannot ask the host: %s\n", strerror(errno));
      return 1;
    }
    sent += static_cast<size_t>(n);
  }
  pollfd answer{fd, POLLIN, 0};
  poll(&answer, 1, kAnswerMs);
  char said[256] = "";
  const ssize_t n = read(fd, said, sizeof said - 1);
  fprintf(stderr, "cut-power: the host did not cut the power%s%.*s\n", n > 0 ? ": " : "",
          static_cast<int>(n > 0 ? n : 0), said);
  return 1;
}
