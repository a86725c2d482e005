# The one place that defines the versions of what the project ships and the maker's name.
#
#   OMBREL_API_VERSION  OB_GetApiVersion's text, OmbrelApi.dll, the SDK and the simulator
#   ROMFLUX_VERSION     Romflux, its companion programs and the installer
#   OMBREL_TOOL_VERSION ombrel.exe, the command-line tool (ombrel --version)
#
# Code reads them from the generated header OmbrelVersion.h (target ombrel_version);
# every shipped binary gets a version resource from ombrel_version_resource().

set(OMBREL_API_VERSION 1.10.2)
set(ROMFLUX_VERSION 3.0.2182.0)
set(OMBREL_TOOL_VERSION 1.0.0)
set(OMBREL_COMPANY "Talvex Systems GmbH")
set(OMBREL_COPYRIGHT "Copyright (C) 2004-2007 Talvex Systems GmbH")

set(OMBREL_VERSION_TEMPLATE_DIR ${CMAKE_CURRENT_LIST_DIR})

# "3.0.2182.0" -> <out>_MAJOR, _MINOR, _BUILD, _REVISION (missing parts are 0).
function(ombrel_split_version version out)
    string(REPLACE "." ";" parts "${version}")
    list(LENGTH parts n)
    if(n LESS 1 OR n GREATER 4 OR NOT version MATCHES "^[0-9]+(\\.[0-9]+)*$")
        message(FATAL_ERROR "version ${version}: expected one to four numbers separated by dots")
    endif()
    while(n LESS 4)
        list(APPEND parts 0)
        math(EXPR n "${n} + 1")
    endwhile()
    list(GET parts 0 major)
    list(GET parts 1 minor)
    list(GET parts 2 build)
    list(GET parts 3 revision)
    set(${out}_MAJOR ${major} PARENT_SCOPE)
    set(${out}_MINOR ${minor} PARENT_SCOPE)
    set(${out}_BUILD ${build} PARENT_SCOPE)
    set(${out}_REVISION ${revision} PARENT_SCOPE)
endfunction()

ombrel_split_version(${OMBREL_API_VERSION} OMBREL_API_VERSION)
ombrel_split_version(${ROMFLUX_VERSION} ROMFLUX_VERSION)

set(OMBREL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${OMBREL_VERSION_TEMPLATE_DIR}/OmbrelVersion.h.in ${OMBREL_GENERATED_DIR}/OmbrelVersion.h @ONLY)
add_library(ombrel_version INTERFACE)
target_include_directories(ombrel_version INTERFACE ${OMBREL_GENERATED_DIR})

# ombrel_version_resource(<target> PRODUCT <name> VERSION <version> DESCRIPTION <text>)
#
# Gives an executable or DLL its version resource (US English, Unicode code page):
# company, product, description, internal and original file name, file and product
# version (the version text as given; the numeric fields padded to four parts).
function(ombrel_version_resource target)
    cmake_parse_arguments(ARG "" "PRODUCT;VERSION;DESCRIPTION" "" ${ARGN})
    foreach(required PRODUCT VERSION DESCRIPTION)
        if(NOT ARG_${required})
            message(FATAL_ERROR "ombrel_version_resource(${target}): ${required} is missing")
        endif()
    endforeach()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(VI_FILETYPE 0x1L)  # VFT_APP
    elseif(type STREQUAL "SHARED_LIBRARY")
        set(VI_FILETYPE 0x2L)  # VFT_DLL
    else()
        message(FATAL_ERROR "ombrel_version_resource(${target}): ${type} carries no version resource")
    endif()
    ombrel_split_version(${ARG_VERSION} v)
    set(VI_NUMBERS "${v_MAJOR},${v_MINOR},${v_BUILD},${v_REVISION}")
    set(VI_VERSION "${ARG_VERSION}")
    set(VI_PRODUCT "${ARG_PRODUCT}")
    set(VI_DESCRIPTION "${ARG_DESCRIPTION}")
    set(VI_TARGET ${target})
    set(VI_COMPANY "${OMBREL_COMPANY}")
    set(VI_COPYRIGHT "${OMBREL_COPYRIGHT}")
    # The file name is known at generation time only (OUTPUT_NAME, suffix).
    set(stage ${CMAKE_CURRENT_BINARY_DIR}/version/${target}.rc.in)
    configure_file(${OMBREL_VERSION_TEMPLATE_DIR}/VersionInfo.rc.in ${stage} @ONLY)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/version/${target}.rc)
    file(GENERATE OUTPUT ${rc} INPUT ${stage})
    target_sources(${target} PRIVATE ${rc})
    set_property(TARGET ${target} PROPERTY OMBREL_VERSION_RESOURCE "${ARG_VERSION}")
endfunction()
