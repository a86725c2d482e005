# Derives the Microsoft-decorated name of every OB_ export from the public header and
# writes what the build needs to export and import the library under those names.
#
#   cmake -DCLANG=<clang> -DHEADER=<OmbrelApi.h> -DSYSTEM_INCLUDE=<dir of windows.h>
#         -DDLL_NAME=OmbrelApi.dll -DOUT_DIR=<dir> -P MsvcNames.cmake
#
# Outputs in OUT_DIR (rewritten only when their content changes):
#   OmbrelApiAliases.def  for GNU ld: each MSVC name as an alias of the GNU-named code
#   OmbrelApiMsvc.def     for llvm-dlltool: the MSVC import library's exports
#   MsvcImports.rsp       for lld-link: /include of every MSVC import, so that a program
#                         linked with it imports (and the loader checks) each one
#   ExportNames.txt       "<gnu name> <msvc name>" per export, read by CheckExports.cmake
#
# clang decorates the declarations as each compiler would: once as the GNU toolchain
# (Itanium rules, the names the DLL exports today) and once in MSVC mode; both dumps list
# the declarations in header order, so overloads pair up by position.

cmake_minimum_required(VERSION 3.25)

foreach(var CLANG HEADER SYSTEM_INCLUDE DLL_NAME OUT_DIR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "MsvcNames.cmake: ${var} is not set")
    endif()
endforeach()

# Writes <path> only when <content> differs, so that an unchanged header relinks nothing.
function(write_if_changed path content)
    if(EXISTS "${path}")
        file(READ "${path}" old)
        if(old STREQUAL content)
            return()
        endif()
    endif()
    file(WRITE "${path}" "${content}")
endfunction()

# Lists "<name>|<mangled name>" of the header's OB_ functions as <target> decorates them.
function(exported_functions target out)
    # -fno-ms-compatibility: the mingw-w64 headers bring intrinsics that clang's MSVC
    # compatibility mode rejects; decoration does not depend on it.
    execute_process(
        COMMAND "${CLANG}" --target=${target} -x c++ -std=c++20 -fsyntax-only
                -fno-ms-compatibility -isystem "${SYSTEM_INCLUDE}"
                -Xclang -ast-dump=json -Xclang -ast-dump-filter=OB_ "${HEADER}"
        OUTPUT_VARIABLE dump
        ERROR_VARIABLE errors
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "clang (${target}) could not read ${HEADER}:\n${errors}")
    endif()
    # The filter prints one JSON object per matching declaration, one after the other;
    # only their top-level members (two-space indent) matter here.
    string(ASCII 1 cut_mark)
    string(REPLACE "\n}\n{" "\n}${cut_mark}{" dump "${dump}")
    set(found)
    set(rest "${dump}")
    while(NOT rest STREQUAL "")
        string(FIND "${rest}" "${cut_mark}" cut)
        if(cut EQUAL -1)
            set(object "${rest}")
            set(rest "")
        else()
            string(SUBSTRING "${rest}" 0 ${cut} object)
            math(EXPR next "${cut} + 1")
            string(SUBSTRING "${rest}" ${next} -1 rest)
        endif()
        if(NOT object MATCHES "\n  \"kind\": \"FunctionDecl\"" OR NOT object MATCHES "\n  \"name\": \"OB_")
            continue()
        endif()
        string(JSON name GET "${object}" name)
        string(JSON mangled ERROR_VARIABLE missing GET "${object}" mangledName)
        if(missing)
            message(FATAL_ERROR "clang (${target}) gave no decorated name for ${name}: ${missing}")
        endif()
        list(APPEND found "${name}|${mangled}")
    endwhile()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

exported_functions(x86_64-w64-mingw32 gnu)
exported_functions(x86_64-pc-windows-msvc msvc)

list(LENGTH gnu count)
list(LENGTH msvc msvc_count)
if(count EQUAL 0)
    message(FATAL_ERROR "no OB_ function found in ${HEADER}")
endif()
if(NOT count EQUAL msvc_count)
    message(FATAL_ERROR "${HEADER}: ${count} declarations for the GNU toolchain, ${msvc_count} in MSVC mode")
endif()

set(aliases "; Generated from OmbrelApi.h: every export under its MSVC-decorated name too.\nEXPORTS\n")
set(imports "; Generated from OmbrelApi.h: the exports as MSVC-built programs import them.\nLIBRARY ${DLL_NAME}\nEXPORTS\n")
set(includes "")
set(pairs "")
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
    list(GET gnu ${i} g)
    list(GET msvc ${i} m)
    string(REPLACE "|" ";" g "${g}")
    string(REPLACE "|" ";" m "${m}")
    list(GET g 0 name)
    list(GET g 1 gnu_name)
    list(GET m 0 msvc_decl)
    list(GET m 1 msvc_name)
    if(NOT name STREQUAL msvc_decl)
        message(FATAL_ERROR "declaration ${i} is ${name} for GNU but ${msvc_decl} in MSVC mode")
    endif()
    if(NOT msvc_name MATCHES "^\\?${name}@@")
        message(FATAL_ERROR "${name}: unexpected MSVC name ${msvc_name} (C linkage?)")
    endif()
    string(APPEND aliases "    \"${msvc_name}\" = ${gnu_name}\n")
    string(APPEND imports "    ${msvc_name}\n")
    string(APPEND includes "/include:__imp_${msvc_name}\n")
    string(APPEND pairs "${gnu_name} ${msvc_name}\n")
endforeach()

file(MAKE_DIRECTORY "${OUT_DIR}")
write_if_changed("${OUT_DIR}/OmbrelApiAliases.def" "${aliases}")
write_if_changed("${OUT_DIR}/OmbrelApiMsvc.def" "${imports}")
write_if_changed("${OUT_DIR}/MsvcImports.rsp" "${includes}")
write_if_changed("${OUT_DIR}/ExportNames.txt" "${pairs}")
