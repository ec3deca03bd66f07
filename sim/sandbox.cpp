#include "sandbox.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <memory>

#include "control.h"
#include "interrupt.h"
#include "ledfs.h"
#include "user-namespace.h"

namespace fs = std::filesystem;

namespace twin {

namespace {

constexpr const char* kBwrap = "/usr/bin/bwrap";
// Where the program is installed inside the sandbox.
constexpr const char* kDevicePath = "/usr/sbin/restoremark";

// The sandbox: the host's libraries read-only, and nothing of the host's
// device paths; every device path comes from the image. A program for another
// machine runs through qemu-user, whose guest finds the ARM loader and
// libraries in the host's multiarch folders (under /usr/lib, bound here).
std::vector<std::string> bwrap_command(const Image& image, const Program& program,
                                       const Scenario& scenario, const SandboxOptions& options) {
  const Arch arch = program.arch;
  std::vector<std::string> c = {kBwrap,          "--unshare-ipc", "--unshare-pid",
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
    if (fs::exists(installed))
      add({"--ro-bind", installed.string(), std::string("/usr/bin/") + tool});
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
  add({"--ro-bind", fs::absolute(program.executable).string(), kDevicePath});
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

// What goes wrong inside the sandbox's own process is said to the twin
// through this descriptor, and the process ends.
[[noreturn]] void give_up(int report, const std::string& what) {
  const std::string text = what + (errno ? std::string(": ") + strerror(errno) : "");
  if (write(report, text.data(), text.size()) < 0) {
    // Nothing more can be said; the empty report and the status still fail the run.
  }
  _exit(125);
}

pid_t start_bwrap(const Image& image, const std::vector<std::string>& command, int report) {
  std::vector<char*> argv;
  for (const auto& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int out =
      open(image.standard_output().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err =
      open(image.standard_error().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (in < 0 || out < 0 || err < 0) give_up(report, "cannot open the program's standard streams");
  const pid_t pid = fork();
  if (pid < 0) give_up(report, "cannot start bubblewrap");
  if (pid == 0) {
    // The program starts with the three standard streams and nothing else.
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    close_range(3, ~0U, 0);
    execv(kBwrap, argv.data());
    dprintf(2, "restoremark-twin: cannot run %s: %s\n", kBwrap, strerror(errno));
    _exit(127);
  }
  close(in);
  close(out);
  close(err);
  return pid;
}

// A mount refused in an ordinary user's own user namespace, where the
// kernel allows it, is a policy's doing.
[[noreturn]] void mount_refused(int report, bool as_user, const std::string& what) {
  if (!as_user) give_up(report, what);
  const std::string text = what + ": " + strerror(errno) +
                           " (in the user's own user namespace: an AppArmor or seccomp policy, "
                           "such as sysctl kernel.apparmor_restrict_unprivileged_userns); run "
                           "it as root";
  errno = 0;
  give_up(report, text);
}

// A private mount namespace of this process's own: root makes it on the
// host; an ordinary user makes it in a user namespace of its own, as root of
// that namespace.
void enter_mount_namespace(pid_t parent, int report, bool as_user) {
  if (!as_user) {
    if (unshare(CLONE_NEWNS) != 0) give_up(report, "cannot create a mount namespace");
  } else if (const std::string why = enter_user_namespace(); !why.empty()) {
    errno = 0;
    give_up(report, why);
  } else {
    // The twin's end must still end this process, in its new namespace too.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(125);
  }
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    mount_refused(report, as_user, "cannot make the mount namespace private");
  }
}

// The sandbox's own process: a private mount namespace with the LED class
// and, for a size-limited volume, a small file system of its own. Ends with
// bubblewrap's exit status.
[[noreturn]] void sandbox_process(const Image& image, const Program& program,
                                  const Scenario& scenario, const Device& device,
                                  const SandboxOptions& options, pid_t parent, int report) {
  const bool as_user = geteuid() != 0;
  enter_mount_namespace(parent, report, as_user);
  if (scenario.volume_size > 0) {
    const std::string size = "size=" + std::to_string(scenario.volume_size) + ",mode=0755";
    if (mount("tmpfs", image.volume().c_str(), "tmpfs", 0, size.c_str()) != 0) {
      mount_refused(report, as_user, "cannot mount the size-limited volume");
    }
    fill_volume(image, scenario);
  }
  int status = 0;
  bool every_write_recorded = true;
  {
    LedFs leds(image.leds(), device.leds, image.journal());
    const pid_t bwrap =
        start_bwrap(image, bwrap_command(image, program, scenario, options), report);
    while (waitpid(bwrap, &status, 0) < 0 && errno == EINTR) {
    }
    every_write_recorded = leds.recorded_every_write();
  }
  if (!every_write_recorded) {
    errno = 0;  // the LED class has said why on standard error
    give_up(report, "the LED class could not record a write in the journal");
  }
  if (scenario.volume_size > 0) {
    // The volume goes with this namespace: keep what the run left on it.
    fs::copy(image.volume(), image.dir / "volume-after", fs::copy_options::recursive);
  }
  _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

// What is left of a run comes back here, this process being its subreaper:
// bubblewrap's own helpers after a run, and after the sandbox was killed,
// bubblewrap and the program, which die with it (each is told to by the
// kernel when its parent dies). Wait for every one of them, so that nothing
// of the run is left, not even as a zombie.
void reap_everything_below() {
  const timespec pause{0, 2000000};
  for (int tries = 0; tries < 2500; ++tries) {  // 5 s at the most
    const pid_t done = waitpid(-1, nullptr, WNOHANG);
    if (done < 0 && errno == ECHILD) return;
    if (done <= 0) nanosleep(&pause, nullptr);
  }
}

// Waits for the sandbox, a little at a time, so that an interrupt is seen
// at once: then the sandbox is killed, and with it everything in it.
int wait_for(pid_t sandbox) {
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(sandbox, &status, WNOHANG);
    if (done == sandbox) return status;
    if (done < 0 && errno != EINTR)
      throw TwinError("lost the sandbox: " + std::string(strerror(errno)));
    if (const int signal = interrupt_signal()) {
      kill(sandbox, SIGKILL);
      reap_everything_below();
      throw Interrupted(signal);
    }
    const timespec pause{0, 2000000};
    nanosleep(&pause, nullptr);
  }
}

}  // namespace

void check_sandbox_possible() {
  if (access(kBwrap, X_OK) != 0)
    throw TwinError("bubblewrap is not installed (scripts/install-deps)");
  if (const std::string why = why_fuse_unusable(); !why.empty()) throw TwinError(why);
}

int run_in_sandbox(const Image& image, const Program& program, const Scenario& scenario,
                   const Device& device, const SandboxOptions& options) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) throw TwinError("cannot make a pipe");
  fflush(nullptr);
  // What the sandbox leaves when it is killed is reparented here, not to init.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  const pid_t parent = getpid();
  const pid_t sandbox = fork();
  if (sandbox < 0) throw TwinError("cannot start the sandbox");
  if (sandbox == 0) {
    close(report[0]);
    // The sandbox, and everything in it, goes with the twin.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(125);
    try {
      sandbox_process(image, program, scenario, device, options, parent, report[1]);
    } catch (const std::exception& e) {
      errno = 0;
      give_up(report[1], e.what());
    }
  }
  close(report[1]);
  std::unique_ptr<int, void (*)(int*)> reader(&report[0], [](int* fd) { close(*fd); });
  const int status = wait_for(sandbox);
  reap_everything_below();
  char text[4096];
  const ssize_t n = read(report[0], text, sizeof text);
  if (n > 0) throw TwinError(std::string(text, static_cast<size_t>(n)));
  if (!WIFEXITED(status))
    throw TwinError("the sandbox ended by signal " + std::to_string(WTERMSIG(status)));
  return WEXITSTATUS(status);
}

}  // namespace twin
