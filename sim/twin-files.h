// The twin's own programs and files that go into every device image, as this
// build made them, and the preload libraries of the checkout's ARM builds.
#pragma once

#include <filesystem>

#include "arch.h"

namespace twin {

struct TwinFiles {
  std::filesystem::path preload;    // LD_PRELOAD library, built for the program's machine
  std::filesystem::path msd_tool;   // fake /usr/bin/orvex-msd
  std::filesystem::path auth_tool;  // fake /usr/bin/orvex-auth
  std::filesystem::path font;       // installed as /usr/share/fonts/6x16.bdf; empty for none
};

// The files of this build of the twin.
TwinFiles default_twin_files();

// The preload library for programs of `arch`: this build's own for the host;
// for ARM the one that the checkout's build of the ARM preset made (armhf,
// else armhf-release; likewise for aarch64), or empty when there is none.
std::filesystem::path built_preload(Arch arch);

}  // namespace twin
