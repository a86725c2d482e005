# CLI11 (command lines) and nlohmann/json (JSON): header-only libraries from Debian's
# libcli11-dev and nlohmann-json3-dev. The cross compiler must never see /usr/include as
# a whole (glibc's headers would shadow mingw-w64's), so the two header folders are linked
# into a folder of the build tree that holds nothing else, and the interface target
# `header_libraries` names only that folder.
set(OMBREL_HEADER_LIBRARIES_DIR ${CMAKE_BINARY_DIR}/header_libraries)

function(ombrel_link_header_folder variable header folder package)
    # The host's include folder, not the cross toolchain's root.
    find_path(${variable} ${header} PATHS /usr/include /usr/local/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT ${variable})
        message(FATAL_ERROR "${header} not found: install Debian's ${package} (scripts/setup.sh does), "
                            "or set ${variable} to the folder that holds ${folder}/")
    endif()
    file(MAKE_DIRECTORY ${OMBREL_HEADER_LIBRARIES_DIR})
    file(CREATE_LINK ${${variable}}/${folder} ${OMBREL_HEADER_LIBRARIES_DIR}/${folder} SYMBOLIC COPY_ON_ERROR)
endfunction()

ombrel_link_header_folder(OMBREL_CLI11_INCLUDE_DIR CLI/CLI.hpp CLI libcli11-dev)
ombrel_link_header_folder(OMBREL_NLOHMANN_JSON_INCLUDE_DIR nlohmann/json.hpp nlohmann nlohmann-json3-dev)

add_library(header_libraries INTERFACE)
target_include_directories(header_libraries SYSTEM INTERFACE ${OMBREL_HEADER_LIBRARIES_DIR})
