#include "run.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "sandbox.h"

namespace fs = std::filesystem;

namespace twin {

namespace {

constexpr const char* kBwrap = "/usr/bin/bwrap";
// What the twin's own pieces in the sandbox say on the program's standard
// error when they fail.
constexpr const char* kTwinComplaint = "restoremark-twin: ";

// The program's machine, given or read from its header, once the twin has
// made sure it can run it there: with qemu-user for ARM code, and with a
// preload library built for the same machine (a library of another machine
// would not load, and the run would quietly lose its power driver, display
// and virtual time).
Arch checked_arch(const fs::path& executable, const RunOptions& options) {
  if (const std::string problem = why_not_runnable(executable); !problem.empty()) {
    throw TwinError(problem);
  }
  std::string why;
  const auto arch = options.arch ? options.arch : elf_arch(executable, why);
  if (!arch) throw TwinError(why);
  const std::string name(arch_name(*arch));
  if (*arch != Arch::kHost && access(emulator(*arch).c_str(), X_OK) != 0) {
    throw TwinError(emulator(*arch).string() + " is not installed: the twin runs " + name +
                    " programs through qemu-user (scripts/install-deps cross)");
  }
  if (options.files.preload.empty())
    throw TwinError("no preload library for " + name + " programs");
  const auto preload_arch = elf_arch(options.files.preload, why);
  if (!preload_arch) throw TwinError("preload library: " + why);
  if (*preload_arch != *arch) {
    throw TwinError("the preload library " + options.files.preload.string() + " is built for " +
                    std::string(arch_name(*preload_arch)) + ", the program for " + name);
  }
  return *arch;
}

fs::path make_image_dir(const RunOptions& options) {
  fs::path parent = options.image_parent;
  if (parent.empty()) {
    const char* tmpdir = getenv("TMPDIR");
    parent = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
  }
  // The preload library is loaded from the image: not from a noexec mount.
  struct statvfs volume {};
  if (statvfs(parent.c_str(), &volume) != 0) {
    throw TwinError("cannot use " + parent.string() + " for the device image: " + strerror(errno));
  }
  if (volume.f_flag & ST_NOEXEC) {
    throw TwinError(parent.string() +
                    " is mounted noexec: the preload library cannot load from a device image "
                    "there (set TMPDIR to another folder)");
  }
  std::string pattern = (parent / "restoremark-twin.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw TwinError("cannot create the device image folder in " + parent.string() + ": " +
                    strerror(errno));
  }
  return pattern;
}

// Anything the twin's own pieces said on the program's standard error, or
// a journal without the preload library's arrival, is the twin's failure.
void check_twin_worked(const RunResult& r) {
  for (size_t start = 0; start < r.err.size();) {
    const size_t end = r.err.find('\n', start);
    const std::string line = r.err.substr(start, end - start);
    if (line.rfind(kTwinComplaint, 0) == 0) throw TwinError(line.substr(strlen(kTwinComplaint)));
    start = end == std::string::npos ? r.err.size() : end + 1;
  }
  for (const auto& record : r.records) {
    if (std::holds_alternative<Loaded>(record)) return;
  }
  throw TwinError(
      "the preload library did not load into the program, so the run had no power "
      "driver, display or virtual time; its standard error: " +
      (r.err.empty() ? std::string("(empty)") : r.err));
}

// The program's standard streams are files of the image, opened outside the
// sandbox: the tools see them by their host path, which differs from run to
// run. Reports name them by the image instead, so that a run's report is
// the same every time.
void name_streams_by_image(RunResult& r, const Image& image) {
  const std::string host = image.dir.string();
  for (auto& record : r.records) {
    auto* call = std::get_if<ToolCall>(&record);
    if (call == nullptr) continue;
    for (size_t at; (at = call->descriptors.find(host)) != std::string::npos;) {
      call->descriptors.replace(at, host.size(), "(image)");
    }
  }
}

RunResult collect(const Image& image, const Scenario& scenario, int status) {
  RunResult r;
  r.scenario = scenario.name;
  r.platform = scenario.platform;
  if (status > 128) {
    r.signal = status - 128;
  } else {
    r.exit_status = status;
  }
  r.out = read_file(image.standard_output());
  r.err = read_file(image.standard_error());
  r.records = decode_journal(read_file(image.journal()));
  check_twin_worked(r);
  name_streams_by_image(r, image);
  const fs::path kept_volume = image.dir / "volume-after";
  r.volume = read_volume(fs::exists(kept_volume) ? kept_volume : image.volume());
  r.main_user_install_left = fs::exists(image.root() / "usr/local/main-user/install");
  r.geometry = scenario.geometry;
  if (scenario.display != Display::kNone) r.display_memory = read_file(image.root() / "dev/fb0");
  build_views(r, scenario);
  return r;
}

}  // namespace

RunResult run(const fs::path& executable, const Scenario& scenario, const RunOptions& options) {
  if (access(kBwrap, X_OK) != 0)
    throw TwinError("bubblewrap is not installed (scripts/install-deps)");
  if (geteuid() != 0)
    throw TwinError("the twin needs root: it mounts inside namespaces of its own");
  SandboxOptions sandbox{checked_arch(executable, options), options.wrapper,
                         options.read_only_paths, options.writable_paths};
  const Image image{make_image_dir(options)};
  struct Cleanup {
    const Image& image;
    bool keep;
    ~Cleanup() {
      std::error_code ignored;
      if (!keep) fs::remove_all(image.dir, ignored);
    }
  } cleanup{image, options.keep_image};
  make_image(image.dir, scenario, options.files);
  const int status = run_in_sandbox(image, executable, scenario, sandbox);
  RunResult result = collect(image, scenario, status);
  result.arch = sandbox.arch;
  if (options.keep_image) result.image = image.dir;
  return result;
}

}  // namespace twin
