// Where this build keeps the twin's own programs and the shipped font, and
// where the checkout's ARM builds keep their preload libraries.
#include "twin-files.h"

#include <array>

#include "build-paths.h"

namespace twin {
namespace {

// The checkout's builds of the ARM presets for `arch`, the debug build first.
std::array<const char*, 2> arm_builds(Arch arch) {
  if (arch == Arch::kArmhf) return {build_paths::kArmhfBuild, build_paths::kArmhfReleaseBuild};
  return {build_paths::kAarch64Build, build_paths::kAarch64ReleaseBuild};
}

}  // namespace

TwinFiles default_twin_files() {
  return {build_paths::kPreload, build_paths::kMsdTool, build_paths::kAuthTool,
          build_paths::kShippedFont};
}

std::filesystem::path built_preload(Arch arch) {
  if (arch == Arch::kHost) return build_paths::kPreload;
  // The preload is the same library in the debug and the release build.
  for (const char* build : arm_builds(arch)) {
    const std::filesystem::path preload = std::filesystem::path(build) / "sim/libtwin-preload.so";
    if (std::filesystem::exists(preload)) return preload;
  }
  return {};
}

}  // namespace twin
