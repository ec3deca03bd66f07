# Where CMakePresets.json's presets build: build/<preset> in the checkout.
# A build that takes files of another one finds that build here: an ARM build
# the host build's twin programs (HostBuild.cmake), the twin an ARM build's
# preload library (build-paths.h). Needs nothing of the including project.

# Sets `var` to the build folder of `preset`.
function(restoremark_preset_build preset var)
  get_filename_component(builds "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../build" ABSOLUTE)
  set(${var} "${builds}/${preset}" PARENT_SCOPE)
endfunction()
