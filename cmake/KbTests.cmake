include(GoogleTest)

# Registers a GoogleTest program: natively every case becomes a test of its
# own (the arguments go to gtest_discover_tests); cross-built, the whole
# program is one test run through the emulator, because each start under
# Wine costs about a second and the cases would mostly pay for starts.
# WINDOWS: the program opens windows; cross-built, it runs on a virtual X
# display of its own (tests/win32/run-with-display), in the Wine prefix of the
# display tests (wine-prefix-display), one such test at a time.
# Cross-built, a test's own TIMEOUT is left out: under Wine its time depends on
# where it runs (on this machine, or in the emulated test machine, many times
# slower), so the limit comes from the run's ctest --timeout.
function(kb_gtest target)
  cmake_parse_arguments(arg "WINDOWS" "" "PROPERTIES" ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    list(FIND arg_PROPERTIES TIMEOUT _at)
    if(_at GREATER_EQUAL 0)
      list(REMOVE_AT arg_PROPERTIES ${_at})
      list(REMOVE_AT arg_PROPERTIES ${_at})
    endif()
  endif()
  if(CMAKE_CROSSCOMPILING AND arg_WINDOWS)
    add_test(NAME ${target}
      COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/run-with-display
              ${CMAKE_SOURCE_DIR}/scripts/wine-run ${CMAKE_BINARY_DIR}/wine-prefix-display
              $<TARGET_FILE:${target}>)
    set_tests_properties(${target} PROPERTIES RESOURCE_LOCK wine_prefix_display ${KB_WINE_SKIPS}
                                              ${arg_PROPERTIES})
  elseif(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES ${KB_WINE_SKIPS} ${arg_PROPERTIES})
  elseif(arg_PROPERTIES)
    gtest_discover_tests(${target} ${arg_UNPARSED_ARGUMENTS} PROPERTIES ${arg_PROPERTIES})
  else()
    gtest_discover_tests(${target} ${arg_UNPARSED_ARGUMENTS})
  endif()
endfunction()
