# How the build instruments its code, one option each: the sanitizers (the
# asan preset), gcc's coverage counts (the coverage preset) and libFuzzer's
# coverage feedback (a fuzz build, RESTOREMARK_BUILD_FUZZ). The flags reach
# every target of the project through one INTERFACE target, so that the
# device program, the twin's preload library and tools, and the tests are
# instrumented alike.
#
# Included by the top-level CMakeLists.txt before any target.
option(RESTOREMARK_SANITIZE
  "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer, every finding fatal" OFF)
option(RESTOREMARK_COVERAGE "Build everything with gcc's line and branch coverage" OFF)

set(restoremark_instrument "")
if(RESTOREMARK_SANITIZE)
  list(APPEND restoremark_instrument
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()
if(RESTOREMARK_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The libFuzzer targets need clang: configure with the fuzz preset.")
  endif()
  # Coverage feedback in every object; only the fuzz targets link libFuzzer's
  # driver (-fsanitize=fuzzer, fuzz/CMakeLists.txt).
  list(APPEND restoremark_instrument -fsanitize=fuzzer-no-link)
endif()
if(RESTOREMARK_COVERAGE)
  # Each program writes its counts (.gcda) beside its objects in the build tree.
  list(APPEND restoremark_instrument --coverage)
endif()

add_library(restoremark_instrumentation INTERFACE)
target_compile_options(restoremark_instrumentation INTERFACE ${restoremark_instrument})
target_link_options(restoremark_instrumentation INTERFACE ${restoremark_instrument})
if(RESTOREMARK_BUILD_FUZZ)
  # libFuzzer's advice: fast enough to fuzz, close enough to the source for
  # a finding's stack trace.
  target_compile_options(restoremark_instrumentation INTERFACE -O1)
endif()
# Every target created after this line, in every folder.
link_libraries(restoremark_instrumentation)
