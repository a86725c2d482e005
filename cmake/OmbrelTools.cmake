# Host tools beside the cross compiler (Debian packages, see scripts/setup.sh):
#   clang, lld-link, llvm-dlltool, llvm-readobj, llvm-nm  the library's MSVC names and
#                                                import library, the MSVC-mode client, checks
#   doxygen                                      the API reference
#   makensis                                     the installer (CPack)
function(ombrel_require_tool var package)
    find_program(${var} NAMES ${ARGN})
    if(NOT ${var})
        message(FATAL_ERROR "${ARGV2} is missing: install the Debian package ${package} (scripts/setup.sh)")
    endif()
endfunction()

ombrel_require_tool(OMBREL_CLANG clang clang clang-14)
ombrel_require_tool(OMBREL_LLD_LINK lld lld-link lld-link-14)
ombrel_require_tool(OMBREL_DLLTOOL llvm llvm-dlltool llvm-dlltool-14)
ombrel_require_tool(OMBREL_READOBJ llvm llvm-readobj llvm-readobj-14)
ombrel_require_tool(OMBREL_NM llvm llvm-nm llvm-nm-14)
ombrel_require_tool(OMBREL_DOXYGEN doxygen doxygen)
ombrel_require_tool(OMBREL_MAKENSIS nsis makensis)

# windows.h of the cross toolchain: clang reads the public header in MSVC mode with it.
find_path(OMBREL_WINDOWS_INCLUDE windows.h)
if(NOT OMBREL_WINDOWS_INCLUDE)
    message(FATAL_ERROR "windows.h of the cross toolchain not found (mingw-w64)")
endif()
