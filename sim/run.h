// The device twin: runs a restoremark executable once, in a sandbox whose
// device paths come from a fresh device image made for a scenario, and
// returns what the device saw. The flow, one file each:
//   scenario (scenario.h, knobs.h) -> device image (image.h) -> sandbox
//   (sandbox.h) -> journal (journal.h) -> result (result.h) -> report
//   (report.h)
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arch.h"
#include "image.h"
#include "interrupt.h"
#include "result.h"
#include "scenario.h"

namespace twin {

// The files of this build of the twin.
TwinFiles default_twin_files();

// The preload library for programs of `arch`: this build's own for the host;
// for ARM the one that the checkout's ARM build made (build/armhf, else
// build/armhf-release; likewise for aarch64), or empty when there is none.
std::filesystem::path built_preload(Arch arch);

struct RunOptions {
  TwinFiles files = default_twin_files();
  bool keep_image = false;  // leave the device image folder for inspection
  // Where the image folder is made: $TMPDIR, else /tmp, when empty.
  std::filesystem::path image_parent;
  // The program's machine; read from its ELF header when not given. A
  // program for ARM runs through qemu-user with an ARM build of the preload.
  std::optional<Arch> arch;
  // Runs the program through these arguments inside the sandbox, such as
  // {"/usr/bin/valgrind", "--error-exitcode=99"}.
  std::vector<std::string> wrapper;
  // Host paths the sandbox also shows at their own place: read-only (what the
  // wrapper needs) and writable (where a coverage build leaves its data).
  std::vector<std::filesystem::path> read_only_paths;
  std::vector<std::filesystem::path> writable_paths;
};

// Runs `executable` once in a fresh device image made for `scenario`.
// Throws TwinError when the twin itself cannot run it as asked (no
// bubblewrap, not root, a program it cannot run, no emulator for its
// machine, a preload library of another machine or one that did not load,
// a journal that lost a record), and Interrupted when it was asked to stop.
// The image folder and its mounts are gone afterwards, unless kept, and so
// is every process of the run: the calling process becomes the subreaper of
// what it starts and reaps every child it has before it returns.
RunResult run(const std::filesystem::path& executable, const Scenario& scenario,
              const RunOptions& options = {});

}  // namespace twin
