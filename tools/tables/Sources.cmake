# The units of talvex_tables, listed once for the Windows build, the native tests and the
# fuzz targets. Paths are relative to this folder.
set(TALVEX_TABLES_UNITS
    AtscSections.cpp
    DvbCharsetTables.cpp
    DvbSiSections.cpp
    DvbTextDecoder.cpp
    MultiplexTables.cpp
    ProgramSections.cpp
    SectionAssembler.cpp
    SectionBytes.cpp
    SectionCrc.cpp
    SectionRepacker.cpp
    SectionWriter.cpp
    ServiceFilter.cpp
    StreamKinds.cpp
    TableReader.cpp
    TsPacketView.cpp
    Utf8Text.cpp
)
set(TALVEX_TABLES_SOURCES)
foreach(unit ${TALVEX_TABLES_UNITS})
    list(APPEND TALVEX_TABLES_SOURCES ${CMAKE_CURRENT_LIST_DIR}/${unit})
endforeach()
