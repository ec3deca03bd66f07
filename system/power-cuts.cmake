# Power cuts (system/power-cuts), label power-cuts: one boot per cut, which
# the host kills at the cut point (fixture power_cut_NAME), then boots of at
# most six second runs each on the volumes the cuts left (fixture
# power_cut_recovery-N). Per cut: its results against the rules and its
# recorded row (power_cut_NAME), the twin's look at the same cut
# (twin_at_cut_NAME) and the second run against an uninterrupted run in the
# twin (twin_after_cut_NAME). scripts/test-power-cuts configures and runs
# them; included by CMakeLists.txt, whose runner, guest_bin and drivers it uses.
set(RESTOREMARK_POWER_CUTS "" CACHE STRING
    "Power cuts to register, separated by spaces (empty: every one in system/power-cuts)")
separate_arguments(chosen_cuts UNIX_COMMAND "${RESTOREMARK_POWER_CUTS}")
execute_process(
  COMMAND ${runner} plan-cuts ${chosen_cuts}
  OUTPUT_VARIABLE cut_plan COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${CMAKE_CURRENT_SOURCE_DIR}/power-cuts")

set(booting --program "${RESTOREMARK_PROGRAM}" --check "${RESTOREMARK_CHECK}"
    --helpers "${guest_bin}" ${drivers})
string(REPLACE "\n" ";" cut_plan_lines "${cut_plan}")
foreach(line IN LISTS cut_plan_lines)
  string(REPLACE " " ";" words "${line}")
  list(POP_FRONT words kind)
  if(kind STREQUAL "cut")
    add_test(NAME power_cut_boot_${words} COMMAND ${runner} cut ${booting} ${words})
    set_tests_properties(power_cut_boot_${words} PROPERTIES
      LABELS power-cuts FIXTURES_SETUP power_cut_${words} TIMEOUT 600)
  elseif(kind STREQUAL "recovery")
    list(POP_FRONT words group)
    list(TRANSFORM words PREPEND power_cut_ OUTPUT_VARIABLE needed)
    add_test(NAME power_cut_${group} COMMAND ${runner} recover ${booting} ${group} ${words})
    set_tests_properties(power_cut_${group} PROPERTIES
      LABELS power-cuts FIXTURES_REQUIRED "${needed}" FIXTURES_SETUP power_cut_${group} TIMEOUT 900)
    foreach(cut IN LISTS words)
      string(MAKE_C_IDENTIFIER "${cut}" case)
      add_test(NAME power_cut_${cut} COMMAND ${runner} check-cut ${cut})
      add_test(NAME twin_at_cut_${cut}
        COMMAND "${RESTOREMARK_DIFFERENTIAL_TESTS}"
                --gtest_filter=System/AtCut.TwinShowsWhatTheDeviceShowedAtTheCut/${case})
      add_test(NAME twin_after_cut_${cut}
        COMMAND "${RESTOREMARK_DIFFERENTIAL_TESTS}"
                --gtest_filter=AfterCut/Differential.TwinSeesWhatTheKernelSaw/${case}_again)
      set_tests_properties(power_cut_${cut} twin_after_cut_${cut} PROPERTIES
        LABELS power-cuts FIXTURES_REQUIRED power_cut_${group})
      set_tests_properties(twin_at_cut_${cut} PROPERTIES
        LABELS power-cuts FIXTURES_REQUIRED power_cut_${cut})
      # Exactly one test ran: a filter that matches none passes in gtest.
      set_tests_properties(twin_at_cut_${cut} twin_after_cut_${cut} PROPERTIES
        PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test\\.")
    endforeach()
  endif()
endforeach()
# docs/power-cuts.md is the page of the recorded rows, and every cut has one.
add_test(NAME power_cuts_table COMMAND ${runner} power-cuts ${chosen_cuts})
set_tests_properties(power_cuts_table PROPERTIES LABELS power-cuts)
