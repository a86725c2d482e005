# ombrel_separate_debug_info(<target>...)
#
# Shipped binaries carry no debug sections. Wine maps every section of a loaded image
# into the process (the 512-byte file alignment keeps it from sharing the file's
# pages), so debug information would cost each process that loads the binary private
# memory. The build keeps it in a file of its own beside the binary,
# <bin>/.debug/<file>.debug, which debuggers find through the binary's debug link.
function(ombrel_separate_debug_info)
    if(NOT CMAKE_OBJCOPY)
        return()
    endif()
    foreach(target ${ARGN})
        set_property(GLOBAL APPEND PROPERTY OMBREL_STRIPPED_FILES $<TARGET_FILE:${target}>)
        set(dir $<TARGET_FILE_DIR:${target}>/.debug)
        set(debug ${dir}/$<TARGET_FILE_NAME:${target}>.debug)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
            COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug}
            COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=${debug} $<TARGET_FILE:${target}>
            VERBATIM)
    endforeach()
endfunction()

# A test that every binary handed to ombrel_separate_debug_info carries no debug
# sections, links to its debug file, and that the file holds the information.
function(ombrel_add_debug_info_test name)
    get_property(files GLOBAL PROPERTY OMBREL_STRIPPED_FILES)
    if(NOT files OR NOT CMAKE_OBJDUMP)
        return()
    endif()
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} "-DFILES=${files}"
                                  -P ${CMAKE_SOURCE_DIR}/cmake/CheckDebugInfo.cmake)
endfunction()
