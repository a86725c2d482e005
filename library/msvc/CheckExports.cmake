# Fails the build when the linked DLL does not export every OB_ function under both
# names, the GNU one and the MSVC one, at one and the same address; or when it exports
# an OB_ function that the public header does not declare (no MSVC name could be
# derived for it, so MSVC-built programs could not call it).
#
#   cmake -DREADOBJ=<llvm-readobj> -DDLL=<OmbrelApi.dll> -DNAMES=<ExportNames.txt> -P CheckExports.cmake

cmake_minimum_required(VERSION 3.25)

foreach(var READOBJ DLL NAMES)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "CheckExports.cmake: ${var} is not set")
    endif()
endforeach()

execute_process(COMMAND "${READOBJ}" --coff-exports "${DLL}"
    OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot read the exports of ${DLL}:\n${errors}")
endif()

# export name -> address, as variables rva_<name> (names hold only [_0-9A-Za-z?@$]).
string(REGEX MATCHALL "Name: [^\n]+\n +RVA: 0x[0-9A-Fa-f]+" exports "${listing}")
set(exported)
foreach(entry ${exports})
    string(REGEX REPLACE "Name: ([^\n]+)\n +RVA: (0x[0-9A-Fa-f]+)" "\\1;\\2" entry "${entry}")
    list(GET entry 0 name)
    list(GET entry 1 rva)
    set("rva_${name}" ${rva})
    list(APPEND exported "${name}")
endforeach()

file(STRINGS "${NAMES}" pairs)
set(problems)
set(declared)
foreach(pair ${pairs})
    string(REPLACE " " ";" pair "${pair}")
    list(GET pair 0 gnu)
    list(GET pair 1 msvc)
    list(APPEND declared "${gnu}" "${msvc}")
    if(NOT DEFINED "rva_${gnu}")
        list(APPEND problems "${gnu} is declared in the header but not exported")
    elseif(NOT DEFINED "rva_${msvc}")
        list(APPEND problems "${gnu} has no MSVC alias ${msvc}")
    elseif(NOT "${rva_${gnu}}" STREQUAL "${rva_${msvc}}")
        list(APPEND problems "${msvc} (${rva_${msvc}}) is not the code of ${gnu} (${rva_${gnu}})")
    endif()
endforeach()

foreach(name ${exported})
    if(name MATCHES "OB_" AND NOT name IN_LIST declared)
        list(APPEND problems "${name} is exported but not declared in the public header, so it has no MSVC alias")
    endif()
endforeach()

if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "${DLL}: exports and their MSVC aliases disagree:\n  ${text}")
endif()
