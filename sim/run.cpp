#include "run.h"

#include <unistd.h>

#include "device.h"
#include "image.h"

namespace fs = std::filesystem;

namespace twin {

namespace {

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

}  // namespace

RunResult run(const fs::path& executable, const Scenario& scenario, const RunOptions& options) {
  check_sandbox_possible();
  const Program program{executable, checked_arch(executable, options)};
  const Device device = make_device(scenario);
  const Image image{make_image_dir(options.image_parent)};
  struct Cleanup {
    const Image& image;
    bool keep;
    ~Cleanup() {
      std::error_code ignored;
      if (!keep) fs::remove_all(image.dir, ignored);
    }
  } cleanup{image, options.keep_image};
  make_image(image.dir, scenario, device, options.files);
  const int status = run_in_sandbox(image, program, scenario, device, options.sandbox);
  RunResult result = collect(image, scenario, device, status);
  result.arch = program.arch;
  if (options.keep_image) result.image = image.dir;
  return result;
}

}  // namespace twin
