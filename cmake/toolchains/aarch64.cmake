# 64-bit ARM: Debian's g++-aarch64-linux-gnu, tests run through qemu-aarch64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(RESTOREMARK_TRIPLET aarch64-linux-gnu)
set(RESTOREMARK_QEMU /usr/bin/qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/cross-debian.cmake)
