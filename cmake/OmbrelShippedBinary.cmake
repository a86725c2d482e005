# ombrel_shipped_binary(<target>...)
#
# Binaries that ship (and those that stand in for the driver in every process) are
# laid out for a lean load under Wine, which maps an image's sections straight from
# the file only when they lie on page boundaries in it, and otherwise copies the whole
# image, debug sections included, into private memory of each process that loads it:
#  - sections page-aligned in the file;
#  - no debug sections: the build keeps the debug information in a file of its own
#    beside the binary, <bin>/.debug/<file>.debug, which debuggers find through the
#    binary's debug link.
function(ombrel_shipped_binary)
    foreach(target ${ARGN})
        if(MSVC)
            target_link_options(${target} PRIVATE /FILEALIGN:4096)  # debug information goes to a .pdb
            continue()
        endif()
        target_link_options(${target} PRIVATE -Wl,--file-alignment,4096)
        if(NOT CMAKE_OBJCOPY)
            continue()
        endif()
        set_property(GLOBAL APPEND PROPERTY OMBREL_SHIPPED_FILES $<TARGET_FILE:${target}>)
        set(dir $<TARGET_FILE_DIR:${target}>/.debug)
        set(debug ${dir}/$<TARGET_FILE_NAME:${target}>.debug)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
            COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug}
            COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=${debug} $<TARGET_FILE:${target}>
            VERBATIM)
    endforeach()
endfunction()

# A test that every binary handed to ombrel_shipped_binary is laid out so: no debug
# sections, a link to its debug file, the debug information in that file, and page-
# aligned sections.
function(ombrel_add_shipped_binaries_test name)
    get_property(files GLOBAL PROPERTY OMBREL_SHIPPED_FILES)
    if(NOT files OR NOT CMAKE_OBJDUMP)
        return()
    endif()
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} "-DFILES=${files}"
                                  -P ${CMAKE_SOURCE_DIR}/cmake/CheckShippedBinaries.cmake)
endfunction()
