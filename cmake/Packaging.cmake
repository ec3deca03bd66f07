# The Debian package of the device program: `cpack` in a device build (any
# toolchain) makes build/.../restoremark_<version>_<arch>.deb with the
# program, the platform check, their manual pages, the font and the Debian
# documentation files, nothing else.
# scripts/package builds the packages for armhf and arm64.
#
# lintian (2.116) finds no error. Warnings kept, which tests/check-package.sh
# allows and no other:
#   initial-upload-closes-no-bugs: the first changelog entry closes no bug of
#     Debian's archive (an ITP); this package is not uploaded there.
# Informational tags (lintian -I), kept as well:
#   hardening-no-fortify-functions, hardening-no-bindnow: the packaged program
#     is the verified size-optimised build; _FORTIFY_SOURCE and -z now would
#     make it another program (it is PIE with RELRO already).
#   binary-has-unneeded-section .comment: the compiler's version string (31
#     bytes), which the link-time strip leaves.
#   spelling-error-in-binary availiable: the word is part of an LED message
#     whose exact text the device's users match.
#
# Included at the end of the top-level CMakeLists.txt, after cmake/Install.cmake.

set(RESTOREMARK_DEB_MAINTAINER "restoremark developers <restoremark@example.com>" CACHE STRING
    "Maintainer field of the Debian package")

# The Debian architecture of the build's target: CPack would otherwise take the
# build machine's (dpkg --print-architecture), which is wrong for a cross build.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(restoremark_deb_arch arm64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm" AND CMAKE_LIBRARY_ARCHITECTURE MATCHES "gnueabi$")
  set(restoremark_deb_arch armel)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm")
  set(restoremark_deb_arch armhf)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(restoremark_deb_arch amd64)
else()
  set(restoremark_deb_arch "")
endif()
set(RESTOREMARK_DEB_ARCHITECTURE "${restoremark_deb_arch}" CACHE STRING
    "Debian architecture of the package (armhf, arm64, ...); empty: no package")

# The documentation a Debian package carries, installed only into the package
# (component debian, left out of a plain `cmake --install`). The changelog's
# newest entry must be this version: a release gets its own entry.
set(restoremark_deb_revision 1)
set(restoremark_deb_version "${PROJECT_VERSION}-${restoremark_deb_revision}")
set(restoremark_debian_dir "${PROJECT_SOURCE_DIR}/cmake/debian")
file(STRINGS "${restoremark_debian_dir}/changelog" restoremark_changelog_head LIMIT_COUNT 1)
string(REGEX MATCH "^restoremark \\(([^)]*)\\)" restoremark_changelog_match "${restoremark_changelog_head}")
if(NOT CMAKE_MATCH_1 STREQUAL restoremark_deb_version)
  message(FATAL_ERROR
    "The newest entry of cmake/debian/changelog is for version '${CMAKE_MATCH_1}', but the "
    "package version is ${restoremark_deb_version}: add an entry for this version at its top.")
endif()
set(restoremark_changelog_gz "${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz")
restoremark_gzip("${restoremark_debian_dir}/changelog" "${restoremark_changelog_gz}")
install(FILES "${restoremark_debian_dir}/copyright" "${restoremark_changelog_gz}"
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/restoremark
  PERMISSIONS ${restoremark_data_mode}
  COMPONENT debian
  EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME restoremark)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
# Only the device's files, whatever else the build made.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};restoremark;device;/"
    "${PROJECT_BINARY_DIR};restoremark;debian;/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "one-shot maintenance program that sets the device's restore points")
set(CPACK_PACKAGE_DESCRIPTION
"restoremark runs once, with no arguments, on the device. It stops the
USB mass-storage export and deletes the maintenance package from the FAT
volume, has the device's privileged tool set the factory restore point and
the restore point flags, removes the main-user install file and, on
success, makes the device's power-management request. On failure it
keeps a log on the volume and exports the volume again.

It shows its progress on the text console of the frame buffer, drawn with
its own console font (included), or with the device's LEDs.

restoremark-check measures whether the device's kernel and files give the
program what it relies on: the display's geometry and writes, the LEDs'
attributes, the power device, the tools, the FAT volume and the font. It
prints one PASS or FAIL line per item and leaves the LEDs and the screen as
it found them; it never makes the power request nor runs the tools.")

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${RESTOREMARK_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${restoremark_deb_revision})
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${RESTOREMARK_DEB_ARCHITECTURE}")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends: the C library as dpkg-shlibdeps reads it from the program.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# For a cross build dpkg-shlibdeps must look at the target's libraries and
# use the target's objdump: it does when told the host architecture.
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake")
file(CONFIGURE OUTPUT "${CPACK_PROJECT_CONFIG_FILE}" CONTENT [[
if(CPACK_GENERATOR STREQUAL "DEB")
  if(NOT CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    message(FATAL_ERROR
      "No Debian architecture is known for this build's target: configure with "
      "-DRESTOREMARK_DEB_ARCHITECTURE=armhf (or arm64, ...).")
  endif()
  set(ENV{DEB_HOST_ARCH} "${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}")
endif()
]] @ONLY)

include(CPack)
