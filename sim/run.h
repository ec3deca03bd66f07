// The device twin: runs a restoremark executable once, in a sandbox whose
// device paths come from a fresh device image made for a scenario, and
// returns what the device saw. The flow runs forward, one step a file, each
// step taking what the steps before it made (sim/flow.txt lists the order):
//   scenario (scenario.h, knobs.h) -> device (device.h: the LED class, the
//   settings, the LEDs at start) -> image (image.h, written only there) ->
//   sandbox (sandbox.h) -> journal (journal.h) -> result (result.h, the
//   image read back only there) -> report (report.h)
#pragma once

#include <filesystem>
#include <optional>

#include "arch.h"
#include "interrupt.h"
#include "result.h"
#include "sandbox.h"
#include "scenario.h"
#include "twin-files.h"

namespace twin {

struct RunOptions {
  TwinFiles files = default_twin_files();
  bool keep_image = false;  // leave the device image folder for inspection
  // Where the image folder is made: $TMPDIR, else /tmp, when empty.
  std::filesystem::path image_parent;
  // The program's machine; read from its ELF header when not given. A
  // program for ARM runs through qemu-user with an ARM build of the preload.
  std::optional<Arch> arch;
  SandboxOptions sandbox;  // a wrapper, and host paths the sandbox shows
};

// Runs `executable` once in a fresh device image made for `scenario`.
// Throws TwinError when the twin itself cannot run it as asked (no
// bubblewrap, no usable /dev/fuse, no user namespace for an ordinary user,
// a program it cannot run, no emulator for its machine, a preload library of
// another machine or one that did not load, a journal that lost a record),
// and Interrupted when it was asked to stop.
// The image folder and its mounts are gone afterwards, unless kept, and so
// is every process of the run: the calling process becomes the subreaper of
// what it starts and reaps every child it has before it returns.
RunResult run(const std::filesystem::path& executable, const Scenario& scenario,
              const RunOptions& options = {});

}  // namespace twin
