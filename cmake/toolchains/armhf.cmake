# 32-bit ARM, hard-float ABI: Debian's g++-arm-linux-gnueabihf, tests run
# through qemu-arm.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(RESTOREMARK_TRIPLET arm-linux-gnueabihf)
set(RESTOREMARK_QEMU /usr/bin/qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/cross-debian.cmake)
