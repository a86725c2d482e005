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
endfunction()
