# A cross build takes the programs that must run on the build machine from a
# host build of the same checkout: the twin's fake device tools (an ARM
# program under qemu-user can start a native program, but not another ARM
# one, since binfmt_misc is not assumed) and the twin's scenario tests, which
# drive the ARM program from the host. Included where those are needed.

include(${CMAKE_CURRENT_LIST_DIR}/PresetBuilds.cmake)
restoremark_preset_build(default default_host_build)
set(RESTOREMARK_HOST_BUILD_DIR "${default_host_build}" CACHE PATH
    "Host build of this checkout whose native twin programs a cross build uses")

if(NOT EXISTS "${RESTOREMARK_HOST_BUILD_DIR}/CMakeCache.txt")
  message(FATAL_ERROR
    "A cross build runs its tests with the twin of a host build, and there is no host "
    "build in ${RESTOREMARK_HOST_BUILD_DIR}. Build it first:\n"
    "  cmake --workflow --preset default\n"
    "or point RESTOREMARK_HOST_BUILD_DIR at another host build of this checkout.")
endif()

set(RESTOREMARK_HOST_TWIN_TESTS "${RESTOREMARK_HOST_BUILD_DIR}/tests/twin/twin_tests")
set(RESTOREMARK_HOST_SIM "${RESTOREMARK_HOST_BUILD_DIR}/sim/restoremark-sim")

if(TARGET host_twin_tools)
  return()
endif()
# The host build's fake device tools, under the names a host build gives its
# own, so that $<TARGET_FILE:twin_orvex_msd> names the tool in every build.
foreach(tool msd auth)
  add_executable(twin_orvex_${tool} IMPORTED GLOBAL)
  set_target_properties(twin_orvex_${tool} PROPERTIES
    IMPORTED_LOCATION "${RESTOREMARK_HOST_BUILD_DIR}/sim/twin-orvex-${tool}")
endforeach()

# Every build of the cross build brings the host's programs up to date with
# the checkout first, so that both sides run the same twin: the tools before
# anything that installs them, the scenario tests and the CLI with the rest.
add_custom_target(host_twin_tools
  COMMAND ${CMAKE_COMMAND} --build "${RESTOREMARK_HOST_BUILD_DIR}"
          --target twin_orvex_msd twin_orvex_auth
  COMMENT "Building the twin's device tools in ${RESTOREMARK_HOST_BUILD_DIR}"
  USES_TERMINAL
  VERBATIM)
add_custom_target(host_twin_programs ALL
  COMMAND ${CMAKE_COMMAND} --build "${RESTOREMARK_HOST_BUILD_DIR}"
          --target twin_tests restoremark_sim
  COMMENT "Building the twin's scenario tests and CLI in ${RESTOREMARK_HOST_BUILD_DIR}"
  USES_TERMINAL
  VERBATIM)
add_dependencies(host_twin_programs host_twin_tools)
