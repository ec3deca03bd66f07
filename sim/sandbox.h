// The sandbox a run happens in: a child process of the twin with a mount
// namespace of its own, which serves the LED class file system for as long
// as the run lasts, and starts the program under bubblewrap with the device
// paths of the image and nothing of the host's devices. The mounts go with
// the child, whatever happens to it, and the child goes with the twin. When
// the twin is not root, the child first becomes root of a user namespace of
// its own (user-namespace.h), and the whole run happens in there.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "arch.h"
#include "device.h"
#include "image.h"
#include "scenario.h"

namespace twin {

// The program a run starts: its file on the host, and its machine.
struct Program {
  std::filesystem::path executable;
  Arch arch = Arch::kHost;  // ARM programs run through qemu-user
};

// What a caller adds to the sandbox.
struct SandboxOptions {
  // Runs the program through these arguments inside the sandbox, such as
  // {"/usr/bin/valgrind", "--error-exitcode=99"}.
  std::vector<std::string> wrapper;
  // Host paths the sandbox also shows at their own place: read-only (what the
  // wrapper needs) and writable (where a coverage build leaves its data).
  std::vector<std::filesystem::path> read_only_paths;
  std::vector<std::filesystem::path> writable_paths;
};

// Throws TwinError when this machine cannot make a sandbox: bubblewrap is
// not installed, or /dev/fuse cannot be opened. What only the sandbox can
// find out (user namespaces refused, a mount refused) ends its run.
void check_sandbox_possible();

// Runs the program once, with the device's LED class served, and returns the
// exit status bubblewrap passed on: the program's own, or 128 + N when signal
// N ended it. A size-limited volume is copied to image.dir / "volume-after"
// before its file system goes. Throws TwinError when the sandbox could not be
// made, Interrupted when the twin was asked to stop (the sandbox is gone by
// then).
int run_in_sandbox(const Image& image, const Program& program, const Scenario& scenario,
                   const Device& device, const SandboxOptions& options);

}  // namespace twin
