# ombrel_tests_take_a_prefix(<tests...>)
#
# For tests that run Windows programs. scripts/ctest.sh runs the suite in lanes, each
# with a Wine prefix and wineserver of its own (the simulator's state, the registry and
# the window station are per prefix), so that a test waiting on Wine does not hold up
# the next; ctest gives each such test one lane and names it in the test's environment.
# A test left without this fails at its first Wine program instead of sharing a lane.
function(ombrel_tests_take_a_prefix)
    set_tests_properties(${ARGN} PROPERTIES RESOURCE_GROUPS "wineprefix:1")
endfunction()

# ombrel_add_gtest(<name> SOURCES <files...> [LIBRARIES <libs...>] [TIMEOUT <s>])
#
# One ctest test per executable: each test binary is one Wine process that runs all of
# its cases, which keeps Wine's start-up cost to once per executable.
function(ombrel_add_gtest name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock ${ARG_LIBRARIES})
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    ombrel_tests_take_a_prefix(${name})
endfunction()
