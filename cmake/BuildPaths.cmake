# build-paths.h: the one header that tells the twin, the tools, the tests,
# the fuzz targets and the benchmarks where this build and its checkout keep
# their files. A target that needs it links restoremark_build_paths.
#
# configure_file fills in the checkout's paths; file(GENERATE) then resolves
# the programs' paths, which are known only once every target is defined. A
# program this build does not make has an empty path.
#
# Included by the top-level CMakeLists.txt before any target.
include(${CMAKE_CURRENT_LIST_DIR}/PresetBuilds.cmake)

set(RESTOREMARK_SHIPPED_FONT "${PROJECT_SOURCE_DIR}/fonts/6x16.bdf")

# Sets `var` to the path of `target`'s file, or to nothing without that target.
function(restoremark_program_path target var)
  set(${var} "$<$<TARGET_EXISTS:${target}>:$<TARGET_FILE:${target}>>" PARENT_SCOPE)
endfunction()
restoremark_program_path(restoremark path_program)
restoremark_program_path(restoremark-check path_check)
restoremark_program_path(twin_preload path_preload)
restoremark_program_path(twin_orvex_msd path_msd_tool)
restoremark_program_path(twin_orvex_auth path_auth_tool)
restoremark_program_path(restoremark_sim path_sim)
restoremark_program_path(restoremark-render path_render_tool)

set(path_coverage_dir "")
if(RESTOREMARK_COVERAGE)
  set(path_coverage_dir "${PROJECT_BINARY_DIR}")
endif()

restoremark_preset_build(armhf path_armhf_build)
restoremark_preset_build(armhf-release path_armhf_release_build)
restoremark_preset_build(aarch64 path_aarch64_build)
restoremark_preset_build(aarch64-release path_aarch64_release_build)

set(build_paths_dir "${PROJECT_BINARY_DIR}/build-paths")
configure_file(${CMAKE_CURRENT_LIST_DIR}/build-paths.h.in "${build_paths_dir}/build-paths.h.in" @ONLY)
file(GENERATE OUTPUT "${build_paths_dir}/build-paths.h" INPUT "${build_paths_dir}/build-paths.h.in")

add_library(restoremark_build_paths INTERFACE)
target_include_directories(restoremark_build_paths INTERFACE "${build_paths_dir}")
