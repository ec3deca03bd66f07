#include "twin.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "control.h"
#include "ledfs.h"

namespace fs = std::filesystem;

namespace twin {

namespace {

constexpr const char* kBwrap = "/usr/bin/bwrap";
constexpr const char* kDevicePath = "/usr/sbin/restoremark";

// The files a maintenance package leaves on the volume, and one that belongs
// to the user and must survive the run.
const std::map<std::string, std::string>& package_files() {
  static const std::map<std::string, std::string> files = {
      {"K300-RESTOREMARK-V1-0.tar.gz", "package archive\n"},
      {"install", "#!/bin/sh\n# package install script\n"},
      {"install.sig", "package install signature\n"},
      {"main-user.crt", "main-user certificate\n"},
  };
  return files;
}
constexpr const char* kBystanderName = "notes.txt";
constexpr const char* kBystander = "a user's file that no step may touch\n";

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error(what + (errno ? std::string(": ") + strerror(errno) : ""));
}

void write_file(const fs::path& path, const std::string& bytes, mode_t mode = 0644) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  out.close();
  if (!out) fail("cannot write " + path.string());
  fs::permissions(path, static_cast<fs::perms>(mode));
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Folder layout of a device image:
//   root/...      the device paths bound into the sandbox
//   leds/         mount point of the LED class file system
//   control/      journal, settings, answers, preload library
//   stdout, stderr, status   what the program left
struct Image {
  fs::path dir;
  fs::path root() const { return dir / "root"; }
  fs::path volume() const { return root() / "mnt/vfat"; }
  fs::path control() const { return dir / "control"; }
  fs::path leds() const { return dir / "leds"; }
  fs::path journal() const { return control() / "journal"; }
};

void fill_volume(const Image& image, const Scenario& scenario) {
  if (scenario.package_files) {
    for (const auto& [name, bytes] : package_files()) write_file(image.volume() / name, bytes);
  }
  write_file(image.volume() / kBystanderName, kBystander);
  if (scenario.log_blocked) fs::create_directory(image.volume() / kLogName);
  if (scenario.volume_full && scenario.volume_size > 0) {
    // A user's file takes whatever room is left (only ever on a volume of
    // limited size: never fill the disk the image lies on).
    const int fd = open((image.volume() / "filler.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) fail("cannot fill the volume");
    static const char block[4096] = {};
    while (write(fd, block, sizeof block) > 0) {
    }
    while (write(fd, block, 1) > 0) {
    }
    close(fd);
  }
}

void make_image(const Image& image, const Scenario& scenario, const TwinFiles& files) {
  for (const char* sub : {"root/mnt/vfat", "root/usr/bin", "root/usr/local/main-user",
                          "root/usr/share/fonts", "root/dev", "control", "leds"}) {
    fs::create_directories(image.dir / sub);
  }
  // A size-limited volume is filled in by the runner, once it is mounted.
  if (scenario.volume_size == 0) fill_volume(image, scenario);
  if (scenario.main_user_install) {
    write_file(image.root() / "usr/local/main-user/install", "main-user install\n");
  }
  if (!files.font.empty()) fs::copy_file(files.font, image.root() / "usr/share/fonts/6x16.bdf");
  if (scenario.power != Power::kMissing) write_file(image.root() / "dev/power", "");
  if (scenario.display != Display::kNone) write_file(image.root() / "dev/fb0", "");

  for (const auto& [name, source] : {std::pair{kMsd, files.msd_tool}, {kAuth, files.auth_tool}}) {
    if (scenario.missing_tools.count(name)) continue;
    const bool executable = scenario.non_executable_tools.count(name) == 0;
    fs::copy_file(source, image.root() / "usr/bin" / name);
    fs::permissions(image.root() / "usr/bin" / name,
                    static_cast<fs::perms>(executable ? 0755 : 0644));
  }

  write_file(image.journal(), "");
  fs::copy_file(files.preload, image.control() / fs::path(twin_control::kPreload).filename());
  std::string settings;
  if (scenario.power == Power::kRefuses) settings += "power=refuse\n";
  if (scenario.real_time) settings += "time=real\n";
  if (scenario.tools_talk) settings += "tools=talk\n";
  if (scenario.display_write_limit >= 0) {
    settings += "fbwrite=" + std::to_string(scenario.display_write_limit) + "\n";
  }
  if (scenario.display_info_fails) {
    settings += "fb=refuse\n";
  } else {
    const Geometry& g = scenario.geometry;
    settings += "fb=" + std::to_string(g.width) + " " + std::to_string(g.height) + " " +
                std::to_string(g.bits_per_pixel) + "\n";
  }
  write_file(image.control() / fs::path(twin_control::kSettings).filename(), settings);
  std::string answers;
  for (const auto& [key, answer] : scenario.answers) {
    answers += key + (answer.by_signal ? " signal " : " exit ") + std::to_string(answer.value) + "\n";
  }
  write_file(image.control() / fs::path(twin_control::kAnswers).filename(), answers);
}

LedClassLayout led_layout(const Scenario& scenario) {
  LedClassLayout layout;
  for (int i = 0; i < static_cast<int>(kLedNames.size()); ++i) {
    if (scenario.missing_leds.count(i)) continue;
    auto& attributes = layout.leds[kLedNames[i]];
    for (const auto& attribute : kLedAttributes) {
      if (!scenario.missing_attributes.count({i, attribute})) attributes.insert(attribute);
      if (scenario.refusing_attributes.count({i, attribute})) {
        layout.refusing.insert(std::string(kLedNames[i]) + "/" + attribute);
      }
    }
  }
  return layout;
}

// The sandbox: the host's libraries read-only, and nothing of the host's
// device paths; every device path comes from the image. A program for another
// machine runs through qemu-user, whose guest finds the ARM loader and
// libraries in the host's multiarch folders (under /usr/lib, bound here).
std::vector<std::string> bwrap_command(const Image& image, const fs::path& executable,
                                       const Scenario& scenario, const RunOptions& options) {
  const Arch arch = options.arch.value_or(Arch::kHost);
  std::vector<std::string> c = {kBwrap,         "--unshare-ipc", "--unshare-pid",
                                "--unshare-net", "--unshare-uts", "--die-with-parent",
                                "--new-session", "--clearenv"};
  auto add = [&c](std::initializer_list<std::string> args) { c.insert(c.end(), args); };
  for (const char* top : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
    std::error_code ec;
    const auto status = fs::symlink_status(top, ec);
    if (ec || !fs::exists(status)) continue;
    if (fs::is_symlink(status)) {
      add({"--symlink", fs::read_symlink(top).string(), top});
    } else if (std::string(top).find("lib") != std::string::npos) {
      add({"--ro-bind", top, top});
    }
  }
  for (const char* libs : {"/usr/lib", "/usr/lib32", "/usr/lib64", "/usr/libx32"}) {
    if (fs::is_directory(libs)) add({"--ro-bind", libs, libs});
  }
  if (fs::exists("/etc/ld.so.cache")) add({"--ro-bind", "/etc/ld.so.cache", "/etc/ld.so.cache"});
  add({"--proc", "/proc", "--dev", "/dev", "--tmpfs", "/tmp"});

  const fs::path root = image.root();
  add({scenario.volume_readonly ? "--ro-bind" : "--bind", image.volume().string(), "/mnt/vfat"});
  add({"--bind", image.leds().string(), "/sys/class/leds"});
  add({"--bind", (root / "usr/local/main-user").string(), "/usr/local/main-user"});
  add({"--ro-bind", (root / "usr/share/fonts").string(), "/usr/share/fonts"});
  for (const char* tool : {kMsd, kAuth}) {
    const fs::path installed = root / "usr/bin" / tool;
    if (fs::exists(installed)) add({"--ro-bind", installed.string(), std::string("/usr/bin/") + tool});
  }
  if (scenario.power != Power::kMissing) {
    // A device node the process may not open for writing refuses the open.
    add({scenario.power == Power::kOpenRefused ? "--ro-bind" : "--bind",
         (root / "dev/power").string(), "/dev/power"});
  }
  if (scenario.display != Display::kNone) {
    // The frame buffer is a plain file: successive whole-image writes land one
    // after another and the twin splits them into frames afterwards.
    add({scenario.display == Display::kReadOnly ? "--ro-bind" : "--bind",
         (root / "dev/fb0").string(), "/dev/fb0"});
  }
  add({"--bind", image.control().string(), twin_control::kDir});
  add({"--ro-bind", fs::absolute(executable).string(), kDevicePath});
  if (arch != Arch::kHost) add({"--ro-bind", emulator(arch).string(), emulator(arch).string()});
  add({"--setenv", "PATH", "/usr/sbin:/usr/bin:/sbin:/bin"});
  // Under qemu-user the preload goes to the guest's environment only: the
  // emulator itself is a program of the host.
  if (arch == Arch::kHost) add({"--setenv", "LD_PRELOAD", twin_control::kPreload});
  // A sanitizer build of the program must accept a preloaded library.
  add({"--setenv", "ASAN_OPTIONS", "verify_asan_link_order=0:exitcode=97"});
  // A sanitizer's report must not pass for the program's own exit status 1.
  add({"--setenv", "UBSAN_OPTIONS", "halt_on_error=1:exitcode=97"});
  for (const auto& path : options.read_only_paths) add({"--ro-bind", path.string(), path.string()});
  for (const auto& path : options.writable_paths) add({"--bind", path.string(), path.string()});
  add({"--chdir", "/"});
  c.insert(c.end(), options.wrapper.begin(), options.wrapper.end());
  if (arch != Arch::kHost) {
    add({emulator(arch).string(), "-E", std::string("LD_PRELOAD=") + twin_control::kPreload});
  }
  c.push_back(kDevicePath);
  return c;
}

// Runs in a child process of the twin, in a mount namespace of its own, so
// that the LED file system is never visible on the host and disappears with
// the child whatever happens. Returns the child's exit status.
int run_sandbox(const Image& image, const fs::path& executable, const Scenario& scenario,
                const RunOptions& options) {
  if (unshare(CLONE_NEWNS) != 0) fail("cannot create a mount namespace (the twin needs root)");
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    fail("cannot make the mount namespace private");
  }
  if (scenario.volume_size > 0) {
    // A small volume of its own, so that the log can find it full.
    const std::string mount_options = "size=" + std::to_string(scenario.volume_size) + ",mode=0755";
    if (mount("tmpfs", image.volume().c_str(), "tmpfs", 0, mount_options.c_str()) != 0) {
      fail("cannot mount the size-limited volume");
    }
    fill_volume(image, scenario);
  }
  LedFs leds(image.leds(), led_layout(scenario), image.journal());

  const auto command = bwrap_command(image, executable, scenario, options);
  std::vector<char*> argv;
  for (const auto& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int out = open((image.dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err = open((image.dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (in < 0 || out < 0 || err < 0) fail("cannot open the program's standard streams");

  const pid_t pid = fork();
  if (pid < 0) fail("cannot start bubblewrap");
  if (pid == 0) {
    // The program starts with the three standard streams and nothing else.
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    close_range(3, ~0U, 0);
    execv(kBwrap, argv.data());
    dprintf(2, "twin: cannot run %s: %s\n", kBwrap, strerror(errno));
    _exit(127);
  }
  close(in);
  close(out);
  close(err);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  std::ofstream(image.dir / "status") << status << "\n";
  if (scenario.volume_size > 0) {
    // The volume goes with this namespace: keep what the run left on it.
    fs::copy(image.volume(), image.dir / "volume-after", fs::copy_options::recursive);
  }
  return 0;
}

std::string decode(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '%' && i + 2 < field.size()) {
      out.push_back(static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

std::vector<Event> read_journal(const std::string& text) {
  std::vector<Event> events;
  double now = 0;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    Event event;
    std::istringstream fields(line);
    std::string field;
    std::getline(fields, event.kind, '\t');
    while (std::getline(fields, field, '\t')) event.fields.push_back(decode(field));
    if (line.back() == '\t') event.fields.emplace_back();
    event.time = now;
    if (event.kind == "sleep" && !event.fields.empty()) now += std::stoll(event.fields[0]) / 1e9;
    events.push_back(std::move(event));
  }
  return events;
}

void collect_volume(const fs::path& volume, std::map<std::string, std::string>& out) {
  if (!fs::exists(volume)) return;
  for (const auto& entry : fs::recursive_directory_iterator(volume)) {
    const std::string name = fs::relative(entry.path(), volume).string();
    if (entry.is_directory()) {
      out[name + "/"] = "";
    } else {
      out[name] = read_file(entry.path());
    }
  }
}

// The program's machine, given or read from its header, once the twin has
// made sure it can run it there: with qemu-user for ARM code, and with a
// preload library built for the same machine (a library of another machine
// would not load, and the run would quietly lose its power driver, display
// and virtual time).
Arch checked_arch(const fs::path& executable, const RunOptions& options) {
  std::string why;
  const auto arch = options.arch ? options.arch : elf_arch(executable, why);
  if (!arch) throw std::runtime_error(why);
  const std::string name(arch_name(*arch));
  if (*arch != Arch::kHost && access(emulator(*arch).c_str(), X_OK) != 0) {
    throw std::runtime_error(emulator(*arch).string() + " is not installed: the twin runs " + name +
                             " programs through qemu-user (scripts/install-deps cross)");
  }
  if (options.files.preload.empty()) {
    throw std::runtime_error("no preload library for " + name + " programs");
  }
  const auto preload_arch = elf_arch(options.files.preload, why);
  if (!preload_arch) throw std::runtime_error("preload library: " + why);
  if (*preload_arch != *arch) {
    throw std::runtime_error("the preload library " + options.files.preload.string() +
                             " is built for " + std::string(arch_name(*preload_arch)) +
                             ", the program for " + name);
  }
  return *arch;
}

fs::path make_temp_dir() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/restoremark-twin.XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) fail("cannot create the device image folder");
  return pattern;
}

}  // namespace

std::vector<Event> parse_journal(const std::string& text) { return read_journal(text); }

bool LedState::lit() const { return std::atol(brightness.c_str()) > 0; }
bool LedState::blinking() const {
  return std::atol(delay_on.c_str()) > 0 && std::atol(delay_off.c_str()) > 0;
}

RunResult run(const fs::path& executable, const Scenario& scenario, const RunOptions& options) {
  if (!fs::exists(executable)) throw std::runtime_error("no such executable: " + executable.string());
  if (access(kBwrap, X_OK) != 0) throw std::runtime_error("bubblewrap is not installed");
  RunOptions resolved = options;
  resolved.arch = checked_arch(executable, options);
  Image image{make_temp_dir()};
  RunResult result;
  result.scenario = scenario.name;
  result.arch = *resolved.arch;
  try {
    make_image(image, scenario, options.files);
    const fs::path error_file = image.dir / "twin-error";
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) fail("cannot fork");
    if (pid == 0) {
      int code = 1;
      try {
        code = run_sandbox(image, executable, scenario, resolved);
      } catch (const std::exception& e) {
        std::ofstream(error_file) << e.what();
      }
      _exit(code);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      const std::string why = read_file(error_file);
      throw std::runtime_error("the twin could not run the program" +
                               (why.empty() ? std::string() : ": " + why));
    }
    // bubblewrap exits with the program's status, or 128 + the signal that
    // killed it; the program itself only ever exits with 0 or 1.
    const int wrapped = std::stoi(read_file(image.dir / "status"));
    const int code = WIFEXITED(wrapped) ? WEXITSTATUS(wrapped) : 128 + WTERMSIG(wrapped);
    if (code > 128) {
      result.signal = code - 128;
    } else {
      result.exit_status = code;
    }
    result.out = read_file(image.dir / "stdout");
    result.err = read_file(image.dir / "stderr");
    result.events = read_journal(read_file(image.journal()));
    collect_volume(fs::exists(image.dir / "volume-after") ? image.dir / "volume-after" : image.volume(),
                   result.volume);
    result.main_user_install_left = fs::exists(image.root() / "usr/local/main-user/install");
    result.geometry = scenario.geometry;
    if (scenario.display != Display::kNone) result.display_bytes = read_file(image.root() / "dev/fb0");
  } catch (...) {
    if (!options.keep_image) fs::remove_all(image.dir);
    throw;
  }
  if (options.keep_image) {
    result.image = image.dir;
  } else {
    fs::remove_all(image.dir);
  }
  return result;
}

std::vector<ToolCall> RunResult::tool_calls() const {
  std::vector<ToolCall> calls;
  for (const auto& e : events) {
    if (e.kind != "tool" || e.fields.size() < 5) continue;
    ToolCall call{e.fields[0], e.fields[1], e.fields[2], e.fields[3], {}, e.time};
    call.argv.assign(e.fields.begin() + 5, e.fields.end());
    calls.push_back(std::move(call));
  }
  return calls;
}

std::vector<LedWrite> RunResult::led_writes() const {
  std::vector<LedWrite> writes;
  for (const auto& e : events) {
    if (e.kind != "led" || e.fields.size() != 4) continue;
    writes.push_back({e.fields[0], e.fields[1], e.fields[2], e.fields[3] == "accepted", e.time});
  }
  return writes;
}

std::vector<PowerRequest> RunResult::power_requests() const {
  std::vector<PowerRequest> requests;
  for (const auto& e : events) {
    if (e.kind != "power" || e.fields.size() != 3) continue;
    requests.push_back(
        {std::stoll(e.fields[0]), std::stoll(e.fields[1]), e.fields[2] == "accepted", e.time});
  }
  return requests;
}

std::vector<Sleep> RunResult::sleeps() const {
  std::vector<Sleep> found;
  for (const auto& e : events) {
    if (e.kind == "sleep" && !e.fields.empty()) found.push_back({std::stoll(e.fields[0]) / 1e9, e.time});
  }
  return found;
}

void apply(std::vector<LedState>& states, const LedWrite& write) {
  if (!write.accepted) return;
  for (size_t i = 0; i < kLedNames.size() && i < states.size(); ++i) {
    if (write.led != kLedNames[i]) continue;
    std::string value = write.text;
    if (!value.empty() && value.back() == '\n') value.pop_back();
    if (write.attribute == "brightness") states[i].brightness = value;
    if (write.attribute == "delay_on") states[i].delay_on = value;
    if (write.attribute == "delay_off") states[i].delay_off = value;
  }
}

std::vector<LedState> RunResult::final_leds() const {
  std::vector<LedState> states(kLedNames.size());
  for (const auto& write : led_writes()) apply(states, write);
  return states;
}

std::vector<Frame> RunResult::frames() const {
  std::vector<Frame> found;
  size_t offset = 0;
  for (const auto& e : events) {
    if (e.kind != "fb" || e.fields.size() != 3 || e.fields[0] != "write") continue;
    const long long written = std::stoll(e.fields[2]);
    if (written <= 0) continue;
    const size_t size = std::min<size_t>(static_cast<size_t>(written), display_bytes.size() - offset);
    found.push_back({e.time, display_bytes.substr(offset, size), geometry});
    offset += size;
  }
  return found;
}

bool Frame::pixel(uint32_t x, uint32_t y) const {
  const uint64_t index = (uint64_t{geometry.width} * y) / 8 + x / 8;
  if (x >= geometry.width || y >= geometry.height || index >= bytes.size()) return false;
  return (static_cast<unsigned char>(bytes[index]) & (0x80 >> (x % 8))) != 0;
}

std::vector<std::string> Frame::rows() const {
  std::vector<std::string> out(geometry.height, std::string(geometry.width, '.'));
  for (uint32_t y = 0; y < geometry.height; ++y) {
    for (uint32_t x = 0; x < geometry.width; ++x) {
      if (pixel(x, y)) out[y][x] = '#';
    }
  }
  return out;
}

std::optional<long long> RunResult::peak_rss_kib() const {
  for (const auto& e : events) {
    if (e.kind == "usage" && e.fields.size() == 2 && e.fields[0] == "maxrss") {
      return std::stoll(e.fields[1]);
    }
  }
  return std::nullopt;
}

std::optional<std::string> RunResult::log() const {
  const auto found = volume.find(kLogName);
  if (found == volume.end()) return std::nullopt;
  return found->second;
}

}  // namespace twin
