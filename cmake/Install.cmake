# What `cmake --install` puts on a device image, and the workstation programs
# of a host build.
#
#   component device: the program and the platform check in sbin
#                     (/usr/sbin/restoremark, /usr/sbin/restoremark-check),
#                     their manual pages (restoremark.8, restoremark-check.8,
#                     compressed, in share/man/man8) and the console font at
#                     the one path both open, /usr/share/fonts/6x16.bdf, under
#                     the usual /usr prefix
#   component twin:   restoremark-sim and restoremark-render in bin, only in
#                     builds that made them; they keep using the build tree's
#                     device program, preload library and tools, so they are
#                     for the workstation that built them, not for a device
#
# Included at the end of the top-level CMakeLists.txt, after every target.
include(GNUInstallDirs)

# Directories made by the install get the same mode whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)

set(restoremark_program_mode
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(restoremark_data_mode OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

install(TARGETS restoremark restoremark-check
  RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR}
  PERMISSIONS ${restoremark_program_mode}
  COMPONENT device)
install(FILES ${RESTOREMARK_SHIPPED_FONT}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/fonts
  PERMISSIONS ${restoremark_data_mode}
  COMPONENT device)

# Compresses `source` into `output` at configure time as Debian wants its
# documentation: at the highest level and without a time stamp (-n), so that
# every build gives the same bytes. A changed source configures again.
function(restoremark_gzip source output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
  get_filename_component(folder "${output}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  execute_process(COMMAND gzip -9nc "${source}" OUTPUT_FILE "${output}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip could not compress ${source}: ${result}")
  endif()
endfunction()

foreach(page restoremark.8 restoremark-check.8)
  restoremark_gzip("${PROJECT_SOURCE_DIR}/docs/man/${page}" "${PROJECT_BINARY_DIR}/man/${page}.gz")
  install(FILES "${PROJECT_BINARY_DIR}/man/${page}.gz"
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man8
    PERMISSIONS ${restoremark_data_mode}
    COMPONENT device)
endforeach()

# The program's font path is fixed; an image built with another prefix would
# carry the font where the program never looks.
if(NOT RESTOREMARK_BUILD_SIM AND NOT CMAKE_INSTALL_FULL_DATADIR STREQUAL "/usr/share")
  message(WARNING
    "restoremark opens its font as /usr/share/fonts/6x16.bdf, but this build installs it "
    "as ${CMAKE_INSTALL_FULL_DATADIR}/fonts/6x16.bdf. For a device image configure with "
    "-DCMAKE_INSTALL_PREFIX=/usr.")
endif()

foreach(workstation_program IN ITEMS restoremark_sim restoremark-render)
  if(TARGET ${workstation_program})
    install(TARGETS ${workstation_program}
      RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
      PERMISSIONS ${restoremark_program_mode}
      COMPONENT twin)
  endif()
endforeach()
