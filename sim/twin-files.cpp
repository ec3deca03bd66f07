// Where this build keeps the twin's own programs and the shipped font, and
// where the checkout's ARM builds keep their preload libraries.
#include "twin-files.h"

#include <string>

namespace twin {

TwinFiles default_twin_files() {
  return {TWIN_PRELOAD, TWIN_MSD_TOOL, TWIN_AUTH_TOOL, TWIN_DEFAULT_FONT};
}

std::filesystem::path built_preload(Arch arch) {
  if (arch == Arch::kHost) return TWIN_PRELOAD;
  // The builds of the presets of the same name; the preload is the same
  // library in the debug and the release build.
  const std::string name(arch_name(arch));
  for (const std::string& build : {name, name + "-release"}) {
    const std::filesystem::path preload =
        std::filesystem::path(TWIN_SOURCE_DIR) / "build" / build / "sim/libtwin-preload.so";
    if (std::filesystem::exists(preload)) return preload;
  }
  return {};
}

}  // namespace twin
