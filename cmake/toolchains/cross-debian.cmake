# Shared part of the Debian cross toolchains: the caller sets
# RESTOREMARK_TRIPLET (the multiarch triplet), CMAKE_SYSTEM_PROCESSOR and
# RESTOREMARK_QEMU (the qemu-user program that runs the target's code).
#
# Compilers are Debian's cross compilers; headers and libraries of the target
# come from its multiarch folders (/usr/lib/<triplet>, /usr/include/<triplet>,
# installed as package:armhf or package:arm64), so no separate sysroot is
# needed. Test programs run on the build machine through qemu-user; the
# target's dynamic loader and libraries are where qemu's guest looks for them
# (/lib/ld-linux-*.so.*, /usr/lib/<triplet>), so qemu needs no -L.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${RESTOREMARK_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${RESTOREMARK_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${RESTOREMARK_TRIPLET})
set(CMAKE_CROSSCOMPILING_EMULATOR ${RESTOREMARK_QEMU})

# pkg-config answers with the target's .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${RESTOREMARK_TRIPLET}/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# Programs (readelf, qemu) are the build machine's; libraries, headers and
# packages are searched in the target's multiarch folders before anything else.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
